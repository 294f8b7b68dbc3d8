#include "csv_writer.h"

#include "text_escape.h"

namespace report {

namespace {

const std::wstring Header[] = {L"Computer name", L"Machine GUID", L"OS",      L"Product type",
                               L"Log file",      L"Run start",    L"File",    L"Outcome",
                               L"Reason"};
constexpr size_t Columns = sizeof Header / sizeof Header[0];

} // namespace

CsvWriter::CsvWriter(ITextOut& out) : out(out) {
    out.Write("\xEF\xBB\xBF");
    Row(Header, Columns);
}

void CsvWriter::RunRow(const RunInfo& run, const std::wstring& path, const std::wstring& outcome,
                       const std::wstring& reason) {
    const std::wstring fields[Columns] = {run.computerName, run.machineGuid, run.os,
                                          run.productType,  run.logFile,     run.start,
                                          path,             outcome,         reason};
    Row(fields, Columns);
}

void CsvWriter::ProblemRow(const std::wstring& path, const std::wstring& problem,
                           const std::wstring& detail) {
    const std::wstring fields[Columns] = {L"", L"", L"", L"", path, L"", L"", problem, detail};
    Row(fields, Columns);
}

void CsvWriter::Row(const std::wstring* fields, size_t count) {
    std::string row;
    for (size_t i = 0; i < count; ++i) {
        if (i != 0) {
            row += ',';
        }
        row += CsvField(fields[i]);
    }
    out.Write(row + "\r\n");
}

} // namespace report
