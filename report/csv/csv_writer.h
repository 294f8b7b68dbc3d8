#pragma once

#include <initializer_list>
#include <string>

#include "io/outputs.h"

namespace report {

/// One CSV of one kind of row: UTF-8 with a byte-order mark, so that spreadsheet programs take
/// it for UTF-8; every field quoted and escaped (CsvField).
class CsvTable {
public:
    /// Writes the byte-order mark and the header row.
    CsvTable(ITextOut& out, std::initializer_list<const wchar_t*> header);
    void Row(std::initializer_list<std::wstring> fields);

private:
    ITextOut& out;
};

/// The header of each CSV; every one starts with the machine, to join them on (and with
/// CsvSignature, by which a later report knows it).
extern const std::initializer_list<const wchar_t*> FilesHeader;
extern const std::initializer_list<const wchar_t*> RunsHeader;
extern const std::initializer_list<const wchar_t*> ProblemsHeader;

/// A run's start as ISO 8601 ("2026-01-02T03:04:05.006"): the machine's local time, as the
/// tool stamps its lines, with no zone offset, which the log does not hold. A stamp not in the
/// tool's layout is given as it is.
std::wstring IsoTime(const std::wstring& stamp);

} // namespace report
