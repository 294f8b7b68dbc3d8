#include "doctest.h"

#include "io/text_escape.h"
#include "parse/run_record.h"

using namespace report;

TEST_CASE("RunNotes_EachThingNoted_InTheOrderOfTheSummary") {
    struct Case {
        const char* what;
        void (*set)(RunInfo&);
        std::vector<std::wstring> notes;
    } cases[] = {
        {"a log as the tool wrote it", [](RunInfo&) {}, {}},
        {"last line cut",
         [](RunInfo& run) { run.cutMidLine = true; },
         {L"the last line is cut off"}},
        {"LF line ends",
         [](RunInfo& run) { run.lfLineEnds = true; },
         {L"re-saved with LF line ends"}},
        {"UTF-8", [](RunInfo& run) { run.utf8Resaved = true; }, {L"re-saved as UTF-8"}},
        {"UTF-8 with LF line ends",
         [](RunInfo& run) {
             run.lfLineEnds = true;
             run.utf8Resaved = true;
         },
         {L"re-saved with LF line ends", L"re-saved as UTF-8"}},
        {"counts past 32 bits that differ",
         [](RunInfo& run) {
             run.loggedFound = 4294967298;
             run.loggedCleaned = 4294967296;
             run.outcomes[static_cast<int>(Outcome::Cleaned)] = 1;
             run.outcomes[static_cast<int>(Outcome::Failed)] = 2;
         },
         {L"the log's counts (4294967298 found, 4294967296 cleaned) differ from its file lines "
          L"(3, 1)"}},
        {"counts that agree",
         [](RunInfo& run) {
             run.loggedFound = 3;
             run.loggedCleaned = 1;
             run.outcomes[static_cast<int>(Outcome::Cleaned)] = 1;
             run.outcomes[static_cast<int>(Outcome::NotFamily)] = 1;
             run.outcomes[static_cast<int>(Outcome::Listed)] = 1;
         },
         {}},
        {"only the found count", [](RunInfo& run) { run.loggedFound = 7; }, {}},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        RunInfo run;
        c.set(run);
        CHECK(RunNotes(run) == c.notes);
    }
}

TEST_CASE("RunInfo_ForcedRunCounts_NotCleanedNeverWrapsAround") {
    struct Case {
        const char* what;
        int64_t loggedFound;
        int64_t loggedCleaned;
        uint64_t cleaned, failed, notFamily, toolsOwn;        // the file lines
        uint64_t wantNotFamily, wantToolsOwn, wantNotCleaned; // the run's row
    } cases[] = {
        {"counts that agree", 4, 1, 1, 1, 1, 1, 1, 1, 1},
        {"no closing counts", -1, -1, 1, 1, 1, 2, 1, 2, 1},
        {"found fewer than named", 2, 1, 1, 0, 1, 1, 1, 0, 0},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        RunInfo run;
        run.loggedFound = c.loggedFound;
        run.loggedCleaned = c.loggedCleaned;
        run.outcomes[static_cast<int>(Outcome::Cleaned)] = c.cleaned;
        run.outcomes[static_cast<int>(Outcome::Failed)] = c.failed;
        run.outcomes[static_cast<int>(Outcome::NotFamily)] = c.notFamily;
        run.outcomes[static_cast<int>(Outcome::ToolsOwn)] = c.toolsOwn;
        CHECK(run.NotFamily() == c.wantNotFamily);
        CHECK(run.ToolsOwn() == c.wantToolsOwn);
        CHECK(run.NotCleaned() == c.wantNotCleaned);
    }
}
