#pragma once

#include <string>

#include "cleaner/usermode_file_cleaner.h"
#include "driver/exit_code.h"
#include "driver/files_met.h"
#include "walker/dir_walker.h"

/// Asks the cleaner about one file the walk met, lists or cleans it, and says what to count. A
/// file met before in the run, by this name or another, is passed over and not counted.
FileOutcome ProcessFile(IUsermodeFileCleaner& cleaner, const WalkEntry& entry, bool forced,
                        bool listOnly, FilesMet& met);
