#include "doctest.h"

#include "app/reading_progress.h"
#include "report_fixture.h"

using namespace report;

namespace {

uint32_t now = 0;

uint32_t Now() {
    return now;
}

} // namespace

TEST_CASE("ReadingProgress_ALongRead_ALineAfterASecondThenFourASecondAtMostThenTakenAway") {
    const struct {
        const char* what;
        uint32_t start;              ///< the clock when reading starts
        std::vector<uint32_t> times; ///< of each file read, from the start
        std::vector<std::wstring> shown;
    } cases[] = {
        {"a short read", 0, {10, 500, 999}, {}},
        {"a long read",
         5000,
         {400, 1000, 1100, 1249, 1250, 1600, 4000},
         {L"Reading: 2 files, 1 runs of the tool so far",
          L"Reading: 5 files, 4 runs of the tool so far",
          L"Reading: 6 files, 5 runs of the tool so far",
          L"Reading: 7 files, 6 runs of the tool so far", L""}},
        // The tick count wraps round after 49 days.
        {"across the wrap",
         0xFFFFFF00u,
         {0x80, 0x500},
         {L"Reading: 2 files, 1 runs of the tool so far", L""}},
    };
    for (const auto& c : cases) {
        CAPTURE(c.what);
        fixtures::ConsoleCapture console;
        now = c.start;
        ReadingProgress progress(console, Now);
        uint64_t files = 0;
        for (uint32_t time : c.times) {
            now = c.start + time;
            progress.Read(files + 1, files);
            ++files;
        }
        progress.Done();
        CHECK(console.progress == c.shown);
        CHECK(console.lines.empty());
    }
}
