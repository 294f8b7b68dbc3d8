#pragma once

#include <string>

#include "collector.h"
#include "line_reader.h"

namespace report {

/// Reads one file met under the report's paths: a run of the tool goes to the collector with
/// its files and its end, any other file as a problem.
void ReadLog(IByteSource& source, const std::wstring& path, Collector& collector);

/// Opens the file and reads it; a file that cannot be opened is a problem too.
void ReadLogFile(const std::wstring& path, Collector& collector);

} // namespace report
