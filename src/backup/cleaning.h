#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "logging/failure.h"
#include "streams/file_system.h"

/// What an encrypted file's content proves of it; a name proves nothing.
enum class Proof {
    /// Its footer reads, and a key of the run opens it.
    Family,
    /// Its footer reads, but no key of the run opens it.
    NoKey,
    Nothing,
};

/// What a file's cleaning needs of the cleaner: the family's knowledge, the decryption and the
/// user's word.
class ICleaningSteps {
public:
    /// Whether the entry name of the folder is one of the family's, by its name or its footer.
    virtual bool IsFamilyFile(const IFolder& folder, const std::wstring& name) = 0;
    /// What the held content proves itself of the family's encrypted file named sourceName.
    virtual Proof ProofOf(const std::wstring& sourceName, IHeldFile& content) = 0;
    /// Decrypts the encrypted content of the file whose path was source, held as input, into
    /// output; outputPath is where it will go. False, with the failure.
    virtual bool Decrypt(const std::wstring& source, IHeldFile& input, IWrittenFile& output,
                         const std::wstring& outputPath, Failure& failure) = 0;
    /// Whether the file at path may be replaced: the user's word, or the mode's.
    virtual bool MayReplace(const std::wstring& path) = 0;

protected:
    ~ICleaningSteps() = default;
};

enum class CleaningResult {
    Cleaned,
    Failed,
};

/// The name of the source file that the in-progress file name of the folder stands for; empty
/// when it is no such file, or its name had to be shortened and no valid name note says whose
/// it is.
std::wstring InterruptedSourceOf(IFileSystem& files, const IFolder& folder,
                                 const std::wstring& name);

/// One file's cleaning, as a state machine whose state is the encrypted file's own name:
///   source          untouched;
///   in progress     held open by the run that cleans it and renamed through that hold to its
///                   .cleaning_ name, decrypted into a new .partial_ file that is made durable
///                   and given what the encrypted file carries, then renamed through its own
///                   handle to the output's name without replacing anything;
///   backup          renamed through the hold to its .backup_ name: the cleaning is over.
/// Every name a cleaning gives carries the counter of the run that began it, and every call is
/// a single name relative to the held folder, so no change to the names above the folder can
/// lead it elsewhere. A run cut off anywhere leaves the file under one of these names; a run
/// that meets an in-progress file whose content proves it the family's, and that it can hold,
/// decrypts it again and checks what has the output's name. Every refusal or failure is logged
/// in one place, with "Not cleaned" after it, and puts the file back under its own name unless
/// its decrypted file has taken its name.
class Cleaning {
public:
    /// counter: the run's backup counter, which the names of a new cleaning carry.
    Cleaning(IFileSystem& files, ICleaningSteps& steps, int32_t counter)
        : files(files), steps(steps), counter(counter) {}

    /// Cleans the family's file, or takes up the cleaning of the in-progress file (resumed), and
    /// then each layer of a file the family encrypted more than once.
    CleaningResult Run(const FolderEntry& file, bool resumed);
    /// The paths of the decrypted files the runs so far have placed.
    const std::vector<std::wstring>& Placed() const { return placed; }

    /// A name note that no cleaning takes up: named when its content does not prove it one of
    /// the tool's; where mayRemove, removed when its cleaning has ended (its file has no
    /// in-progress name and none can be given meanwhile).
    void TidyNote(const FolderEntry& note, bool mayRemove);

private:
    class PutBack;
    struct Names;

    bool Start(const Names& names, PutBack& putBack, std::wstring& output, Failure& failure);
    bool Resume(const Names& names, PutBack& putBack, std::wstring& output, Failure& failure);
    /// From a held in-progress file to its backup name.
    bool Finish(const Names& names, bool resumed, PutBack& putBack, std::wstring& output,
                Failure& failure);
    /// Removes the partial output that a cut-off run of this cleaning left, when its bytes are
    /// the decrypted data's; false, with the failure, when a file of that name must stay.
    bool ClearStalePartial(const Names& names, IHeldFile& held, Failure& failure);
    /// Removes an empty partial output beside an in-progress file that no key opens; the line
    /// that says what became of it, empty when there is none.
    std::wstring SettleStrandedPartial(const Names& names);
    /// Gives the partial output, before it takes its name, what the encrypted file carries
    /// beside its data: its streams, times, attributes, and owner and access list.
    bool CopyWhatItCarries(const Names& names, IHeldFile& held, IOutputFile& partial,
                           const std::wstring& output, Failure& failure);
    /// Whether a file that has the output's name may give way to the decrypted one.
    bool MayReplaceOutput(const Names& names, const std::wstring& output, Failure& failure);
    /// Gives the partial output the output's name, keeping a file that had it.
    bool PlaceOutput(const Names& names, const std::wstring& output, bool replace,
                     PutBack& putBack, Failure& failure);

    IFileSystem& files;
    ICleaningSteps& steps;
    int32_t counter;
    std::vector<std::wstring> placed;
};
