#include <doctest.h>

#include "logging/shorten_path.h"

TEST_CASE("ShortenPath_Examples") {
    struct Case {
        uint32_t limit;
        const wchar_t* path;
        const wchar_t* result;
    };
    const Case cases[] = {
        {40, L"C:\\Users\\user1\\Documents\\Projects\\2018\\report.docx",
         L"C:\\Users\\user1\\...\\report.docx"},
        {60, L"C:\\Users\\user1\\Documents\\Projects\\2018\\report.docx",
         L"C:\\Users\\user1\\Documents\\Projects\\2018\\report.docx"},
        {40, L"C:\\data\\a-very-long-file-name-of-the-user-that-goes-on-and-on.pdf",
         L"C:\\data\\a-very-lon...and-on.pdf"},
        {0, L"D:\\x\\y.txt", L"...\\..."},
        // No backslash, or only a leading one: unchanged whatever the limit.
        {0, L"name-without-directory.txt", L"name-without-directory.txt"},
        {0, L"\\name.txt", L"\\name.txt"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.limit);
        CHECK(ShortenPath(c.path, c.limit) == c.result);
    }
}

TEST_CASE("DisplayLimit_NarrowOrMissingConsoleShortensNothing") {
    CHECK(DisplayLimit(120, 20) == 100u);
    CHECK(DisplayLimit(20, 20) == 0u);
    CHECK(DisplayLimit(0, 20) > 4000000000u);
    CHECK(DisplayLimit(19, 20) > 4000000000u);
    const std::wstring longPath = L"C:\\a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\k\\l\\m\\n\\o\\p\\file.txt";
    CHECK(ShortenPath(longPath, DisplayLimit(0, 20)) == longPath);
}
