#include "csv/csv_writer.h"

#include "io/text_escape.h"

namespace report {

const std::initializer_list<const wchar_t*> FilesHeader = {
    L"ComputerName", L"MachineGuid", L"Path",    L"Outcome",
    L"Reason",       L"RunStart",    L"LogFile", L"Latest"};
const std::initializer_list<const wchar_t*> RunsHeader = {
    L"ComputerName", L"MachineGuid",  L"RunStart", L"LogFile", L"OS",           L"ProductType",
    L"Mode",         L"Forced",       L"Silent",   L"State",   L"ExitCode",     L"Found",
    L"Cleaned",      L"NotCleaned",   L"Failed",   L"Skipped", L"Interrupted",  L"Listed",
    L"NotFamily",    L"ToolsOwn",     L"Warnings", L"Errors",  L"DamagedLines", L"Notes",
    L"ToolVersion",  L"Architecture", L"Site"};
const std::initializer_list<const wchar_t*> ProblemsHeader = {
    L"ComputerName", L"MachineGuid", L"RunStart", L"LogFile", L"Problem", L"Detail"};

CsvTable::CsvTable(ITextOut& out, std::initializer_list<const wchar_t*> header) : out(out) {
    out.Write("\xEF\xBB\xBF");
    std::string row;
    for (const wchar_t* name : header) {
        row += (row.empty() ? "" : ",") + CsvField(name);
    }
    out.Write(row + "\r\n");
}

void CsvTable::Row(std::initializer_list<std::wstring> fields) {
    std::string row;
    for (const std::wstring& field : fields) {
        row += (row.empty() ? "" : ",") + CsvField(field);
    }
    out.Write(row + "\r\n");
}

std::wstring IsoTime(const std::wstring& stamp) {
    // "2026.01.02 03:04:05.006"
    static constexpr wchar_t Layout[] = L"0000.00.00 00:00:00.000";
    if (stamp.size() != sizeof Layout / sizeof Layout[0] - 1) {
        return stamp;
    }
    std::wstring iso = stamp;
    for (size_t i = 0; i < stamp.size(); ++i) {
        const bool digit = stamp[i] >= L'0' && stamp[i] <= L'9';
        if ((Layout[i] == L'0') != digit || (!digit && stamp[i] != Layout[i])) {
            return stamp;
        }
    }
    iso[4] = iso[7] = L'-';
    iso[10] = L'T';
    return iso;
}

} // namespace report
