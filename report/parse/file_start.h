#pragma once

#include <string>

#include "io/line_reader.h"
#include "parse/run_record.h"

namespace report {

/// In the head of every page the report writes: a later report passes such a page over.
constexpr const char* PageSignature = "<meta name=\"generator\" content=\"BristokeReport\">";
/// How the first row of every CSV the report writes starts (its machine columns), and how it
/// started in earlier versions of the report: a later report passes such a file over.
constexpr const wchar_t* CsvSignature = L"\"ComputerName\",\"MachineGuid\",";
constexpr const wchar_t* OldCsvSignature = L"\"Computer name\",\"Machine GUID\",";

/// What a file met under the report's paths is, told from its start.
struct FileStart {
    enum class Kind { Log, EarlierCsv, EarlierPage, NotALog };
    Kind kind = Kind::NotALog;
    LineReader::Start encoding = LineReader::Start::Empty;
    /// Log: the stamp of its "Begin" line, the first run's start.
    std::wstring stamp;
    /// NotALog: why not; an earlier output: what it is ("an earlier report's CSV").
    Problem problem = Problem::NotALog;
    std::wstring detail;
};

/// Reads a file's byte-order mark and first line through reader (which then stands after that
/// line) and tells whether it is a log of the tool: UTF-16LE with its mark, or re-saved as UTF-8
/// with a mark or without one, its first line "[time] - Begin". The one place that says so.
FileStart ReadFileStart(LineReader& reader);

/// Whether the file at path is one the report wrote: a CSV (page false) or a page, told by its
/// start (ReadFileStart). A later report may write over such a file where it would refuse any
/// other.
bool IsEarlierOutput(const std::wstring& path, bool page);

} // namespace report
