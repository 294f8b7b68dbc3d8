#include "app/reading_progress.h"

#include <string>

namespace report {

ReadingProgress::ReadingProgress(IConsole& console, Clock clock)
    : console(console), clock(clock), start(clock()), last(start) {}

void ReadingProgress::Read(uint64_t files, uint64_t runs) {
    const uint32_t now = clock();
    if (now - start < FirstAfter || (shown && now - last < Every)) {
        return;
    }
    last = now;
    shown = true;
    console.Progress(L"Reading: " + std::to_wstring(files) + L" files, " + std::to_wstring(runs) +
                     L" runs of the tool so far");
}

void ReadingProgress::Done() {
    if (shown) {
        console.Progress(std::wstring());
        shown = false;
    }
}

} // namespace report
