#define DOCTEST_CONFIG_IMPLEMENT
#include <doctest.h>

#include <windows.h>

#include <string>

#include "logging/log_file.h"
#include "test_support.h"

namespace {
std::wstring scratchLog;
}

const std::wstring& ScratchLogPath() {
    return scratchLog;
}

// Code under test writes log lines; they go to a scratch log in the temp directory.
int wmain(int argc, wchar_t** argv) {
    wchar_t tempDirectory[MAX_PATH];
    GetTempPathW(MAX_PATH, tempDirectory);
    scratchLog = std::wstring(tempDirectory) + L"unit_tests_" +
                 std::to_wstring(GetCurrentProcessId()) + L".log";
    if (!TheLogFile.Open(scratchLog)) {
        return 2;
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(Utf8(argv[i]));
    }
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) {
        pointers.push_back(argument.c_str());
    }
    doctest::Context context(static_cast<int>(pointers.size()), pointers.data());
    const int result = context.run();
    TheLogFile.Close();
    DeleteFileW(scratchLog.c_str());
    return result;
}
