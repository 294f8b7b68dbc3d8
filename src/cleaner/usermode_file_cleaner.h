#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "streams/folder.h"

class ProgressIndicator;

/// What Scan and Clean answer.
enum class CleanerResult : int32_t {
    Ok = 0,
    NotInfected = 2,
    Failed = 4,
    /// From Scan: the path is a file whose cleaning a run left unfinished.
    Interrupted = 8,
    /// From Scan: one of the cleaner's own files that no cleaning takes up; Tidy settles it.
    Leftover = 16,
};

/// The driver's only view of a cleaner: it knows nothing of any malware family.
class IUsermodeFileCleaner {
public:
    virtual ~IUsermodeFileCleaner() = default;
    [[nodiscard]] virtual bool Init() = 0;
    virtual CleanerResult Scan(const FolderEntry& file) = 0;
    /// Cleans an infected file, or finishes the cleaning of an interrupted one. NotInfected
    /// for a file that is none of the family's (a forced run hands over every file): it is
    /// left as it is, which is no failure.
    virtual CleanerResult Clean(const FolderEntry& file, ProgressIndicator& progress) = 0;
    virtual std::wstring GetName() const = 0;
    /// Says what a file that Scan called a leftover is, and in a run that may change files
    /// removes it where it is proven of no more use.
    virtual void Tidy(const FolderEntry& file, bool mayChange) = 0;
    /// Whether the entry the walk listed is gone since, or is a file this run wrote: a forced
    /// run, which hands over every file, neither counts nor names it.
    virtual bool ChangedByThisRun(const FolderEntry& file) = 0;
    /// The path a file had before a cleaning that was interrupted renamed it; empty when the
    /// file is no such file.
    virtual std::wstring InterruptedFileOf(const FolderEntry& file) = 0;
    /// The files that a file given by name, or the files a pattern gives, became in cleanings
    /// that were interrupted.
    virtual std::vector<std::wstring> InterruptedCleaningsOf(const std::wstring& path) = 0;
};
