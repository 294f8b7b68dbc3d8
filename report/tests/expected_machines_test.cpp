#include "doctest.h"

#include "app/expected_machines.h"
#include "fixtures.h"
#include "io/text_escape.h"
#include "report_fixture.h"

using namespace report;

TEST_CASE("ReadExpectedMachines_ListsAsEditorsAndScriptsWriteThem_EveryNameRead") {
    const std::wstring names = L"PC01\r\n  \\\\PC02\t\r\n\r\nPC03 \n";
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"UTF-16 with its mark", "\xFF\xFE" + fixtures::Utf16(names)},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + ToUtf8(names)},
        {"ASCII", ToUtf8(names)},
        {"line feeds only", "PC01\n\\\\PC02\n\nPC03"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.what);
        fixtures::ScratchFolder folder(L"bristoke_expected_");
        const std::wstring list = folder.Path(L"machines.txt");
        fixtures::WriteFile(list, c.bytes);
        fixtures::Report report;
        std::wstring error;
        REQUIRE(ReadExpectedMachines(list, report.collector, error));
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
    CHECK_FALSE(ReadExpectedMachines(folder.Path(L"none.txt"), report.collector, error));
    CHECK(error.find(L"Can't read the list of machines expected, ") == 0);
    CHECK(error.find(L"GLE(0x00000002)") != std::wstring::npos);
}
