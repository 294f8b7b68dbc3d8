#pragma once

#include <string>

#include "backup/backup.h"

/// What lies beside a file while it is cleaned: its name and its backup's, written before the
/// file is moved and removed once its cleaning is settled. A run cut off at any moment leaves
/// it behind, and the next run finishes the cleaning from it. The partial output and the record
/// itself have names made from the file's name, so a file given by name finds its record.
struct CleaningRecord {
    /// The files' directory with its trailing backslash; empty for the current directory.
    std::wstring directory;
    std::wstring source;
    std::wstring backup;

    std::wstring SourcePath() const { return directory + source; }
    std::wstring BackupPath() const { return directory + backup; }
    std::wstring PartialPath() const { return directory + PartialNameOf(source); }
    std::wstring RecordPath() const { return directory + RecordNameOf(source); }
};

/// Creates the record's file, which must not exist yet, and makes it durable before the file is
/// moved. False when it cannot; taken then tells whether a file had the name already (nothing is
/// logged for that: the caller decides), otherwise the line says why.
[[nodiscard]] bool WriteCleaningRecord(const CleaningRecord& record, bool& taken);

/// The record kept in a file of the record's name; false, without a line, when the file is
/// missing or is no record that the tool wrote for the file it names.
[[nodiscard]] bool ReadCleaningRecord(const std::wstring& path, CleaningRecord& record);

/// A file of the record's name that holds nothing yet (or only zeros, as a power loss may leave
/// it): a record cut off while it was being written, before its file was moved.
bool IsUnwrittenRecord(const std::wstring& path);

/// Creates the partial output, empty, before the file is moved: while the cleaning is under way
/// it exists, so a run cut off before the decrypted file took its name is told from one cut off
/// after. exclusive: a file of that name is not the cleaning's own and makes it fail. False, with
/// its line, when it cannot be created.
[[nodiscard]] bool ReservePartialOutput(const CleaningRecord& record, bool exclusive);

/// Removes one of the tool's own files; one that is already gone is no failure. Otherwise false,
/// with its line.
bool RemoveOwnFile(const std::wstring& path);
