#include <doctest.h>

#include <windows.h>

#include <cwchar>
#include <string>

#include "driver/log_name.h"

namespace {

std::wstring StampOf(const SYSTEMTIME& time) {
    wchar_t text[32];
    swprintf(text, 32, L"%04u%02u%02u.%02u%02u%02u", time.wYear, time.wMonth, time.wDay, time.wHour,
             time.wMinute, time.wSecond);
    return text;
}

} // namespace

TEST_CASE("MakeLogFileName_ExecutableLocalTimeAndOwnProcessId") {
    // Two runs started within one second still get two logs: no two running processes share an
    // identifier.
    SYSTEMTIME before;
    GetLocalTime(&before);
    const std::wstring name = MakeLogFileName();
    SYSTEMTIME after;
    GetLocalTime(&after);
    const std::wstring head = L"unit_tests.exe_";
    const std::wstring tail = L"." + std::to_wstring(GetCurrentProcessId()) + L".log";
    REQUIRE(name.size() == head.size() + 15 + tail.size());
    CHECK(name.substr(0, head.size()) == head);
    CHECK(name.substr(name.size() - tail.size()) == tail);
    const std::wstring stamp = name.substr(head.size(), 15);
    CHECK(StampOf(before) <= stamp);
    CHECK(stamp <= StampOf(after));
}
