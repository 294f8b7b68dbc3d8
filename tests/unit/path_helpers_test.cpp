#include <doctest.h>

#include <windows.h>

#include "streams/path_helpers.h"

TEST_CASE("ToExtendedLengthPath_DrivesAndSharesGainThePrefixAllElseIsUnchanged") {
    struct Case {
        const wchar_t* path;
        const wchar_t* result;
    };
    const Case cases[] = {
        {L"C:\\data\\a.txt", L"\\\\?\\C:\\data\\a.txt"},
        {L"z:\\", L"\\\\?\\z:\\"},
        {L"\\\\srv\\share\\a.txt", L"\\\\?\\UNC\\srv\\share\\a.txt"},
        {L"\\\\?\\C:\\data\\a.txt", L"\\\\?\\C:\\data\\a.txt"},
        {L"\\\\?\\UNC\\srv\\share\\a.txt", L"\\\\?\\UNC\\srv\\share\\a.txt"},
        {L"data\\a.txt", L"data\\a.txt"},
        {L"a.txt", L"a.txt"},
        {L"C:", L"C:"},
        {L"C:a.txt", L"C:a.txt"},
        {L"", L""},
        // Forward slashes are not separators.
        {L"C:/data/a.txt", L"C:/data/a.txt"},
        {L"\\data\\a.txt", L"\\data\\a.txt"},
    };
    for (const Case& c : cases) {
        CHECK(ToExtendedLengthPath(c.path) == c.result);
    }
}

TEST_CASE("FormatLastError_EightLowerCaseHexDigitsOfTheCodeAtTheCall") {
    struct Case {
        DWORD code;
        const wchar_t* text;
    };
    const Case cases[] = {
        {5, L"GLE(0x00000005)"},
        {0, L"GLE(0x00000000)"},
        {0xDEADBEEF, L"GLE(0xdeadbeef)"},
        {ERROR_DISK_FULL, L"GLE(0x00000070)"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.code);
        SetLastError(c.code);
        CHECK(FormatLastError() == c.text);
    }
}
