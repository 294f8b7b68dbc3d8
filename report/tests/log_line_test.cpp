#include "doctest.h"

#include "parse/log_line.h"

using report::LinePrefix;
using report::LogLine;

TEST_CASE("ParseLogLine_TheToolsLayout_SplitIntoStampPrefixAndText") {
    struct Case {
        const wchar_t* line;
        LinePrefix prefix;
        const wchar_t* text;
    } cases[] = {
        {L"[2018.10.24 13:05:09.042] - WARNING: Invalid Path [C:\\data]", LinePrefix::Warning,
         L"Invalid Path [C:\\data]"},
        {L"[2018.10.24 13:05:09.042] - INFO: Cleaned", LinePrefix::Info, L"Cleaned"},
        {L"[2018.10.24 13:05:09.042] - ERROR: Not cleaned", LinePrefix::Error, L"Not cleaned"},
        {L"[2018.10.24 13:05:09.042] - ", LinePrefix::None, L""},
        {L"[2018.10.24 13:05:09.042] - End (crash)", LinePrefix::None, L"End (crash)"},
        // A prefix is matched whole, with its space.
        {L"[2018.10.24 13:05:09.042] - INFO:x", LinePrefix::None, L"INFO:x"},
        {L"[2018.10.24 13:05:09.042] - info: lower case", LinePrefix::None, L"info: lower case"},
    };
    for (const auto& c : cases) {
        CAPTURE(std::wstring(c.line).size());
        LogLine parsed;
        REQUIRE(report::ParseLogLine(c.line, parsed));
        CHECK(parsed.stamp == L"2018.10.24 13:05:09.042");
        CHECK(parsed.prefix == c.prefix);
        CHECK(parsed.text == c.text);
    }
}

TEST_CASE("ParseLogLine_OtherLines_Refused") {
    const wchar_t* lines[] = {
        L"",
        L"Begin",
        L"[2018.10.24 13:05:09.042]",           // no separator
        L"[2018.10.24 13:05:09.042] -",         // separator cut short
        L"[2018.10.24 13:05:09.04] - INFO: x",  // two millisecond digits
        L"[2018.10.24 13:05:09,042] - INFO: x", // a comma
        L"[2018-10-24 13:05:09.042] - INFO: x", // dashes
        L" [2018.10.24 13:05:09.042] - INFO: x",
        L"\xFEFF[2018.10.24 13:05:09.042] - Begin", // a second byte-order mark
    };
    for (const wchar_t* line : lines) {
        CAPTURE(std::wstring(line).size());
        LogLine parsed;
        CHECK_FALSE(report::ParseLogLine(line, parsed));
    }
}

TEST_CASE("BeginStamp_OnlyTheFirstLineOfALog") {
    CHECK(report::BeginStamp(L"[2018.10.24 13:05:09.042] - Begin") == L"2018.10.24 13:05:09.042");
    CHECK(report::BeginStamp(L"[2018.10.24 13:05:09.042] - Begin ").empty());
    CHECK(report::BeginStamp(L"[2018.10.24 13:05:09.042] - INFO: Begin").empty());
    CHECK(report::BeginStamp(L"[2018.10.24 13:05:09.042] - End").empty());
}
