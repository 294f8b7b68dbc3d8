#pragma once

#include <cstdint>
#include <string>

constexpr int32_t BackupNotInitialised = -1;

/// The run's backup counter; BackupNotInitialised until InitBackup has succeeded.
extern int32_t TheBackupCounter;

/// Takes the run's counter from the registry (and stores it back); once per run.
[[nodiscard]] bool InitBackup();

/// The backup name of a source path; false when none can be used (not initialised, or a
/// file already has that name).
[[nodiscard]] bool MakeBackupName(const std::wstring& source, std::wstring& backup);

/// Moves the source aside to its backup name, which is returned in backup.
[[nodiscard]] bool BackupFile(const std::wstring& source, std::wstring& backup);

/// Moves a backup back to its source name, never replacing a file that is there.
bool RestoreBackup(const std::wstring& backup);

bool IsBackupName(const std::wstring& path);

/// The path a backup had before; empty when the path is not a backup name.
std::wstring SourceNameOf(const std::wstring& backup);

/// True when the file may be created: it does not exist, or the user agrees to replace it.
[[nodiscard]] bool MayOverwrite(const std::wstring& path);

/// The part after the last backslash; the whole path when there is none.
std::wstring FileNameOf(const std::wstring& path);

/// The part after the last dot; empty when there is none.
std::wstring ExtensionOf(const std::wstring& path);
