#pragma once

#include <string>

#include "io/line_reader.h"
#include "parse/log_sink.h"

namespace report {

/// Reads one file met under the report's paths: a run of the tool goes to the sink with its
/// files and its end, any other file as a problem. site: the folder it was collected in; size:
/// the file's, in bytes.
void ReadLog(IByteSource& source, const std::wstring& path, const std::wstring& site, uint64_t size,
             ILogSink& sink);

/// Opens the file and reads it; a file that cannot be opened is a problem too.
void ReadLogFile(const std::wstring& path, const std::wstring& site, ILogSink& sink);

/// Whether the file at path is a log of the tool (ReadFileStart).
bool IsLogOfTheTool(const std::wstring& path);

} // namespace report
