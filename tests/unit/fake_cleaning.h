#pragma once

#include <cstdint>
#include <string>

#include "backup/cleaning.h"
#include "fake_file_system.h"

/// The family as the cleaning's tests play it on the fake volume: an encrypted file holds
/// FakeMark and then its plain content, and its extension is one of the family's or it is told
/// by that mark alone, as the footer's magic tells one.
extern const std::string FakeMark;
/// Where no key of the run opens a file of the family, it holds this mark instead.
extern const std::string FakeLockedMark;

class FakeSteps : public ICleaningSteps {
public:
    FakeSteps(FakeFileSystem& files, bool forced) : files(files), forced(forced) {}

    bool IsFamilyFile(const IFolder& folder, const std::wstring& name) override;
    Proof ProofOf(const std::wstring& sourceName, IHeldFile& content) override;
    /// Writes the plain content in two halves, then sets its size; never flushes.
    bool Decrypt(const std::wstring& source, IHeldFile& input, IWrittenFile& output,
                 const std::wstring& outputPath, Failure& failure) override;
    bool MayReplace(const std::wstring& path) override;
    /// Whether the entry holds either mark, as a run's scan finds before it takes a file up.
    bool IsMarked(const IFolder& folder, const std::wstring& name) const;

    /// A file takes the source's name while a decryption fails, which keeps the file from going
    /// back.
    bool recreateSource = false;

private:
    /// Whether the file at a full path holds the mark.
    bool HoldsMark(const std::wstring& path) const;
    Proof ProofAt(const std::wstring& path) const;

    FakeFileSystem& files;
    bool forced;
};

/// One cleaning run over the fake volume: every entry the walk meets, folder by folder in the
/// order it meets them, handled as the driver and the cleaner's scan hand them on.
void Walk(FakeFileSystem& files, bool forced, int32_t counter, bool recreateSource = false);

/// UTF-8 bytes of a path's ASCII text, for the fake's content.
std::string Bytes(const std::wstring& path);
