#include <doctest.h>

#include <windows.h>

#include <string>

#include "driver/startup_checks.h"
#include "logging/console_handler.h"
#include "platform/unique_handle.h"
#include "log_capture.h"
#include "test_support.h"

namespace {

RTL_OSVERSIONINFOEXW played = {};

LONG WINAPI PlayedRtlGetVersion(RTL_OSVERSIONINFOEXW* info) {
    info->dwMajorVersion = played.dwMajorVersion;
    info->dwMinorVersion = played.dwMinorVersion;
    info->wProductType = played.wProductType;
    return 0;
}

/// Plays a release (major 0: RtlGetVersion missing) with or without AddDllDirectory.
void PlayRelease(FakeSystemFunctions& fakes, DWORD major, DWORD minor, bool hasAddDllDirectory) {
    if (major == 0) {
        fakes.Remove("RtlGetVersion");
    } else {
        played.dwMajorVersion = major;
        played.dwMinorVersion = minor;
        played.wProductType = VER_NT_WORKSTATION;
        fakes.Replace("RtlGetVersion", PlayedRtlGetVersion);
    }
    if (!hasAddDllDirectory) {
        fakes.Remove("AddDllDirectory");
    }
}

/// Sets the console's prompt switches for a scope.
class PromptAnswer {
public:
    PromptAnswer(bool silent, bool forced) {
        TheConsole.SetSilent(silent);
        TheConsole.SetForced(forced);
    }
    ~PromptAnswer() {
        TheConsole.SetSilent(false);
        TheConsole.SetForced(false);
    }
};

const wchar_t* const UpdateWarning =
    L"] - WARNING: Windows update KB2533623 is not installed in your operating system!\r\n";
const wchar_t* const UpdateExplanation = L"] - In some cases lack of this update may lead to "
                                         L"security issues in cleaner execution.\r\n";

bool Contains(const std::wstring& text, const wchar_t* part) {
    return text.find(part) != std::wstring::npos;
}

} // namespace

TEST_CASE("IsSafeDllLoadingAvailable_ByReleaseAndUpdate") {
    struct Case {
        DWORD major;
        DWORD minor;
        bool hasAddDllDirectory;
        bool available;
        bool logsVersionFailure;
    };
    const Case cases[] = {
        {5, 0, false, true, false}, // releases before 6.0 never had the update
        {5, 1, false, true, false}, {5, 2, false, true, false},  {6, 0, false, false, false},
        {6, 0, true, true, false},  {6, 1, false, false, false}, {10, 0, false, false, false},
        {10, 0, true, true, false}, {0, 0, true, false, true}, // the version cannot be read
    };
    for (const Case& c : cases) {
        CAPTURE(c.major);
        CAPTURE(c.minor);
        CAPTURE(c.hasAddDllDirectory);
        FakeSystemFunctions fakes;
        PlayRelease(fakes, c.major, c.minor, c.hasAddDllDirectory);
        const LogCapture log;
        CHECK(IsSafeDllLoadingAvailable() == c.available);
        CHECK(Contains(log.Text(), L"] - ERROR: Failed to get system info\r\n") ==
              c.logsVersionFailure);
    }
}

TEST_CASE("CheckEnvironment_UpdatePresent_GoesOnWithoutWarning") {
    FakeSystemFunctions fakes;
    PlayRelease(fakes, 6, 1, true);
    const LogCapture log;
    CHECK(CheckEnvironment() == 0);
    CHECK(log.Text().empty());
}

TEST_CASE("CheckEnvironment_UpdateMissing_WarnsAndFollowsTheAnswer") {
    struct Case {
        bool silent;
        bool forced;
        int result;
    };
    // Silent prompts answer no, forced ones yes, and forced wins when both are set.
    const Case cases[] = {{true, false, 1}, {false, true, 0}, {true, true, 0}};
    for (const Case& c : cases) {
        CAPTURE(c.silent);
        CAPTURE(c.forced);
        FakeSystemFunctions fakes;
        PlayRelease(fakes, 6, 1, false);
        const PromptAnswer answer(c.silent, c.forced);
        const LogCapture log;
        CHECK(CheckEnvironment() == c.result);
        const std::wstring written = log.Text();
        CHECK(Contains(written, UpdateWarning));
        CHECK(Contains(written, UpdateExplanation));
        CHECK(written.find(UpdateWarning) < written.find(UpdateExplanation));
    }
}

TEST_CASE("CheckEnvironment_VersionUnreadable_WarnsAsIfTheUpdateWereMissing") {
    FakeSystemFunctions fakes;
    PlayRelease(fakes, 0, 0, true);
    const PromptAnswer answer(true, false);
    const LogCapture log;
    CHECK(CheckEnvironment() == 1);
    const std::wstring written = log.Text();
    CHECK(Contains(written, L"] - ERROR: Failed to get system info\r\n"));
    CHECK(Contains(written, UpdateWarning));
}

TEST_CASE("IsAnotherInstanceRunning_MutexOfTheExecutablesNameHeld_True") {
    // The name is an interface: every build of the tool must find the others by it.
    const UniqueKernelHandle other(
        CreateMutexW(nullptr, FALSE, L"unit_tests.exe-7D3F29C1-B04A-4e5c-9A61-C2E84D07B35E"));
    REQUIRE(other);
    CHECK(IsAnotherInstanceRunning());
}
