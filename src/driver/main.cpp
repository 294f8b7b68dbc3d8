#include "driver/entry.h"
#include "driver/run_cleaner.h"

int wmain(int argc, wchar_t** argv) {
    return RunEntry(argc, argv, RunCleaner);
}
