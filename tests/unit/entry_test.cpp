#include <doctest.h>

#include <stdexcept>

#include "driver/crash_details.h"
#include "driver/entry.h"
#include "driver/version.h"
#include "logging/log_file.h"
#include "test_support.h"
#include "walker/dir_walker.h"

namespace {

ExitCode Throwing(int, wchar_t**) {
    throw std::runtime_error("escaped");
}

ExitCode Finishing(int, wchar_t**) {
    return ExitCode::UsageShown;
}

std::wstring walkRoot;

/// Walks walkRoot and fails fatally while two searches are open.
ExitCode ThrowingInsideAWalk(int, wchar_t**) {
    DirWalker walker;
    if (walker.Prepare(walkRoot)) {
        for (DirWalkerIterator it = walker.begin(); it != walker.end(); ++it) {
            if ((*it).path == walkRoot + L"\\sub\\file.txt") {
                throw std::runtime_error("fatal");
            }
        }
    }
    return ExitCode::Finished;
}

/// Runs the entry in a scratch directory and returns its exit code and log text.
std::pair<int, std::wstring> RunInScratchDirectory(RunFunction run) {
    TempDir directory;
    int result;
    {
        CurrentDirectoryScope scope(directory.path());
        result = RunEntry(0, nullptr, run);
    }
    TheLogFile.Close();
    const std::vector<std::wstring> logs = FindNames(directory.path(), L"*.log");
    REQUIRE(logs.size() == 1);
    const std::wstring text = ReadUtf16Text(directory / logs[0]);
    REQUIRE(TheLogFile.Open(ScratchLogPath()));
    return {result, text};
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

TEST_CASE("RunEntry_ExceptionEscapingTheRun_EndsAsCrashWith255") {
    const auto [result, log] = RunInScratchDirectory(Throwing);
    CHECK(result == 255);
    CHECK(log.find(L"] - Begin\r\n") != std::wstring::npos);
    const size_t fatal = log.find(L"] - ERROR: Fatal error occured, consult support.\r\n");
    const size_t details = log.find(L"] - INFO: Crash: a language exception, version " +
                                    std::wstring(BristokeVersion) + L"\r\n");
    REQUIRE(fatal != std::wstring::npos);
    REQUIRE(details != std::wstring::npos);
    CHECK(fatal < details);
    CHECK(EndsWith(log, L"] - End (crash)\r\n"));
}

TEST_CASE("DescribeFault_AddressInTheProgram_CodeModuleAndOffsetFromItsBase") {
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    record.ExceptionAddress = reinterpret_cast<void*>(&Finishing);
    const uintptr_t base = reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr));
    const uintptr_t offset = reinterpret_cast<uintptr_t>(record.ExceptionAddress) - base;
    wchar_t digits[2][20];
    const int width = 2 * sizeof(void*);
    swprintf(digits[0], 20, L"%0*llX", width, static_cast<unsigned long long>(offset));
    swprintf(digits[1], 20, L"%0*llX", width, static_cast<unsigned long long>(base + offset));
    CHECK(DescribeFault(record) == L"exception 0xC0000005 at 0x" + std::wstring(digits[1]) +
                                       L", unit_tests.exe+0x" + digits[0] + L", version " +
                                       BristokeVersion);
    record.ExceptionAddress = nullptr;
    CHECK(DescribeFault(record).find(L", in no module, version ") != std::wstring::npos);
}

TEST_CASE("RunEntry_NormalRun_ReturnsTheRunsCodeBetweenBeginAndEnd") {
    const auto [result, log] = RunInScratchDirectory(Finishing);
    CHECK(result == 1);
    CHECK(log.rfind(L"[", 0) == 0);
    CHECK(log.find(L"] - Begin\r\n") != std::wstring::npos);
    CHECK(EndsWith(log, L"] - End\r\n"));
}

TEST_CASE("RunEntry_WalkAbandonedByAnException_OpenSearchesLoggedBeforeTheCrashReport") {
    TempDir tree;
    REQUIRE(CreateDirectoryW((tree / L"sub").c_str(), nullptr));
    TouchFile(tree / L"sub\\file.txt");
    walkRoot = tree.path();
    const auto [result, log] = RunInScratchDirectory(ThrowingInsideAWalk);
    CHECK(result == 255);
    const std::wstring cleanup = L"] - INFO: DirWalkerIterator::cleanup('";
    const size_t rootSearch = log.find(cleanup + walkRoot + L"', 'sub', ");
    const size_t subSearch = log.find(cleanup + walkRoot + L"\\sub', 'file.txt', ");
    const size_t report = log.find(L"] - ERROR: Fatal error occured, consult support.\r\n");
    REQUIRE(report != std::wstring::npos);
    CHECK(rootSearch < subSearch);
    CHECK(subSearch < report);
    CHECK(EndsWith(log, L"] - End (crash)\r\n"));
}
