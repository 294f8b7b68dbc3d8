#pragma once

#include <string>

namespace report {

/// The machine a log is of, as the head of its first run tells.
struct LogMachine {
    std::wstring computerName; ///< empty where the head names none (older logs)
    std::wstring machineGuid;
};

/// Reads the head of the file at path; false when it is not a log of the tool.
[[nodiscard]] bool ReadLogMachine(const std::wstring& path, LogMachine& machine);

} // namespace report
