// Feeds mutated encrypted files and key databases through the tool's own code, thousands in one
// process (tests/e2e/test_hostile_input.py runs it):
//   mutation_runner footers LOG SEEDS WORK SEED FIRST COUNT
//   mutation_runner keys LOG SEED FIRST COUNT
//   mutation_runner write-footers LOG SEEDS OUT SEED FIRST COUNT   (OUT\case-N\NAME)
//   mutation_runner write-keys LOG OUT SEED FIRST COUNT            (OUT\key-N.bin)
// The written cases are the same as the ones run, for runs of the tool itself.
// Each case is announced on standard error before it runs and every broken rule is reported
// there as "VIOLATION case N: ..."; the exit code is the number of violations (at most 100).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "footer_cases.h"
#include "key_database_cases.h"
#include "logging/console_handler.h"
#include "logging/log_file.h"

namespace {

uint64_t Number(const wchar_t* text) {
    return std::wcstoull(text, nullptr, 10);
}

int Usage() {
    fwprintf(stderr, L"usage: mutation_runner footers LOG SEEDS WORK SEED FIRST COUNT\n"
                     L"       mutation_runner keys LOG SEED FIRST COUNT\n"
                     L"       mutation_runner write-footers LOG SEEDS OUT SEED FIRST COUNT\n"
                     L"       mutation_runner write-keys LOG OUT SEED FIRST COUNT\n");
    return 200;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || !TheLogFile.Open(argv[2])) {
        return Usage();
    }
    // Nothing here may wait for an answer.
    TheConsole.SetSilent(true);
    int violations;
    const std::wstring mode = argv[1];
    if (mode == L"footers" && argc == 8) {
        violations = RunFooterCases(argv[3], argv[4], Number(argv[5]),
                                    static_cast<uint32_t>(Number(argv[6])),
                                    static_cast<uint32_t>(Number(argv[7])));
    } else if (mode == L"keys" && argc == 6) {
        violations = RunKeyDatabaseCases(Number(argv[3]), static_cast<uint32_t>(Number(argv[4])),
                                         static_cast<uint32_t>(Number(argv[5])));
    } else if (mode == L"write-footers" && argc == 8) {
        violations = WriteFooterCases(argv[3], argv[4], Number(argv[5]),
                                      static_cast<uint32_t>(Number(argv[6])),
                                      static_cast<uint32_t>(Number(argv[7])));
    } else if (mode == L"write-keys" && argc == 7) {
        violations =
            WriteKeyDatabaseCases(argv[3], Number(argv[4]), static_cast<uint32_t>(Number(argv[5])),
                                  static_cast<uint32_t>(Number(argv[6])));
    } else {
        return Usage();
    }
    TheLogFile.Close();
    return violations < 100 ? violations : 100;
}
