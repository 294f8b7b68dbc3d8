#pragma once

#include <string>

#include "outputs.h"
#include "run_record.h"

namespace report {

/// How every CSV the report writes starts (its byte-order mark and first header): a later
/// report passes such a file over.
constexpr const char* CsvSignature = "\xEF\xBB\xBF\"Computer name\",\"Machine GUID\",";

/// The CSV: UTF-8 with a byte-order mark, so that spreadsheet programs take it for UTF-8; one
/// row per file a run met, per warning or error line, per run, and per file that is not a
/// readable log.
class CsvWriter {
public:
    /// Writes the byte-order mark and the header row.
    explicit CsvWriter(ITextOut& out);

    void RunRow(const RunInfo& run, const std::wstring& path, const std::wstring& outcome,
                const std::wstring& reason);
    void ProblemRow(const std::wstring& path, const std::wstring& problem,
                    const std::wstring& detail);

private:
    void Row(const std::wstring* fields, size_t count);

    ITextOut& out;
};

} // namespace report
