#include "driver/log_name.h"

#include <windows.h>

#include <ctime>
#include <cwchar>

std::wstring GetExecutableName() {
    // Windows 2000 and XP leave a cut-off path unterminated: the last character stays NUL.
    wchar_t path[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t* slash = wcsrchr(path, L'\\');
    return slash ? std::wstring(slash + 1) : std::wstring();
}

std::wstring MakeLogTimestamp() {
    const __time64_t now = _time64(nullptr);
    struct tm local = {};
    if (_localtime64_s(&local, &now) != 0) {
        local = tm{};
    }
    wchar_t text[256];
    swprintf(text, 256, L"%04d%02d%02d.%02d%02d%02d.%lu", local.tm_year + 1900, local.tm_mon + 1,
             local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
             static_cast<unsigned long>(GetCurrentProcessId()));
    return text;
}

std::wstring MakeLogFileName() {
    return GetExecutableName() + L"_" + MakeLogTimestamp() + L".log";
}
