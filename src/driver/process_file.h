#pragma once

#include <string>

#include "cleaner/usermode_file_cleaner.h"
#include "driver/exit_code.h"
#include "driver/files_met.h"

/// Asks the cleaner about one file, lists or cleans it, and says what to count. A file met
/// before in the run, by this name or another, is passed over and not counted.
FileOutcome ProcessFile(IUsermodeFileCleaner& cleaner, const FolderEntry& file, bool forced,
                        bool listOnly, FilesMet& met);
