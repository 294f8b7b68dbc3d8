#pragma once

#include <cstdint>
#include <string>

#include "logging/failure.h"
#include "streams/file_system.h"

/// What a file's cleaning needs of the cleaner: the family's knowledge, the decryption and the
/// user's word.
class ICleaningSteps {
public:
    /// Whether the file named name, whose content is at contentPath, is one of the family's, by
    /// its name or its footer.
    virtual bool IsFamilyFile(const std::wstring& name, const std::wstring& contentPath) = 0;
    /// Whether the content at contentPath proves itself the family's encrypted file named name:
    /// its footer reads, and a key of the run opens it. A name proves nothing.
    virtual bool ProvesFamily(const std::wstring& name, const std::wstring& contentPath) = 0;
    /// Decrypts the encrypted content of the file named source, now at inputPath, into output;
    /// outputPath is where it will go. False, with the failure.
    virtual bool Decrypt(const std::wstring& source, const std::wstring& inputPath,
                         IWrittenFile& output, const std::wstring& outputPath,
                         Failure& failure) = 0;
    /// Whether the file at path may be replaced: the user's word, or the mode's.
    virtual bool MayReplace(const std::wstring& path) = 0;

protected:
    ~ICleaningSteps() = default;
};

enum class CleaningResult {
    Cleaned,
    Failed,
};

/// The source path that an in-progress file stands for; empty when path is no such file, or its
/// name had to be shortened and no valid name note says whose it is.
std::wstring InterruptedSourceOf(IFileSystem& files, const std::wstring& path);

/// One file's cleaning, as a state machine whose state is the encrypted file's own name:
///   source          untouched;
///   in progress     renamed to its .cleaning_ name and held open by the run that cleans it,
///                   decrypted into a new .partial_ file that is made durable, then placed under
///                   the output's name without replacing anything;
///   backup          renamed to its .backup_ name: the cleaning is over.
/// Every name a cleaning gives carries the counter of the run that began it. A run cut off
/// anywhere leaves the file under one of these names; a run that meets an in-progress file whose
/// content proves it the family's, and that it can hold, decrypts it again and checks what has
/// the output's name. Every refusal or failure is logged in one place, with "Not cleaned" after
/// it, and puts the file back under its own name unless its decrypted file has taken its name.
class Cleaning {
public:
    /// counter: the run's backup counter, which the names of a new cleaning carry.
    Cleaning(IFileSystem& files, ICleaningSteps& steps, int32_t counter)
        : files(files), steps(steps), counter(counter) {}

    /// Cleans the family's file at path, or takes up the cleaning of the in-progress file at
    /// path (resumed), and then each layer of a file the family encrypted more than once.
    CleaningResult Run(const std::wstring& path, bool resumed);

    /// A name note that no cleaning takes up: named when its content does not prove it one of
    /// the tool's; where mayRemove, removed when its cleaning has ended (its file has no
    /// in-progress name and none can be given meanwhile).
    void TidyNote(const std::wstring& path, bool mayRemove);

private:
    class PutBack;
    struct Names;

    bool Start(const std::wstring& source, PutBack& putBack, std::wstring& output,
               Failure& failure);
    bool Resume(const std::wstring& path, PutBack& putBack, std::wstring& output, Failure& failure);
    /// From a held in-progress file to its backup name.
    bool Finish(const Names& names, bool resumed, PutBack& putBack, std::wstring& output,
                Failure& failure);
    /// Removes the partial output that a cut-off run of this cleaning left, when its bytes are
    /// the decrypted data's; false, with the failure, when a file of that name must stay.
    bool ClearStalePartial(const Names& names, Failure& failure);
    /// Gives the partial output, before it takes its name, what the encrypted file carries
    /// beside its data: its streams, times, attributes, and owner and access list.
    bool CopyWhatItCarries(const Names& names, const std::wstring& output, Failure& failure);
    /// Whether a file that has the output's name may give way to the decrypted one.
    bool MayReplaceOutput(const std::wstring& output, Failure& failure);
    /// Gives the partial output the output's name, keeping a file that had it.
    bool PlaceOutput(const Names& names, const std::wstring& output, bool replace, PutBack& putBack,
                     Failure& failure);

    IFileSystem& files;
    ICleaningSteps& steps;
    int32_t counter;
};
