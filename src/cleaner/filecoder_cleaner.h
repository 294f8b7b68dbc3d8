#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "backup/cleaning.h"
#include "cleaner/custom_argument_parser.h"
#include "cleaner/format.h"
#include "cleaner/usermode_file_cleaner.h"

class FileStreamMod;

class FilecoderCleaner : public IUsermodeFileCleaner,
                         public ICustomArgumentParser,
                         private ICleaningSteps {
public:
    FilecoderCleaner();

    [[nodiscard]] bool Init() override;
    CleanerResult Scan(const FolderEntry& file) override;
    CleanerResult Clean(const FolderEntry& file, ProgressIndicator& progress) override;
    std::wstring GetName() const override;
    void Tidy(const FolderEntry& file, bool mayChange) override;
    bool ChangedByThisRun(const FolderEntry& file) override;
    std::wstring InterruptedFileOf(const FolderEntry& file) override;
    std::vector<std::wstring> InterruptedCleaningsOf(const std::wstring& path) override;

    bool CheckArguments(std::vector<std::wstring>& paths) override;
    void PrintUsage() override;

    /// Imports every key record of the key database into keyTable.
    [[nodiscard]] bool LoadKeys();
    uint32_t KeyCount() const { return keyCount; }

private:
    /// The variant of a file of the family, from its name or the footer magic at the end of the
    /// open content; None when it is none of the family's.
    Variant VariantOf(const std::wstring& fileName, HANDLE content) const;
    /// The same for the entry name of a folder, read without holding it.
    Variant VariantOf(const std::wstring& fileName, const IFolder& folder,
                      const std::wstring& name) const;
    bool IsFamilyFile(const IFolder& folder, const std::wstring& name) override;
    Proof ProofOf(const std::wstring& sourceName, IHeldFile& content) override;
    /// What the open content, at contentPath, proves itself of the family's file named
    /// sourceName.
    Proof ProofOfContent(const std::wstring& sourceName, UniqueFile content,
                         const std::wstring& contentPath);
    /// A user's file that a cleaning replaced and kept: the only copy of what that file held,
    /// named whenever a walk meets it.
    bool IsKeptFile(const FolderEntry& file) const;
    /// A partial output that no cleaning is at work on.
    bool IsStrayPartial(const FolderEntry& file) const;
    /// The line a forced run writes for a file it leaves as it is.
    void LogLeftAlone(const FolderEntry& file);
    /// A backup whose content is the family's.
    bool IsProvenBackup(const FolderEntry& file);
    /// Reads the encrypted file being cleaned and writes the decrypted data into output.
    bool Decrypt(const std::wstring& source, IHeldFile& input, IWrittenFile& output,
                 const std::wstring& outputPath, Failure& failure) override;
    bool MayReplace(const std::wstring& path) override;
    /// Footer, key and data of one file, from the opened backup into the opened output.
    [[nodiscard]] bool DecryptStreams(FileStreamMod& input, IWrittenFile& output,
                                      const std::wstring& outputPath, ProgressIndicator& progress,
                                      Failure& failure);
    /// Reads and checks the footer for the current variant; on failure, says why.
    [[nodiscard]] bool ReadFooter(FileStreamMod& input, uint64_t fileSize, Footer& footer,
                                  Failure& failure);
    /// Finds the key that opens both encrypted blocks and decrypts them in place.
    [[nodiscard]] bool RecoverFileKey(Footer& footer);

    std::unique_ptr<uint8_t[]> ioBuffer;
    /// The row of the file being cleaned, while Clean runs.
    ProgressIndicator* progress = nullptr;
    std::unique_ptr<HCRYPTKEY[]> keyTable;
    /// What Scan recognised, as ReadFooter then resolved it, for the file being cleaned.
    Variant variant = Variant::None;
    uint32_t keyCount = 0;
    HCRYPTKEY lastKey = 0;
    /// The decrypted files this run has placed, by path.
    std::set<std::wstring> placed;
};
