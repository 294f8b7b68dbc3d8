#pragma once

#include "csv/csv_writer.h"
#include "fleet/fleet_rows.h"

namespace report {

/// The fleet's rows as the three CSVs, any of which may be absent: one kind of row each, in
/// the columns of its header.
class CsvRows : public IFleetRows {
public:
    /// failedOnly: the files CSV keeps one row per file whose latest word is not "cleaned".
    CsvRows(CsvTable* files, CsvTable* runs, CsvTable* problems, bool failedOnly)
        : files(files), runs(runs), problems(problems), failedOnly(failedOnly) {}

    void Run(const RunInfo& run) override;
    void Problem(const ProblemRow& row) override;
    void File(const FileRow& row) override;

private:
    CsvTable* files;
    CsvTable* runs;
    CsvTable* problems;
    bool failedOnly;
};

} // namespace report
