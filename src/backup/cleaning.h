#pragma once

#include <cstdint>
#include <string>

#include "streams/file_system.h"

/// What a file's cleaning needs of the cleaner: the family's knowledge, the decryption and the
/// user's word.
class ICleaningSteps {
public:
    /// Whether the file named name, whose content is at contentPath, is one of the family's, by
    /// its name or its footer.
    virtual bool IsFamilyFile(const std::wstring& name, const std::wstring& contentPath) = 0;
    /// Decrypts the encrypted content of the file named source, now at inputPath, into a new
    /// file at partialPath and makes it durable; outputPath is where it will go. False, with its
    /// line.
    virtual bool Decrypt(const std::wstring& source, const std::wstring& inputPath,
                         const std::wstring& partialPath, const std::wstring& outputPath) = 0;
    /// Whether the file at path may be replaced: the user's word, or the mode's.
    virtual bool MayReplace(const std::wstring& path) = 0;

protected:
    ~ICleaningSteps() = default;
};

enum class CleaningResult {
    Cleaned,
    Failed,
    /// Another run holds the file: this run leaves it alone.
    Busy,
};

/// The source path that an in-progress file stands for; empty when path is no such file, or its
/// name had to be shortened and no valid name note says whose it is.
std::wstring InterruptedSourceOf(IFileSystem& files, const std::wstring& path);

/// One file's cleaning, as a state machine whose state is the encrypted file's own name:
///   source          untouched;
///   in progress     renamed to its .cleaning_ name and held open by the run that cleans it,
///                   decrypted into a .partial_ file that is made durable, then placed under the
///                   output's name without replacing anything;
///   backup          renamed to its .backup_ name: the cleaning is over.
/// A run cut off anywhere leaves the file under one of these names; a run that meets an
/// in-progress file it can hold decrypts it again and checks what has the output's name.
class Cleaning {
public:
    /// counter: the run's backup counter, which the names of a new cleaning carry.
    Cleaning(IFileSystem& files, ICleaningSteps& steps, int32_t counter)
        : files(files), steps(steps), counter(counter) {}

    /// Cleans the family's file at path, or takes up the cleaning of the in-progress file at
    /// path (resumed), and then each layer of a file the family encrypted more than once.
    CleaningResult Run(const std::wstring& path, bool resumed);
    /// Cleans the family's file at source; output gets the decrypted file's path.
    CleaningResult Start(const std::wstring& source, std::wstring& output);
    /// Takes up the cleaning of the in-progress file at path, which a run left unfinished.
    CleaningResult Resume(const std::wstring& path, std::wstring& output);

private:
    /// From a held in-progress file to its end.
    CleaningResult Finish(const std::wstring& source, const std::wstring& inProgress,
                          bool resumed, std::unique_ptr<IHeldFile> held, std::wstring& output);
    /// Whether a file that has the output's name may give way to the decrypted one; false, with
    /// its line, when it must stay.
    bool MayReplaceOutput(const std::wstring& output);
    /// Gives the partial output the output's name, keeping a file that had it.
    bool PlaceOutput(const std::wstring& partial, const std::wstring& output, bool replace);
    /// Puts the file back under its source name; where that fails, the in-progress name stays,
    /// for the next run to take up.
    void Restore(const std::wstring& source, const std::wstring& inProgress,
                 const std::wstring& partial, const std::wstring& note,
                 std::unique_ptr<IHeldFile> held);
    std::unique_ptr<IHeldFile> Hold(const std::wstring& source, const std::wstring& inProgress,
                                    bool& busy);

    IFileSystem& files;
    ICleaningSteps& steps;
    int32_t counter;
};
