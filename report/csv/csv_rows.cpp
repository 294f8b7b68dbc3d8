#include "csv/csv_rows.h"

#include "parse/tool_build.h"

namespace report {

namespace {

std::wstring Number(uint64_t value) {
    return std::to_wstring(value);
}

} // namespace

void CsvRows::Run(const RunInfo& run) {
    if (runs == nullptr) {
        return;
    }
    runs->Row({run.computerName,
               run.machineGuid,
               IsoTime(run.start),
               run.logFile,
               run.os,
               run.productType,
               run.listOnly ? L"list only" : L"clean",
               run.forced ? L"1" : L"0",
               run.silent ? L"1" : L"0",
               RunStateName(run.state),
               run.exitCode >= 0 ? Number(static_cast<uint64_t>(run.exitCode)) : L"",
               Number(run.Found()),
               Number(run.Cleaned()),
               Number(run.NotCleaned()),
               Number(run.Count(Outcome::Failed)),
               Number(run.Count(Outcome::Skipped)),
               Number(run.Count(Outcome::Interrupted)),
               Number(run.Count(Outcome::Listed)),
               Number(run.NotFamily()),
               Number(run.ToolsOwn()),
               Number(run.warnings),
               Number(run.errors),
               Number(run.damagedLines),
               RunNotesText(run),
               run.version,
               BuildArchitecture(run),
               run.site});
}

void CsvRows::Problem(const ProblemRow& row) {
    if (problems != nullptr) {
        problems->Row({row.computerName, row.machineGuid, IsoTime(row.runStart), row.logFile,
                       row.problem, row.detail});
    }
}

void CsvRows::File(const FileRow& row) {
    if (files == nullptr || (failedOnly && (!row.latest || IsCleanedNow(row.outcome)))) {
        return;
    }
    files->Row({row.computerName, row.machineGuid, row.path, OutcomeName(row.outcome), row.reason,
                IsoTime(row.runStart), row.logFile, row.latest ? L"1" : L"0"});
}

} // namespace report
