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

bool IsBackupName(const std::wstring& path);

/// A name the tool gave one of its own files: a backup, a file being cleaned, a partial output
/// or the name note of a long one. Such files are never taken for new victims, whatever their
/// content.
bool IsOwnFileName(const std::wstring& fileName);

/// "~" and eight hexadecimal digits that stand for a file name (its letters' case does not
/// count): the end of a shortened name of the tool's own that belongs to that file.
std::wstring TagOf(const std::wstring& fileName);

/// The tool's own files beside a source file; each is the source's name + "." + kind + "_" +
/// the counter and "_" (left out when it is 0) + "by_ovix".
enum class OwnKind {
    /// The encrypted file after its cleaning.
    Backup,
    /// The encrypted file while it is cleaned: its name is the cleaning's state.
    Cleaning,
    /// The decrypted data until it is complete.
    Partial,
    /// The source's name, kept where the name of the file being cleaned had to be shortened.
    Name,
};

/// The own file of that kind for the source path, in its directory. A name that would pass the
/// limit keeps its start and gets its tag instead.
std::wstring OwnNameOf(const std::wstring& source, OwnKind kind, int32_t counter);

/// Whether the path's file name is an own name of that kind.
bool IsOwnNameOfKind(const std::wstring& path, OwnKind kind);

/// Reads an own name of that kind back: the path without its suffix (for a shortened name, its
/// start and tag) and the counter. shortened tells that the source's own name is not in it.
bool ParseOwnName(const std::wstring& path, OwnKind kind, std::wstring& base, int32_t& counter,
                  bool& shortened);

/// The own name of another kind that the same source and counter give, from an own name of
/// one kind. False when path is no such name, or it was shortened and the sibling would keep
/// more of the source's name than it does.
bool SiblingOwnName(const std::wstring& path, OwnKind kind, OwnKind sibling,
                    std::wstring& siblingPath);

/// True when the file may be created: it does not exist, or the user agrees to replace it.
[[nodiscard]] bool MayOverwrite(const std::wstring& path);

/// The encrypted file's path without the last extension of its file name; empty when the name
/// has none (cutting at a dot of a directory would write outside the file's directory) or is
/// nothing but an extension (the output would be the directory itself).
std::wstring OutputPathOf(const std::wstring& path);

/// The part after the last backslash; the whole path when there is none.
std::wstring FileNameOf(const std::wstring& path);

/// The part up to and including the last backslash; empty when there is none.
std::wstring DirectoryPartOf(const std::wstring& path);

/// The part after the last dot; empty when there is none.
std::wstring ExtensionOf(const std::wstring& path);
