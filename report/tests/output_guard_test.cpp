#include "doctest.h"

#include <windows.h>

#include <algorithm>

#include "app/output_guard.h"
#include "fixtures.h"
#include "io/windows_name.h"
#include "parse/file_start.h"

using namespace report;
using fixtures::ScratchFolder;

namespace {

const std::string LogStart = fixtures::LogBytes({L"Begin", L"End"});

struct Tree {
    ScratchFolder root{L"bristoke_output_guard_"};
    std::wstring logs = root.Path(L"logs");
    std::wstring log = root.Path(L"logs\\a.log");
    std::wstring notes = root.Path(L"logs\\notes.txt");
    std::wstring elsewhere = root.Path(L"elsewhere.log");
    std::wstring other = root.Path(L"other.txt");

    Tree() {
        REQUIRE(CreateDirectoryW(logs.c_str(), nullptr));
        fixtures::WriteFile(log, LogStart);
        // A collected log whose first bytes a power loss zeroed: not a log any more.
        fixtures::WriteFile(notes, std::string(4, '\0') + LogStart.substr(4));
        fixtures::WriteFile(elsewhere, LogStart);
        fixtures::WriteFile(other, "an earlier report");
    }
};

ReportOptions Options(const std::vector<std::wstring>& inputs, const std::wstring& filesCsv,
                      const std::wstring& html = std::wstring()) {
    ReportOptions options;
    options.inputs = inputs;
    options.filesCsv = filesCsv;
    options.htmlPath = html;
    return options;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

TEST_CASE("WindowsName_NamesTheSystemTrimsOrResolves_TheFileTheyLeadTo") {
    const struct {
        const wchar_t* path;
        const wchar_t* resolved; ///< null: a stream, refused
    } cases[] = {
        {L"C:\\r\\a.csv", L"C:\\r\\a.csv"},
        {L"C:\\r\\a.csv.", L"C:\\r\\a.csv"},
        {L"C:\\r\\a.csv . . ", L"C:\\r\\a.csv"},
        {L"C:\\r\\a.csv::$DATA", L"C:\\r\\a.csv"},
        {L"C:\\r\\a.csv::$data", L"C:\\r\\a.csv"},
        {L"C:\\r\\a.csv.::$DATA", L"C:\\r\\a.csv"},
        {L"C:\\r\\a.csv:x", nullptr},
        {L"C:\\r\\a.csv:x:$DATA", nullptr},
        // Other names lose a single trailing dot only; "." and ".." are left to the path
        // helpers; three dots are a name.
        {L"C:\\r.\\a.csv", L"C:\\r\\a.csv"},
        {L"C:\\r..\\a.csv", L"C:\\r..\\a.csv"},
        {L"C:\\r\\..\\.\\a.csv", L"C:\\r\\..\\.\\a.csv"},
        {L"C:\\r\\...", L"C:\\r\\"},
        {L"r /a.csv", L"r /a.csv"},
        {L"a.csv ", L"a.csv"},
        {L"\\\\server\\share.\\a.", L"\\\\server\\share.\\a"},
        {L"\\\\?\\C:\\r\\a.csv.", L"\\\\?\\C:\\r\\a.csv"},
        {L"C:a.csv.", L"C:a.csv"},
    };
    for (const auto& c : cases) {
        CAPTURE(std::string(c.path, c.path + std::wcslen(c.path)));
        std::wstring resolved;
        CHECK(WindowsName(c.path, resolved) == (c.resolved != nullptr));
        if (c.resolved != nullptr) {
            CHECK(resolved == c.resolved);
        }
    }
}

TEST_CASE("OutputGuard_OutputsThatWouldHarmAnInputOrEachOther_Refused") {
    Tree tree;
    const std::wstring logsCsv = tree.root.Path(L"logs\\report.csv");
    const std::wstring newCsv = tree.root.Path(L"new\\r.csv");
    const struct {
        const char* what;
        ReportOptions options;
        const wchar_t* reason; ///< how the refusal starts, after the output's path
    } cases[] = {
        {"an input, in another case", Options({tree.log}, tree.root.Path(L"LOGS\\A.LOG")),
         L" is one of the logs to read"},
        {"an input, with a trailing dot", Options({tree.log}, tree.log + L"."),
         L" is one of the logs to read"},
        {"an input, through .. and its folder's trailing dot",
         Options({tree.log}, tree.root.Path(L"logs.\\..\\logs\\a.log ")),
         L" is one of the logs to read"},
        {"a file that is no log, under the folder given",
         Options({tree.logs}, tree.notes + L"::$DATA"), L" is a file under "},
        {"the folder given", Options({tree.logs}, tree.logs), L" is a folder"},
        {"a log of the tool that is no input", Options({tree.logs}, tree.elsewhere),
         L" is a log of the tool"},
        {"two outputs in one folder, in other cases",
         Options({tree.logs}, newCsv, tree.root.Path(L"NEW\\sub\\..\\R.CSV")),
         L"two outputs would be one file"},
        {"a stream of a file", Options({tree.logs}, tree.other + L":report"),
         L" names a stream of a file"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.what);
        ReportOptions options = c.options;
        std::wstring reason;
        {
            OutputGuard guard;
            CHECK(guard.Check(options, reason) == OutputGuard::Verdict::Refused);
        }
        CAPTURE(std::string(reason.begin(), reason.end()));
        CHECK(reason.find(c.reason) != std::wstring::npos);
        // Nothing is left of the refused outputs: no folder made for them stays.
        CHECK_FALSE(Exists(tree.root.Path(L"new")));
        CHECK_FALSE(Exists(logsCsv));
    }
    CHECK(fixtures::ReadFile(tree.notes) == std::string(4, '\0') + LogStart.substr(4));
    CHECK(fixtures::ReadFile(tree.log) == LogStart);
}

TEST_CASE("OutputGuard_NewOutputsAndAFileOutsideTheInputs_WrittenUnderTheNameWindowsGives") {
    Tree tree;
    ReportOptions options =
        Options({tree.logs}, tree.root.Path(L"out\\deep\\files.csv."), tree.other + L"::$DATA");
    options.runsCsv = tree.root.Path(L"logs\\runs.csv");
    std::wstring reason;
    OutputGuard guard;
    REQUIRE(guard.Check(options, reason) == OutputGuard::Verdict::Safe);
    CHECK(options.filesCsv == tree.root.Path(L"out\\deep\\files.csv"));
    CHECK(options.htmlPath == tree.other);
    CHECK(Exists(tree.root.Path(L"out\\deep")));
}

TEST_CASE("OutputGuard_FilesTheWalkMeets_OwnOnesPassedOverAnOutputThatWasThereRefused") {
    Tree tree;
    ReportOptions options = Options({tree.logs}, tree.root.Path(L"logs\\new.csv"));
    // An existing file, not under the folder given by its path: the walk reaches its folder
    // through another path (here the same folder, as a link would lead to it).
    options.htmlPath = tree.other;
    std::wstring reason;
    OutputGuard guard;
    REQUIRE(guard.Check(options, reason) == OutputGuard::Verdict::Safe);
    const std::wstring logsSystem = L"\\\\?\\" + tree.logs;
    const FileIdentity logs = IdentityOf(logsSystem);
    const FileIdentity root = IdentityOf(L"\\\\?\\" + tree.root.path);
    const std::wstring temporary = L"new.csv.~" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    const struct {
        const char* what;
        FileIdentity folder;
        std::wstring name;
        OutputGuard::Met met;
    } cases[] = {
        {"an output's temporary file", logs, temporary, OutputGuard::Met::Own},
        {"its name in another case", logs, L"NEW.CSV.~" + temporary.substr(9),
         OutputGuard::Met::Own},
        {"a log beside it", logs, L"a.log", OutputGuard::Met::Input},
        {"its name in another folder", root, temporary, OutputGuard::Met::Input},
        {"an output that was there before", root, L"OTHER.TXT", OutputGuard::Met::Refused},
    };
    for (const auto& c : cases) {
        CAPTURE(c.what);
        CHECK(guard.Meet(c.folder, L"", c.name, reason) == c.met);
    }
}

TEST_CASE("OutputGuard_TheReportsOwnEarlierOutputs_ReplacedWhereTheyLieOthersStillRefused") {
    Tree tree;
    const std::wstring csv = tree.root.Path(L"logs\\fleet-runs.csv");
    const std::wstring page = tree.root.Path(L"logs\\fleet.html");
    fixtures::WriteFile(csv, "\xEF\xBB\xBF\"ComputerName\",\"MachineGuid\",\"RunStart\"\r\n");
    fixtures::WriteFile(page, std::string("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n") +
                                  PageSignature + "\n");
    const struct {
        const char* what;
        std::wstring runsCsv;
        std::wstring html;
        OutputGuard::Verdict verdict;
    } cases[] = {
        {"its CSV where a CSV goes, its page where the page goes", csv, page,
         OutputGuard::Verdict::Safe},
        {"its CSV where the page goes", L"", csv, OutputGuard::Verdict::Refused},
        {"its page where a CSV goes", page, L"", OutputGuard::Verdict::Refused},
        {"a file it did not write", tree.notes, L"", OutputGuard::Verdict::Refused},
    };
    for (const auto& c : cases) {
        CAPTURE(c.what);
        ReportOptions options = Options({tree.logs}, L"", c.html);
        options.runsCsv = c.runsCsv;
        std::wstring reason;
        OutputGuard guard;
        CHECK(guard.Check(options, reason) == c.verdict);
        if (c.verdict == OutputGuard::Verdict::Safe) {
            // The walk passes them over: they are replaced, not read.
            const FileIdentity logs = IdentityOf(L"\\\\?\\" + tree.logs);
            CHECK(guard.Meet(logs, L"", L"FLEET-RUNS.CSV", reason) == OutputGuard::Met::Own);
            CHECK(guard.Meet(logs, L"", L"fleet.html", reason) == OutputGuard::Met::Own);
        }
    }
}

TEST_CASE("OutputGuard_TemporaryOutputsOfReportsThatEnded_RemovedOthersKept") {
    Tree tree;
    const std::wstring csv = tree.root.Path(L"out\\fleet-runs.csv");
    REQUIRE(CreateDirectoryW(tree.root.Path(L"out").c_str(), nullptr));
    const std::string start = "\xEF\xBB\xBF\"ComputerName\",\"MachineGuid\",\"Run";
    // No process has such an id: they are left by reports that ended.
    const std::wstring ended = csv + L".~4000000001.tmp";
    const std::wstring endedEmpty = csv + L".~4000000002.tmp";
    const std::wstring foreign = csv + L".~4000000003.tmp";
    const std::wstring notOurs = csv + L".~x1.tmp";
    const std::wstring running = csv + L".~" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    fixtures::WriteFile(ended, start);
    fixtures::WriteFile(endedEmpty, "");
    fixtures::WriteFile(foreign, "someone's notes");
    fixtures::WriteFile(notOurs, start);
    fixtures::WriteFile(running, start);
    ReportOptions options = Options({tree.logs}, L"");
    options.runsCsv = csv;
    std::wstring reason;
    OutputGuard guard;
    REQUIRE(guard.Check(options, reason) == OutputGuard::Verdict::Safe);
    std::vector<std::wstring> removed = guard.Removed();
    std::sort(removed.begin(), removed.end());
    CHECK(removed == std::vector<std::wstring>{ended, endedEmpty});
    CHECK_FALSE(Exists(ended));
    CHECK_FALSE(Exists(endedEmpty));
    CHECK(Exists(foreign));
    CHECK(Exists(notOurs));
    CHECK(Exists(running));
}
