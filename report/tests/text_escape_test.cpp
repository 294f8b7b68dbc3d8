#include "doctest.h"

#include <cstring>

#include "csv/csv_writer.h"
#include "io/text_escape.h"
#include "parse/file_start.h"

using report::CsvField;
using report::HtmlText;
using report::ToUtf8;

TEST_CASE("ToUtf8_AnyUtf16_ValidUtf8") {
    struct Case {
        std::wstring text;
        std::string utf8;
    } cases[] = {
        {L"C:\\a.txt", "C:\\a.txt"},
        {L"\u00e9", "\xC3\xA9"},
        {L"\u65e5", "\xE6\x97\xA5"},
        {L"\xD83D\xDE00", "\xF0\x9F\x98\x80"}, // a pair: one character
        {L"a\xD800"
         L"b",
         "a\xEF\xBF\xBD"
         "b"},                                         // lone high surrogate
        {L"\xDC00", "\xEF\xBF\xBD"},                   // lone low surrogate
        {L"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"}, // a pair the wrong way round
        {std::wstring(L"a\0b", 3), "a\xEF\xBF\xBD"
                                   "b"}, // NUL
    };
    for (const auto& c : cases) {
        CHECK(ToUtf8(c.text) == c.utf8);
    }
}

TEST_CASE("CsvField_AnyText_QuotedWithQuotesDoubled") {
    struct Case {
        std::wstring text;
        std::string field;
    } cases[] = {
        {L"", "\"\""},
        {L"plain", "\"plain\""},
        {L"a,b", "\"a,b\""},
        {L"say \"hi\"", "\"say \"\"hi\"\"\""},
        {L"two\r\nlines\n", "\"two[U+000D][U+000A]lines[U+000A]\""},
        {L"=1+2", "\"'=1+2\""}, // would be a formula
        {L"+1", "\"'+1\""},
        {L"-1", "\"'-1\""},
        {L"@SUM(A1)", "\"'@SUM(A1)\""},
        {L"\tx", "\"[U+0009]x\""}, // shown, and no longer a formula's start
        {L"a=b", "\"a=b\""},       // only a leading sign counts
        {L"\u00e9\xD800", "\"\xC3\xA9[U+D800]\""},
        // Shown, never obeyed: an override would show "cod.exe" as "exe.doc".
        {L"cod\u202Eexe.doc", "\"cod[U+202E]exe.doc\""},
        {L"a\u200Bb\u2066c\u2069\u061C\uFEFF", "\"a[U+200B]b[U+2066]c[U+2069][U+061C][U+FEFF]\""},
    };
    for (const auto& c : cases) {
        CHECK(CsvField(c.text) == c.field);
    }
}

TEST_CASE("HtmlText_MarkupAndControls_Escaped") {
    CHECK(HtmlText(L"<script>alert('x')</script> & \"q\"") ==
          "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;q&quot;");
    CHECK(HtmlText(L"a\tb\nc") == "a[U+0009]b[U+000A]c");
    CHECK(HtmlText(L"a\x01\x1b\x7f\x85") == "a[U+0001][U+001B][U+007F][U+0085]");
    CHECK(HtmlText(L"\xFFFF\xD800") == "[U+FFFF][U+D800]");
    CHECK(HtmlText(L"\u65e5 &amp;") == "\xE6\x97\xA5 &amp;amp;");
    CHECK(HtmlText(L"report\u202Efdp.exe \u200E\u200F\u202A\u202B\u202C\u202D\u2060") ==
          "report[U+202E]fdp.exe [U+200E][U+200F][U+202A][U+202B][U+202C][U+202D][U+2060]");
}

TEST_CASE("ShownText_ControlDirectionalAndInvisible_ShownAsTheirCodes") {
    const struct {
        const char* what;
        std::wstring text;
        std::wstring shown;
    } cases[] = {
        {"plain text stays", L"PC01 \u00fc\u65e5 \xD83D\xDE00", L"PC01 \u00fc\u65e5 \xD83D\xDE00"},
        {"controls", std::wstring(L"a\0\x07\x1b[2J\r\n\tb", 11),
         L"a[U+0000][U+0007][U+001B][2J[U+000D][U+000A][U+0009]b"},
        {"C1 controls and DEL", L"\x7f\x80\x9f", L"[U+007F][U+0080][U+009F]"},
        {"a soft hyphen hides in a name", L"PC\u00ADBIDI18", L"PC[U+00AD]BIDI18"},
        {"directional overrides and isolates", L"a\u202Eb\u2066c\u2069",
         L"a[U+202E]b[U+2066]c[U+2069]"},
        {"Hangul fillers", L"\u115F\u1160\u3164\uFFA0", L"[U+115F][U+1160][U+3164][U+FFA0]"},
        {"line and paragraph separators", L"a\u2028b\u2029", L"a[U+2028]b[U+2029]"},
        {"zero-width and joiners", L"\u200B\u200D\u2060\u034F\uFEFF",
         L"[U+200B][U+200D][U+2060][U+034F][U+FEFF]"},
        {"Mongolian and Khmer invisibles", L"\u180E\u17B4", L"[U+180E][U+17B4]"},
        {"interlinear annotations", L"\uFFF9\uFFFB", L"[U+FFF9][U+FFFB]"},
        {"a tag beyond the BMP", L"a\xDB40\xDC41", L"a[U+E0041]"},
        {"half a pair", L"a\xD800", L"a[U+D800]"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.what);
        CHECK(report::ShownText(c.text) == c.shown);
        CHECK(HtmlText(c.text) == ToUtf8(c.shown));
        CHECK(CsvField(c.text) == "\"" + ToUtf8(c.shown) + "\"");
    }
}

namespace {

struct StringOut : report::ITextOut {
    std::string text;
    void Write(const std::string& piece) override { text += piece; }
};

} // namespace

TEST_CASE("CsvTable_MarkHeaderAndRows") {
    StringOut out;
    report::CsvTable csv(out, report::ProblemsHeader);
    csv.Row({L"PC01", L"G", L"2026-01-02T03:04:05.006", L"C:\\logs\\a,b.log", L"warning",
             L"Invalid Path [C:\\\"x\"]"});
    CHECK(out.text ==
          "\xEF\xBB\xBF"
          "\"ComputerName\",\"MachineGuid\",\"RunStart\",\"LogFile\",\"Problem\",\"Detail\"\r\n"
          "\"PC01\",\"G\",\"2026-01-02T03:04:05.006\",\"C:\\logs\\a,b.log\",\"warning\","
          "\"Invalid Path [C:\\\"\"x\"\"]\"\r\n");
}

TEST_CASE("CsvTable_EveryHeader_StartsAsALaterReportKnowsIt") {
    for (const auto& header : {report::FilesHeader, report::RunsHeader, report::ProblemsHeader}) {
        StringOut out;
        report::CsvTable csv(out, header);
        CHECK(out.text.compare(0, 3, "\xEF\xBB\xBF") == 0);
        const std::string signature = report::ToUtf8(report::CsvSignature);
        CHECK(out.text.compare(3, signature.size(), signature) == 0);
    }
}

TEST_CASE("IsoTime_TheToolsStampOrTheTextAsItIs") {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"2026.01.02 03:04:05.006", L"2026-01-02T03:04:05.006"},
        {L"2026.01.02 03:04:05", L"2026.01.02 03:04:05"},
        {L"2026-01-02 03:04:05.006", L"2026-01-02 03:04:05.006"},
        {L"20x6.01.02 03:04:05.006", L"20x6.01.02 03:04:05.006"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        CHECK(report::IsoTime(c.first) == c.second);
    }
}
