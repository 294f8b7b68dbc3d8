#include "driver/startup_checks.h"

#include <windows.h>

#include "driver/log_name.h"
#include "driver/os_version.h"
#include "platform/system_lookup.h"
#include "logging/console_handler.h"
#include "logging/lines.h"
#include "platform/unique_handle.h"

namespace {

/// Releases before 6.0 have classes below this one.
constexpr uint32_t FirstVistaClass = 0x20;

} // namespace

bool IsSafeDllLoadingAvailable() {
    OsVersionInfo os;
    QueryOsVersion(os);
    if (os.version.dwMajorVersion == 0) {
        LogLine(prefix::Error, L"Failed to get system info");
        return false;
    }
    if (os.OsClass < FirstVistaClass) {
        return true;
    }
    // Never freed: kernel32 stays loaded for the life of any process anyway.
    const HMODULE kernel32 = LoadLibraryW(L"kernel32.dll");
    if (kernel32 == nullptr) {
        LogLine(prefix::Error, L"Failed to load krenel module");
        return false;
    }
    return FindSystemFunction(kernel32, "AddDllDirectory") != nullptr;
}

int CheckEnvironment() {
    if (IsSafeDllLoadingAvailable()) {
        return 0;
    }
    PrintAndLogLine(L"Windows update KB2533623 is not installed in your operating system!",
                    color::Warning, prefix::Warning);
    PrintAndLogLine(L"In some cases lack of this update may lead to security issues in cleaner "
                    L"execution.",
                    0, prefix::None);
    const bool goOn = TheConsole.Ask(L"Do you want to continue anyway?", L"", PromptKind::YesNo,
                                     PromptStyle::Warning);
    return goOn ? 0 : 1;
}

bool IsAnotherInstanceRunning() {
    // Kept open until the process ends, so that later instances are turned away for the whole
    // run; the owner only closes it at exit.
    static UniqueKernelHandle instanceMutex;
    const std::wstring name = GetExecutableName() + L"-7D3F29C1-B04A-4e5c-9A61-C2E84D07B35E";
    // Success is not documented to clear an older error code.
    SetLastError(ERROR_SUCCESS);
    instanceMutex.reset(CreateMutexW(nullptr, FALSE, name.c_str()));
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
}
