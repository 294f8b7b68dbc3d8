#pragma once

#include <string>

#include "cleaner/usermode_file_cleaner.h"
#include "driver/exit_code.h"

/// Asks the cleaner about one file, lists or cleans it, and says what to count.
FileOutcome ProcessFile(IUsermodeFileCleaner& cleaner, const std::wstring& path, bool forced,
                        bool listOnly);
