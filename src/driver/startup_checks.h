#pragma once

/// Whether library loading can be kept to the system directory (update KB2533623 on releases
/// from 6.0 on; releases before 6.0 count as able).
[[nodiscard]] bool IsSafeDllLoadingAvailable();

/// Warns when the update is missing and asks whether to go on: 0 to go on, 1 when the user
/// chose to stop.
[[nodiscard]] int CheckEnvironment();

/// Creates the single-instance mutex, named after the executable's file name, and keeps it
/// until the process ends. True when another process already holds it.
[[nodiscard]] bool IsAnotherInstanceRunning();
