#include <doctest.h>

#include <windows.h>

#include "streams/path_helpers.h"
#include "test_support.h"

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

TEST_CASE("ToSystemPath_AbsolutePathsLiterallyOthersResolvedFirst") {
    const TempDir dir;
    const CurrentDirectoryScope inDir(dir.path());
    const std::wstring cwd = L"\\\\?\\" + dir.path();
    const std::wstring parent = cwd.substr(0, cwd.rfind(L'\\'));
    struct Case {
        const char* what;
        std::wstring path;
        std::wstring result;
    };
    const Case cases[] = {
        {"drive path", L"C:\\data\\a.txt", L"\\\\?\\C:\\data\\a.txt"},
        // The system would drop the trailing dot of a plain path and name another file.
        {"name with a trailing dot", L"C:\\data\\a.", L"\\\\?\\C:\\data\\a."},
        {"name with dots inside", L"C:\\d...e\\..a", L"\\\\?\\C:\\d...e\\..a"},
        {"share path", L"\\\\srv\\share\\a.txt", L"\\\\?\\UNC\\srv\\share\\a.txt"},
        {"already in the \\\\?\\ form", L"\\\\?\\C:\\x\\..\\a", L"\\\\?\\C:\\x\\..\\a"},
        {"device path", L"\\\\.\\C:\\a", L"\\\\.\\C:\\a"},
        {"empty", L"", L""},
        {"bare name", L"a.txt", cwd + L"\\a.txt"},
        {"relative path", L"sub\\a.txt", cwd + L"\\sub\\a.txt"},
        {"relative path going up", L"..\\a.txt", parent + L"\\a.txt"},
        {"dot components", dir.path() + L"\\x\\.\\..\\a.txt", cwd + L"\\a.txt"},
        {"forward slashes", dir.path() + L"/sub/a.txt", cwd + L"\\sub\\a.txt"},
        {"forward slashes only", L"C:/data/a.txt", L"\\\\?\\C:\\data\\a.txt"},
        // The "\\?\" form would keep the empty name between them and name no file.
        {"doubled separator", L"C:\\data\\\\a.txt", L"\\\\?\\C:\\data\\a.txt"},
        {"doubled separator after the drive", L"C:\\\\data\\a.txt", L"\\\\?\\C:\\data\\a.txt"},
        {"doubled separator in a share path", L"\\\\srv\\share\\\\a.txt",
         L"\\\\?\\UNC\\srv\\share\\a.txt"},
        {"mixed and doubled separators", L"C:\\data/\\a.txt", L"\\\\?\\C:\\data\\a.txt"},
        {"relative path with a doubled separator", L"sub\\\\a.txt", cwd + L"\\sub\\a.txt"},
        // The system's own resolution would drop these and name other files.
        {"relative names with trailing dots and spaces", L"dir.\\sp \\a.",
         cwd + L"\\dir.\\sp \\a."},
        {"going up past the drive's root", dir.path().substr(0, 3) + L"..\\..\\a.txt",
         L"\\\\?\\" + dir.path().substr(0, 3) + L"a.txt"},
        {"going up past the share", L"\\\\srv\\share\\..\\..\\a", L"\\\\?\\UNC\\srv\\share\\a"},
        {"rooted path", L"\\a.txt", L"\\\\?\\" + dir.path().substr(0, 3) + L"a.txt"},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        CHECK(ToSystemPath(c.path) == c.result);
    }
}
