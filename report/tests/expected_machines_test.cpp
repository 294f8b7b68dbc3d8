#include "doctest.h"

#include "app/expected_machines.h"
#include "fixtures.h"
#include "io/text_escape.h"
#include "report_fixture.h"

using namespace report;

namespace {

std::string BigEndian(std::string utf16) {
    for (size_t i = 0; i + 1 < utf16.size(); i += 2) {
        std::swap(utf16[i], utf16[i + 1]);
    }
    return utf16;
}

/// Writes the bytes as a list and reads it as the list of machines expected.
ListRead ReadList(const std::string& bytes, fixtures::Report& report, std::wstring& reason,
                  std::wstring& list) {
    fixtures::ScratchFolder folder(L"bristoke_expected_");
    list = folder.Path(L"machines.txt");
    fixtures::WriteFile(list, bytes);
    return ReadExpectedMachines(list, report.collector, reason);
}

} // namespace

TEST_CASE("ReadExpectedMachines_ListsAsEditorsAndScriptsWriteThem_EveryNameRead") {
    const std::wstring names = L"PC01\r\n  \\\\PC02\t\r\n\r\nPC03 \n";
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"UTF-16 with its mark", "\xFF\xFE" + fixtures::Utf16(names)},
        {"UTF-16 without a mark", fixtures::Utf16(names)},
        {"UTF-16 big-endian with its mark", "\xFE\xFF" + BigEndian(fixtures::Utf16(names))},
        {"UTF-16 big-endian without a mark", BigEndian(fixtures::Utf16(names))},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + ToUtf8(names)},
        {"ASCII", ToUtf8(names)},
        {"line feeds only", "PC01\n\\\\PC02\n\nPC03"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.what);
        fixtures::Report report;
        std::wstring error;
        std::wstring list;
        REQUIRE(ReadList(c.bytes, report, error, list) == ListRead::Read);
        report.Settled();
        std::vector<std::wstring> noLog;
        for (const MachineState& machine : report.collector.FirstInNeed()) {
            noLog.push_back(machine.computerName);
        }
        CHECK(noLog == std::vector<std::wstring>{L"PC01", L"PC02", L"PC03"});
    }
}

TEST_CASE("ReadExpectedMachines_NoSuchFile_Refused") {
    fixtures::ScratchFolder folder(L"bristoke_expected_");
    fixtures::Report report;
    std::wstring error;
    CHECK(ReadExpectedMachines(folder.Path(L"none.txt"), report.collector, error) ==
          ListRead::Failed);
    CHECK(error.find(L"Can't read the list of machines expected, ") == 0);
    // The system's words follow the code.
    const size_t code = error.find(L"GLE(0x00000002): ");
    REQUIRE(code != std::wstring::npos);
    CHECK(error.size() > code + 20);
}

TEST_CASE("ReadExpectedMachines_NotTextOrControlCharacters_RefusedSayingWhy") {
    const struct {
        const char* what;
        std::string bytes;
        std::wstring why;
    } cases[] = {
        {"random bytes", std::string("\x8F\x3A\xC1\xE0\x7D\x22\xB9\xFF", 8),
         L"is not text in UTF-16, UTF-8 or ASCII: bytes that are not UTF-8 at line 1"},
        {"an escape in ASCII", "PC01\r\nPC\x1B[2J02\r\n",
         L"holds a control character (U+001B) at line 2, which no name holds"},
        {"a bell in UTF-16", "\xFF\xFE" + fixtures::Utf16(L"PC01\r\nPC\x07\r\n"),
         L"holds a control character (U+0007) at line 2, which no name holds"},
        {"a C1 control", "PC\xC2\x85\r\n",
         L"holds a control character (U+0085) at line 1, which no name holds"},
        {"half a UTF-16 pair", "\xFF\xFE" + fixtures::Utf16(L"PC\xD800\r\n"),
         L"is not text in UTF-16, UTF-8 or ASCII: half of a UTF-16 pair (U+D800) at line 1"},
        {"an odd number of UTF-16 bytes", "\xFF\xFE" + fixtures::Utf16(L"PC01") + "P",
         L"is not text in UTF-16, UTF-8 or ASCII: it ends inside a character"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.what);
        fixtures::Report report;
        std::wstring reason;
        std::wstring list;
        CHECK(ReadList(c.bytes, report, reason, list) == ListRead::Refused);
        CHECK(reason == L"the list of machines expected, " + list + L", " + c.why);
    }
}
