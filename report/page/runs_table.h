#pragma once

#include <cstdint>
#include <string>

#include "fleet/sorted_spool.h"
#include "io/outputs.h"
#include "parse/run_record.h"

namespace report {

/// The opening of a table of runs and its heading row; withMachine: a first column names the
/// machine (the table of every run), else the table is one machine's.
std::string RunsTableStart(bool withMachine);

/// A run's row: machineCell first where the table has that column, then its start, its bar,
/// mode, counts, end, exit state, Windows, the tool and its log (folder and name).
std::string RunRow(const RunInfo& run, const std::string* machineCell, uint64_t largest);

/// The runs of the machines that need action, met by machine in the runs' order (name, then
/// GUID): the runs spool (RunRecords, by machine and start) is read along and the runs of the
/// other machines passed over. The first Listed runs become rows, each machine named once.
class InNeedRuns {
public:
    static constexpr uint64_t Listed = 200;

    InNeedRuns(SortedSpool& runs, ITextOut& rows, uint64_t largest)
        : runs(runs), rows(rows), largest(largest) {}
    [[nodiscard]] bool Start();
    /// The next machine that needs action, after the one before in the runs' order.
    void Machine(const std::wstring& name, const std::wstring& guid);
    /// Runs of the machines that need action, and how many of them are rows.
    uint64_t Count() const { return count; }
    uint64_t Shown() const { return count < Listed ? count : Listed; }
    bool Failed() const { return runs.Failed(); }

private:
    SortedSpool& runs;
    ITextOut& rows;
    uint64_t largest;
    SortedSpool::Record record;
    bool more = false;
    uint64_t count = 0;
};

} // namespace report
