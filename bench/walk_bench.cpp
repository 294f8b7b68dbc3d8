// Walks one tree with the directory walker and reports entries per second and the process's
// peak memory. The tree's size must not show in the memory: the walker holds one open folder
// and one buffer of its listing (32 KiB) per directory level, never a whole listing.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "logging/log_file.h"
#include "memory_counters.h"
#include "platform/system_functions.h"
#include "walker/dir_walker.h"

namespace {

MemoryCounters ReadMemory() {
    MemoryCounters counters = {};
    counters.cb = sizeof counters;
    sys::GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / frequency.QuadPart;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fwprintf(stderr, L"usage: walk_bench.exe <directory>\n");
        return 2;
    }
    // The walker logs only abandoned walks and broken roots, but it needs a log to do so.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring logPath = std::wstring(temp) + L"walk_bench.log";
    if (!TheLogFile.Open(logPath)) {
        return 2;
    }
    const MemoryCounters before = ReadMemory();
    uint64_t entries = 0;
    uint64_t files = 0;
    uint64_t invalid = 0;
    LARGE_INTEGER start;
    LARGE_INTEGER stop;
    QueryPerformanceCounter(&start);
    DirWalker walker;
    if (walker.Prepare(argv[1])) {
        const DirWalkerIterator end = walker.end();
        for (DirWalkerIterator it = walker.begin(); it != end; ++it) {
            const WalkEntry entry = *it;
            ++entries;
            files += entry.isValid && !entry.isDirectory;
            invalid += !entry.isValid;
        }
    }
    QueryPerformanceCounter(&stop);
    const MemoryCounters after = ReadMemory();
    TheLogFile.Close();
    DeleteFileW(logPath.c_str());

    const double seconds = Seconds(start, stop);
    wprintf(L"root             %ls\n", argv[1]);
    wprintf(L"entries          %llu (%llu files, %llu invalid)\n",
            static_cast<unsigned long long>(entries), static_cast<unsigned long long>(files),
            static_cast<unsigned long long>(invalid));
    wprintf(L"time             %.3f s\n", seconds);
    wprintf(L"entries/s        %.0f\n", seconds > 0 ? entries / seconds : 0.0);
    wprintf(L"peak working set %lu KiB (before the walk: %lu KiB)\n",
            static_cast<unsigned long>(after.PeakWorkingSetSize / 1024),
            static_cast<unsigned long>(before.PeakWorkingSetSize / 1024));
    wprintf(L"peak private     %lu KiB (before the walk: %lu KiB)\n",
            static_cast<unsigned long>(after.PeakPagefileUsage / 1024),
            static_cast<unsigned long>(before.PeakPagefileUsage / 1024));
    return invalid == 0 ? 0 : 1;
}
