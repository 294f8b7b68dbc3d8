#pragma once

#include <string>

#include "parse/run_record.h"

namespace report {

/// A line or a file that needs a look: a warning or error line of a run, a damaged log, a file
/// that is not a readable log (no machine, no run), a machine that sent no log (no run).
struct ProblemRow {
    std::wstring computerName;
    std::wstring machineGuid;
    std::wstring runStart; ///< the run's "Begin" stamp
    std::wstring logFile;
    std::wstring problem;
    std::wstring detail;
};

/// One file as one run met it, once every run is read.
struct FileRow {
    std::wstring computerName;
    std::wstring machineGuid;
    std::wstring path;
    Outcome outcome = Outcome::Failed;
    std::wstring reason;
    std::wstring runStart;
    std::wstring logFile;
    /// This run's is the latest word on the file.
    bool latest = false;
};

/// Where the fleet's rows go as they are known (the CSVs): runs and problems as the logs are
/// read, files once the fleet has settled.
class IFleetRows {
public:
    virtual ~IFleetRows() = default;
    virtual void Run(const RunInfo& run) = 0;
    virtual void Problem(const ProblemRow& row) = 0;
    virtual void File(const FileRow& row) = 0;
};

} // namespace report
