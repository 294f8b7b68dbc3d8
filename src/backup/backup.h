#pragma once

#include <cstdint>
#include <string>

constexpr int32_t BackupNotInitialised = -1;

/// The longest file name (one path component) the file systems take, in UTF-16 units.
constexpr size_t MaxFileNameLength = 255;

/// The run's backup counter; BackupNotInitialised until InitBackup has succeeded.
extern int32_t TheBackupCounter;

/// Takes the run's counter from the registry (and stores it back); once per run.
[[nodiscard]] bool InitBackup();

/// The backup name of a path, in its directory: the path + ".backup_" + the counter and "_"
/// + "by_ovix". A file name that would grow too long keeps its start and gets its tag. False
/// when none can be used (not initialised, or a file already has that name).
[[nodiscard]] bool MakeBackupName(const std::wstring& source, std::wstring& backup);

/// Moves the source aside to its backup name, never over a file.
[[nodiscard]] bool MoveToBackup(const std::wstring& source, const std::wstring& backup);

/// Moves a backup back to its source name, never replacing a file that is there.
bool RestoreBackup(const std::wstring& backup, const std::wstring& source);

bool IsBackupName(const std::wstring& path);

/// A name the tool gave one of its own files: a backup, a partial output or the record of a
/// cleaning. Such files are never taken for encrypted ones, whatever their content.
bool IsOwnFileName(const std::wstring& fileName);

/// "~" and eight hexadecimal digits that stand for a file name (its letters' case does not
/// count): short names of the tool's own files that belong to that file.
std::wstring TagOf(const std::wstring& fileName);

/// Where the decrypted data of a file is written until it is complete.
std::wstring PartialNameOf(const std::wstring& fileName);
bool IsPartialName(const std::wstring& fileName);

/// The record of a file's cleaning while it is in progress.
std::wstring RecordNameOf(const std::wstring& fileName);
bool IsRecordName(const std::wstring& fileName);

/// True when the file may be created: it does not exist, or the user agrees to replace it.
[[nodiscard]] bool MayOverwrite(const std::wstring& path);

/// The part after the last backslash; the whole path when there is none.
std::wstring FileNameOf(const std::wstring& path);

/// The part up to and including the last backslash; empty when there is none.
std::wstring DirectoryPartOf(const std::wstring& path);

/// The part after the last dot; empty when there is none.
std::wstring ExtensionOf(const std::wstring& path);
