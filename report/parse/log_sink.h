#pragma once

#include <string>

#include "parse/run_record.h"

namespace report {

/// Receives what a run's lines tell, as they are read.
class IRunSink {
public:
    virtual ~IRunSink() = default;
    virtual void OnFile(const RunInfo& run, const FileRecord& file) = 0;
    virtual void OnNotice(const RunInfo& run, NoticeKind kind, const std::wstring& text) = 0;
};

/// Receives every file met under the report's paths: its runs, or what keeps it from being read.
class ILogSink : public IRunSink {
public:
    virtual void OnRunEnd(const RunInfo& run) = 0;
    virtual void OnProblem(const std::wstring& path, Problem problem,
                           const std::wstring& detail) = 0;
    /// A file the report wrote before, met among the logs: noted, not counted as a problem.
    virtual void OnPassedOver(const std::wstring& path, const std::wstring& what) = 0;
};

} // namespace report
