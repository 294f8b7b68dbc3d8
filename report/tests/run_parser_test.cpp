#include "doctest.h"

#include "fixtures.h"
#include "io/text_escape.h"

using namespace report;
using namespace fixtures;

namespace {

const std::wstring Rule(80, L'-');

/// The lines of one file's cleaning, from its blank line to its verdict (if any).
std::vector<std::wstring> Section(const std::wstring& path, std::vector<std::wstring> middle,
                                  const std::wstring& verdict) {
    std::vector<std::wstring> lines = {L"", L"INFO: Cleaning file [" + path + L"]", Rule,
                                       L"INFO: Decrypting [" + path + L"]"};
    lines.insert(lines.end(), middle.begin(), middle.end());
    if (!verdict.empty()) {
        lines.push_back(verdict);
    }
    return lines;
}

void CheckFile(const FileRecord& file, const std::wstring& path, Outcome outcome,
               const std::wstring& reason) {
    CHECK(file.path == path);
    CHECK(file.outcome == outcome);
    CHECK(file.reason == reason);
}

} // namespace

TEST_CASE("RunParser_CleaningRun_EveryFileWithItsOutcomeAndReason") {
    const std::wstring moveFailed = L"INFO: Can't move (backup) file [C:\\d\\c.pdf.BRSK] to "
                                    L"[C:\\d\\c.pdf.BRSK.backup_3_by_ovix], GLE(0x00000005)";
    Capture capture;
    const RunInfo run = ParseRun(
        Join({RunHead(),
              Section(L"C:\\d\\a.docx.BRSK", {}, L"INFO: Cleaned"),
              Section(L"C:\\d\\b.xls.QOVY",
                      {L"INFO: Can't read data from file [C:\\d\\b.xls.QOVY.backup_3_by_ovix]",
                       L"INFO: Not valid Bristoke file."},
                      L"ERROR: Not cleaned"),
              // The backup failed: the section ends without a verdict.
              {L"", L"INFO: Cleaning file [C:\\d\\c.pdf.BRSK]", moveFailed.substr(0)},
              Section(L"C:\\d\\d.txt.BRSK",
                      {L"INFO: User doesn't allow modification of file [C:\\d\\d.txt]"},
                      L"ERROR: Not cleaned"),
              {L"ERROR: Internal error while cleaning C:\\d\\e.txt.BRSK"},
              RunTail(5, 1)}),
        capture);
    REQUIRE(capture.files.size() == 5);
    CheckFile(capture.files[0], L"C:\\d\\a.docx.BRSK", Outcome::Cleaned, L"");
    CheckFile(capture.files[1], L"C:\\d\\b.xls.QOVY", Outcome::Failed, L"Not valid Bristoke file.");
    CheckFile(capture.files[2], L"C:\\d\\c.pdf.BRSK", Outcome::Failed, moveFailed.substr(6));
    CheckFile(capture.files[3], L"C:\\d\\d.txt.BRSK", Outcome::Skipped,
              L"User doesn't allow modification of file [C:\\d\\d.txt]");
    CheckFile(capture.files[4], L"C:\\d\\e.txt.BRSK", Outcome::Failed,
              L"Internal error while cleaning C:\\d\\e.txt.BRSK");
    CHECK(run.os == L"5.1.2600 SP3");
    CHECK(run.productType == L"Workstation");
    CHECK(run.machineGuid == L"0A1B2C3D-0000-4000-8000-00000000ABCD");
    CHECK(run.start == fixtures::Stamp);
    CHECK_FALSE(run.listOnly);
    CHECK(run.state == RunState::Finished);
    // Files were not cleaned.
    CHECK(run.exitCode == 2);
    CHECK(run.Found() == 5);
    CHECK(run.Cleaned() == 1);
    CHECK(run.NotCleaned() == 4);
    CHECK(run.Count(Outcome::Failed) == 3);
    CHECK(run.Count(Outcome::Skipped) == 1);
    CHECK(run.damagedLines == 0);
    CHECK(capture.notices.empty());
}

TEST_CASE("RunParser_ListOnly_ListedAndInterruptedFiles") {
    Capture capture;
    const RunInfo run = ParseRun(Join({RunHead(true),
                                       {L"INFO: Skipping [C:\\d\\...\\a.docx.BRSK]...",
                                        L"INFO: Skipping [C:\\d\\b.xls.QOVY]... (interrupted)",
                                        L"INFO: Skipping [C:\\[x]\\c]...]..."},
                                       RunTail(3, 0)}),
                                 capture);
    REQUIRE(capture.files.size() == 3);
    CheckFile(capture.files[0], L"C:\\d\\...\\a.docx.BRSK", Outcome::Listed, L"");
    CheckFile(capture.files[1], L"C:\\d\\b.xls.QOVY", Outcome::Interrupted,
              L"Skipping [C:\\d\\b.xls.QOVY]... (interrupted)");
    CheckFile(capture.files[2], L"C:\\[x]\\c]...", Outcome::Listed, L"");
    CHECK(run.listOnly);
    CHECK(run.Found() == 3);
    CHECK(run.Cleaned() == 0);
    CHECK(run.state == RunState::Finished);
}

TEST_CASE("RunParser_LinesOfNewerVersions_OverwriteAnswersResumesAndSpaceCheck") {
    const std::wstring question =
        L"INFO: Do you want to overwrite the following file? [C:\\d\\a.txt] ";
    struct Case {
        const char* what;
        std::vector<std::wstring> middle;
        const wchar_t* verdict;
        Outcome outcome;
        std::wstring reason;
    } cases[] = {
        {"forced yes, then the replaced file kept",
         {question + L"Yes (forced mode)",
          L"INFO: Replaced file [C:\\d\\a.txt] kept as [C:\\d\\a.txt.replaced_1]"},
         L"INFO: Cleaned",
         Outcome::Cleaned,
         question.substr(6) + L"Yes (forced mode); Replaced file [C:\\d\\a.txt] kept as "
                              L"[C:\\d\\a.txt.replaced_1]"},
        {"yes with output redirected",
         {question + L"Yes (output redirected)"},
         L"INFO: Cleaned",
         Outcome::Cleaned,
         question.substr(6) + L"Yes (output redirected)"},
        {"yes by the user",
         {question + L"Yes (user)"},
         L"INFO: Cleaned",
         Outcome::Cleaned,
         question.substr(6) + L"Yes (user)"},
        {"no by the user",
         {question + L"No (user)"},
         L"ERROR: Not cleaned",
         Outcome::Skipped,
         question.substr(6) + L"No (user)"},
        {"no in silent mode, then the older line",
         {question + L"No (silent mode)",
          L"INFO: User doesn't allow modification of file [C:\\d\\a.txt]"},
         L"ERROR: Not cleaned",
         Outcome::Skipped,
         L"User doesn't allow modification of file [C:\\d\\a.txt]"},
        {"no console input",
         {question + L"No (no console input)"},
         L"ERROR: Not cleaned",
         Outcome::Skipped,
         question.substr(6) + L"No (no console input)"},
        {"not enough space",
         {L"INFO: Not enough free space for [C:\\d\\a.txt]: 5000 bytes needed, 100 bytes free."},
         L"ERROR: Not cleaned",
         Outcome::Failed,
         L"Not enough free space for [C:\\d\\a.txt]: 5000 bytes needed, 100 bytes free."},
        {"resumed, then cleaned",
         {L"INFO: Resuming the cleaning of [C:\\d\\a.txt.BRSK], interrupted in an earlier run."},
         L"INFO: Cleaned",
         Outcome::Cleaned,
         L"Resuming the cleaning of [C:\\d\\a.txt.BRSK], interrupted in an earlier run."},
        {"resumed, then failed",
         {L"INFO: Resuming the cleaning of [C:\\d\\a.txt.BRSK], interrupted in an earlier run.",
          L"INFO: Loaded keys don't match."},
         L"ERROR: Not cleaned",
         Outcome::Failed,
         L"Loaded keys don't match.; Resuming the cleaning of [C:\\d\\a.txt.BRSK], interrupted "
         L"in an earlier run."},
        {"unknown lines in between",
         {L"INFO: Something a later version says", L"WARNING: Something to warn about",
          L"INFO: Not valid Bristoke file.", L"WARNING: More to warn about"},
         L"ERROR: Not cleaned",
         Outcome::Failed,
         L"Not valid Bristoke file."},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        Capture capture;
        const RunInfo run = ParseRun(
            Join({RunHead(), Section(L"C:\\d\\a.txt.BRSK", c.middle, c.verdict), RunTail(1, 1)}),
            capture);
        REQUIRE(capture.files.size() == 1);
        CheckFile(capture.files[0], L"C:\\d\\a.txt.BRSK", c.outcome, c.reason);
        CHECK(run.state == RunState::Finished);
    }
}

TEST_CASE("RunParser_NoteAfterTheVerdict_KeptWithTheCleanedFile") {
    const std::wstring replaced = L"Replaced file [C:\\d\\a.txt] kept as [C:\\d\\a.txt.old]";
    Capture capture;
    ParseRun(Join({RunHead(),
                   Section(L"C:\\d\\a.txt.BRSK", {}, L"INFO: Cleaned"),
                   {L"INFO: " + replaced},
                   Section(L"C:\\d\\b.txt.BRSK", {}, L"INFO: Cleaned"),
                   RunTail(2, 2)}),
             capture);
    REQUIRE(capture.files.size() == 2);
    CheckFile(capture.files[0], L"C:\\d\\a.txt.BRSK", Outcome::Cleaned, replaced);
    CheckFile(capture.files[1], L"C:\\d\\b.txt.BRSK", Outcome::Cleaned, L"");
}

TEST_CASE("RunParser_EncryptedTwice_OneFileForTwoSectionsInARow") {
    const std::wstring outer = L"C:\\d\\a.txt.BRSK.QOVY";
    const std::wstring inner = L"C:\\d\\a.txt.BRSK";
    const std::wstring note = L"Encrypted twice: the inner layer was [" + inner + L"]";
    SUBCASE("both layers cleaned") {
        Capture capture;
        const RunInfo run = ParseRun(Join({RunHead(), Section(outer, {}, L"INFO: Cleaned"),
                                           Section(inner, {}, L"INFO: Cleaned"), RunTail(1, 1)}),
                                     capture);
        REQUIRE(capture.files.size() == 1);
        CheckFile(capture.files[0], outer, Outcome::Cleaned, note);
        CHECK(run.Count(Outcome::Cleaned) == 1);
    }
    SUBCASE("the inner layer fails") {
        Capture capture;
        ParseRun(Join({RunHead(), Section(outer, {}, L"INFO: Cleaned"),
                       Section(inner, {L"INFO: Loaded keys don't match."}, L"ERROR: Not cleaned"),
                       RunTail(1, 0)}),
                 capture);
        REQUIRE(capture.files.size() == 1);
        CheckFile(capture.files[0], outer, Outcome::Failed, L"Loaded keys don't match.; " + note);
    }
    SUBCASE("a file that is not the first one's output is a file of its own") {
        Capture capture;
        ParseRun(Join({RunHead(), Section(outer, {}, L"INFO: Cleaned"),
                       Section(L"C:\\d\\b.txt.BRSK", {}, L"INFO: Cleaned"), RunTail(2, 2)}),
                 capture);
        REQUIRE(capture.files.size() == 2);
        CheckFile(capture.files[0], outer, Outcome::Cleaned, L"");
        CheckFile(capture.files[1], L"C:\\d\\b.txt.BRSK", Outcome::Cleaned, L"");
    }
}

TEST_CASE("RunParser_HowTheRunEnded_FromTheExitCodeLineOrFromTheLines") {
    const std::vector<std::wstring> report = {L"INFO: OS: 10.0.19045 SP0",
                                              L"INFO: Product Type: Workstation",
                                              L"INFO: WoW64: True", L"INFO: Machine guid: ABC"};
    struct Case {
        const char* what;
        std::vector<std::wstring> lines;
        RunState state;
        int64_t exitCode;
        std::wstring reason;
    } cases[] = {
        {"finished", Join({RunHead(), RunTail(0, 0)}), RunState::Finished, 0, L""},
        {"finished, a file not cleaned",
         Join({RunHead(), Section(L"C:\\d\\a.txt.BRSK", {}, L"ERROR: Not cleaned"), RunTail(1, 0)}),
         RunState::Finished, 2, L""},
        {"finished, an internal error",
         Join({RunHead(),
               {L"ERROR: Internal error while cleaning C:\\d\\a.txt.BRSK"},
               RunTail(1, 0)}),
         RunState::Finished, 2, L""},
        {"finished, a path that names nothing",
         Join({RunHead(), {L"WARNING: Invalid Path [C:\\gone]"}, RunTail(0, 0)}),
         RunState::Finished, 2, L""},
        {"finished, an unknown switch",
         Join({RunHead(), {L"WARNING: Unknown switch [/x]"}, RunTail(0, 0)}), RunState::Finished, 2,
         L""},
        {"finished, a forced run's file of no family",
         Join({RunHead(),
               {L"INFO: Left as it is, not a file of the family [C:\\d\\a.txt]"},
               RunTail(1, 0)}),
         RunState::Finished, 0, L""},
        {"crashed after a file not cleaned",
         Join({RunHead(),
               Section(L"C:\\d\\a.txt.BRSK", {}, L"ERROR: Not cleaned"),
               {L"ERROR: Fatal error occured, consult support.", L"End (crash)"}}),
         RunState::Crashed, 255, L"Fatal error occured, consult support."},
        {"usage", Join({report, {L"", L"Usage:", L"x.exe [options]", L"End"}}),
         RunState::UsageShown, 1, L""},
        {"another instance", Join({report, {L"End"}}), RunState::AnotherInstance, 6, L""},
        // A log that lost its closing counts ended all the same: damaged, counted from its
        // lines, never a run that found another instance.
        {"no closing counts after the walk",
         Join({RunHead(), Section(L"C:\\a.doc.BRSK", L"Cleaned"), {L"End"}}), RunState::Finished, 0,
         L""},
        {"no closing counts, a damaged line in their place",
         Join({report, {std::wstring(8, L'\0'), L"End"}}), RunState::Finished, 0, L""},
        {"no version",
         {L"End"},
         RunState::UnsupportedWindows,
         8,
         L"No system report: the Windows version could not be read."},
        {"unsupported",
         Join({report, {L"ERROR: Sorry but this Windows version is not supported!", L"End"}}),
         RunState::UnsupportedWindows, 8, L"Sorry but this Windows version is not supported!"},
        {"init failed, with its cause",
         Join({report,
               {L"INFO: Loading keys, please wait...",
                L"ERROR: Not enough memory for the decryption buffer.",
                L"ERROR: Cleaner initialization failed!", L"End"}}),
         RunState::InitFailed, 9, L"Not enough memory for the decryption buffer."},
        {"environment check",
         Join({report,
               {L"WARNING: Windows update KB2533623 is not installed in your operating system!",
                L"ERROR: The user stopped the run at the environment check.", L"End"}}),
         RunState::EnvironmentRefused, 10, L"The user stopped the run at the environment check."},
        {"crash",
         Join({RunHead(), {L"ERROR: Fatal error occured, consult support.", L"End (crash)"}}),
         RunState::Crashed, 255, L"Fatal error occured, consult support."},
        {"cut off", RunHead(), RunState::CutOff, -1, L""},
        {"cut off after the crash line",
         Join({RunHead(), {L"ERROR: Fatal error occured, consult support."}}), RunState::CutOff, -1,
         L"Fatal error occured, consult support."},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        Capture capture;
        const RunInfo run = ParseRun(c.lines, capture);
        CHECK(run.state == c.state);
        CHECK(run.exitCode == c.exitCode);
        CHECK(run.Ended() == (c.state != RunState::CutOff));
        CHECK(run.stateReason == c.reason);
        CHECK(run.summaryMissing == (std::string(c.what).find("no closing") == 0));
    }
}

TEST_CASE("RunParser_Header_TheToolsVersionAndWow64") {
    const std::wstring versionRow = L"  ##   ##   ##    ##    Version: 1.2.3.4  ";
    struct Case {
        const char* what;
        std::vector<std::wstring> lines;
        const wchar_t* version;
        const wchar_t* wow64;
    } cases[] = {
        {"the banner's row, trailing blanks dropped",
         {L"", versionRow, L"INFO: OS: 10.0.19045 SP0", L"INFO: WoW64: True"},
         L"1.2.3.4",
         L"True"},
        {"the first row only",
         {versionRow, L"  Version: 9.9", L"INFO: WoW64: False"},
         L"1.2.3.4",
         L"False"},
        {"no banner", {L"INFO: OS: 10.0.19045 SP0"}, L"", L""},
        // After the walk started, a line is no header, whatever it holds.
        {"after the walk", Join({{L"INFO: Looking for infected files..."}, {versionRow}}), L"",
         L""},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        Capture capture;
        const RunInfo run = ParseRun(c.lines, capture);
        CHECK(run.version == c.version);
        CHECK(run.wow64 == c.wow64);
    }
}

TEST_CASE("RunParser_RunStopsInAFile_TheFileIsInterrupted") {
    const auto open = Section(L"C:\\d\\a.txt.BRSK", {}, L"");
    SUBCASE("crash") {
        Capture capture;
        ParseRun(Join({RunHead(),
                       open,
                       {L"INFO: DirWalkerIterator::cleanup('C:\\d', 'a.txt.BRSK', 00160F70)",
                        L"ERROR: Fatal error occured, consult support.", L"End (crash)"}}),
                 capture);
        REQUIRE(capture.files.size() == 1);
        CheckFile(capture.files[0], L"C:\\d\\a.txt.BRSK", Outcome::Interrupted,
                  L"The run crashed while cleaning this file.");
    }
    SUBCASE("cut off") {
        Capture capture;
        const RunInfo run = ParseRun(Join({RunHead(), open}), capture);
        REQUIRE(capture.files.size() == 1);
        CheckFile(capture.files[0], L"C:\\d\\a.txt.BRSK", Outcome::Interrupted,
                  L"The log ends while this file was being cleaned.");
        CHECK(run.state == RunState::CutOff);
        CHECK(run.Found() == 1);
        CHECK(run.NotCleaned() == 1);
    }
    SUBCASE("a cleaned file before the cut stays cleaned") {
        Capture capture;
        ParseRun(Join({RunHead(), Section(L"C:\\d\\b.txt.BRSK", {}, L"INFO: Cleaned")}), capture);
        REQUIRE(capture.files.size() == 1);
        CheckFile(capture.files[0], L"C:\\d\\b.txt.BRSK", Outcome::Cleaned, L"");
    }
}

TEST_CASE("RunParser_WarningsAndErrors_CountedAndHandedOnModesNot") {
    Capture capture;
    const RunInfo run =
        ParseRun(Join({{L"WARNING: SilentMode Enabled", L"WARNING: ForcedMode Enabled",
                        L"WARNING: DebugMode Enabled"},
                       RunHead(),
                       {L"WARNING: Invalid Path [C:\\gone]", L"ERROR: consistency error: 00000010",
                        L"WARNING: Directory [C:\\d\\loop] leads back into the walk"},
                       RunTail(0, 0)}),
                 capture);
    CHECK(run.silent);
    CHECK(run.forced);
    CHECK(run.warnings == 2);
    CHECK(run.errors == 1);
    REQUIRE(capture.notices.size() == 3);
    CHECK(capture.notices[0] ==
          std::make_pair(NoticeKind::Warning, std::wstring(L"Invalid Path [C:\\gone]")));
    CHECK(capture.notices[1] ==
          std::make_pair(NoticeKind::Error, std::wstring(L"consistency error: 00000010")));
    CHECK(capture.notices[2].second == L"Directory [C:\\d\\loop] leads back into the walk");
}

TEST_CASE("RunParser_DamagedLines_CountedAndPassedOver") {
    Capture capture;
    report::RunParser parser(capture, {L"C:\\l.log", L"", 0, 1}, fixtures::Stamp);
    const std::vector<std::pair<std::wstring, bool>> lines = {
        {fixtures::Stamped(L"INFO: Machine guid: M1"), true},
        {L"garbage without a stamp", true}, // line 3
        {fixtures::Stamped(L"INFO: Cleaning file [C:\\a\\x.BRSK]"), true},
        {std::wstring(L"[2026.01.02 03:04:05.006] - INFO: Cl\0aned", 40), true}, // a NUL
        {L"[2026.01.02 03:04:0] - INFO: Cleaned", true},                         // short stamp
        {fixtures::Stamped(L"INFO: Cleaned"), true},
        {fixtures::Stamped(L"INFO: 1 infected files found."), true},
        {fixtures::Stamped(L"INFO: 1 file(s) cleaned."), true},
        {fixtures::Stamped(L"End"), true},
        {fixtures::Stamped(L"INFO: after the end"), true},
        {std::wstring(7, L'\0'), false}, // a zero-filled tail
    };
    for (const auto& line : lines) {
        parser.AddLine(line.first, line.second);
    }
    const RunInfo run = parser.Finish(false);
    CHECK(run.damagedLines == 4);
    CHECK(run.firstDamagedLine == 3);
    CHECK_FALSE(run.cutMidLine);
    CHECK(run.machineGuid == L"M1");
    CHECK(run.state == RunState::Finished);
    REQUIRE(capture.files.size() == 1);
    CheckFile(capture.files[0], L"C:\\a\\x.BRSK", Outcome::Cleaned, L"");
}

TEST_CASE("RunParser_ForcedRun_FilesNotOfTheFamilyAndTheToolsOwnNamedAndNotCountedAsNotCleaned") {
    Capture capture;
    report::RunParser parser(capture, {L"C:\\l.log", L"", 0, 1}, fixtures::Stamp);
    for (const wchar_t* line :
         {L"WARNING: ForcedMode Enabled", L"INFO: Looking for infected files...",
          L"INFO: Cleaning file [C:\\d\\a.doc.BRSK]", L"INFO: Cleaned",
          L"INFO: Left as it is, not a file of the family [C:\\d\\b.txt]",
          L"INFO: Left as it is, a file of the tool's own [C:\\d\\a.doc.BRSK.backup_by_ovix]",
          L"INFO: 3 infected files found.", L"INFO: 1 file(s) cleaned.", L"End"}) {
        parser.AddLine(fixtures::Stamped(line), true);
    }
    const RunInfo run = parser.Finish(false);
    REQUIRE(capture.files.size() == 3);
    CheckFile(capture.files[1], L"C:\\d\\b.txt", Outcome::NotFamily,
              L"Left as it is, not a file of the family [C:\\d\\b.txt]");
    CheckFile(capture.files[2], L"C:\\d\\a.doc.BRSK.backup_by_ovix", Outcome::ToolsOwn,
              L"Left as it is, a file of the tool's own [C:\\d\\a.doc.BRSK.backup_by_ovix]");
    CHECK(run.forced);
    CHECK(run.Found() == 3);
    CHECK(run.NotFamily() == 1);
    CHECK(run.ToolsOwn() == 1);
    CHECK(run.NotCleaned() == 0);
}

TEST_CASE("RunParser_CountsPast32Bits_ReadAsTheyAre") {
    // (closing count lines, the counts read, whether the run is seen to have finished)
    struct Case {
        const wchar_t* found;
        int64_t loggedFound;
    } cases[] = {
        {L"INFO: 4294967296 infected files found.", 4294967296},
        {L"INFO: 12345678901 infected files found.", 12345678901},
        {L"INFO: 9223372036854775807 infected files found.", INT64_MAX},
        {L"INFO: 99999999999999999999 infected files found.", -1}, // past 64 bits: no number
        {L"INFO: 12x infected files found.", -1},
    };
    for (const Case& c : cases) {
        CAPTURE(report::ToUtf8(c.found));
        Capture capture;
        report::RunParser parser(capture, {L"C:\\l.log", L"", 0, 1}, fixtures::Stamp);
        parser.AddLine(fixtures::Stamped(c.found), true);
        parser.AddLine(fixtures::Stamped(L"INFO: 0 file(s) cleaned."), true);
        parser.AddLine(fixtures::Stamped(L"End"), true);
        const RunInfo run = parser.Finish(false);
        CHECK(run.loggedFound == c.loggedFound);
        if (c.loggedFound >= 0) {
            CHECK(run.state == RunState::Finished);
        }
    }
}

TEST_CASE("RunParser_LastLineIncomplete_CutMidLine") {
    Capture capture;
    report::RunParser parser(capture, {L"C:\\l.log", L"", 0, 1}, fixtures::Stamp);
    parser.AddLine(fixtures::Stamped(L"INFO: Cleaning file [C:\\a\\x.BRSK]"), true);
    parser.AddLine(L"[2026.01.02 03:04:05.006] - INFO: Clea", false);
    const RunInfo run = parser.Finish(false);
    CHECK(run.cutMidLine);
    CHECK(run.state == RunState::CutOff);
    CHECK(run.damagedLines == 0);
    REQUIRE(capture.files.size() == 1);
    CHECK(capture.files[0].outcome == Outcome::Interrupted);
}

TEST_CASE("RunParser_PathsWithBracketsAndAnyCharacters_KeptWhole") {
    const std::wstring path =
        std::wstring(L"C:\\a]b [c]\\\u00e9\u65e5 \"'<&>\\") + L"\xD800" + L"x.BRSK";
    Capture capture;
    ParseRun(Join({RunHead(), Section(path, {}, L"INFO: Cleaned"), RunTail(1, 1)}), capture);
    REQUIRE(capture.files.size() == 1);
    CHECK(capture.files[0].path == path);
}

TEST_CASE("RunParser_ClosingCounts_AgreeWithTheFileLinesOfEveryKindOfRun") {
    const std::wstring outer = L"C:\\d\\a.txt.BRSK.QOVY";
    const std::wstring inner = L"C:\\d\\a.txt.BRSK";
    struct Case {
        const char* what;
        std::vector<std::wstring> lines;
        bool differ;
    } cases[] = {
        {"every outcome of a cleaning",
         Join(
             {RunHead(),
              Section(L"C:\\d\\a.BRSK", {}, L"INFO: Cleaned"),
              Section(L"C:\\d\\b.BRSK", {L"INFO: Not valid Bristoke file."}, L"ERROR: Not cleaned"),
              {L"", L"INFO: Cleaning file [C:\\d\\c.BRSK]",
               L"INFO: File [C:\\d\\c.BRSK] is being cleaned by another run."},
              Section(L"C:\\d\\d.BRSK",
                      {L"INFO: User doesn't allow modification of file [C:\\d\\d]"},
                      L"ERROR: Not cleaned"),
              {L"ERROR: Internal error while cleaning C:\\d\\e.BRSK"},
              RunTail(5, 1)}),
         false},
        {"list only, one interrupted",
         Join({RunHead(true),
               {L"INFO: Skipping [C:\\d\\a.BRSK]...",
                L"INFO: Skipping [C:\\d\\b.BRSK]... (interrupted)"},
               RunTail(2, 0)}),
         false},
        {"forced, one file not of the family and one of the tool's own",
         Join({RunHead(),
               Section(L"C:\\d\\a.BRSK", {}, L"INFO: Cleaned"),
               {L"INFO: Left as it is, not a file of the family [C:\\d\\b.txt]",
                L"INFO: Left as it is, a file of the tool's own [C:\\d\\c.BRSK.backup_by_ovix]"},
               RunTail(3, 1)}),
         false},
        {"encrypted twice, one file",
         Join({RunHead(), Section(outer, {}, L"INFO: Cleaned"),
               Section(inner, {}, L"INFO: Cleaned"), RunTail(1, 1)}),
         false},
        {"no infected file", Join({RunHead(), RunTail(0, 0)}), false},
        {"cut off before its counts",
         Join({RunHead(), Section(L"C:\\d\\a.BRSK", {}, L"INFO: Cleaned")}), false},
        {"more found than named",
         Join({RunHead(), Section(L"C:\\d\\a.BRSK", {}, L"INFO: Cleaned"), RunTail(2, 1)}), true},
        {"fewer cleaned than named",
         Join({RunHead(), Section(L"C:\\d\\a.BRSK", {}, L"INFO: Cleaned"), RunTail(1, 0)}), true},
        {"a file line lost to damage",
         Join({RunHead(), {L"INFO: Skipping [C:\\d\\a.BRSK..."}, RunTail(1, 0)}), true},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        Capture capture;
        const RunInfo run = ParseRun(c.lines, capture);
        CHECK(run.CountsDiffer() == c.differ);
    }
}
