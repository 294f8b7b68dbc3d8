#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "backup/cleaning_record.h"
#include "cleaner/custom_argument_parser.h"
#include "cleaner/format.h"
#include "cleaner/usermode_file_cleaner.h"

class FileStreamMod;

class FilecoderCleaner : public IUsermodeFileCleaner, public ICustomArgumentParser {
public:
    FilecoderCleaner();

    [[nodiscard]] bool Init() override;
    CleanerResult Scan(const std::wstring& path) override;
    CleanerResult Clean(const std::wstring& path, ProgressIndicator& progress) override;
    std::wstring GetName() const override;
    std::wstring InterruptedFileOf(const std::wstring& path) override;
    std::wstring InterruptedRecordOf(const std::wstring& path) override;
    uint64_t InfectedSizeOf(const std::wstring& path) override;

    bool CheckArguments(std::vector<std::wstring>& paths) override;
    void PrintUsage() override;

    /// Imports every key record of the key database into keyTable.
    [[nodiscard]] bool LoadKeys();
    uint32_t KeyCount() const { return keyCount; }

private:
    /// The variant of a file of the family, from its name or the footer magic at the end of the
    /// content at contentPath; -1 when it is none of the family's.
    Variant VariantOf(const std::wstring& fileName, const std::wstring& contentPath) const;
    /// One encrypted file, or one layer of a file encrypted more than once: backed up,
    /// decrypted and given the output's name, which output returns. A cleaning that an earlier
    /// run left unfinished is taken up where it stopped. False, with its lines, leaves the file
    /// as it was.
    [[nodiscard]] bool CleanFile(const std::wstring& path, ProgressIndicator& progress,
                                 std::wstring& output);
    /// Takes up the record an interrupted run left for the file, or writes a new one and
    /// reserves the partial output's name; false, with its line, when the cleaning cannot start.
    [[nodiscard]] bool OpenRecord(CleaningRecord& record, bool& resumed);
    /// Reads the backup and writes the decrypted data under the partial name; replace tells
    /// that a file has the output's name and may be replaced.
    [[nodiscard]] bool DecryptFile(const CleaningRecord& record, ProgressIndicator& progress,
                                   std::wstring& outputPath, bool& replace);
    /// Footer, key and data of one file, from the opened backup into the opened output.
    [[nodiscard]] bool DecryptStreams(FileStreamMod& input, FileStreamMod& output,
                                      const std::wstring& outputPath, ProgressIndicator& progress,
                                      std::wstring& message);
    /// Reads and checks the footer for the current variant; on failure message may name why.
    [[nodiscard]] bool ReadFooter(FileStreamMod& input, uint64_t fileSize, Footer& footer,
                                  std::wstring& message);
    /// Finds the key that opens both encrypted blocks and decrypts them in place.
    [[nodiscard]] bool RecoverFileKey(Footer& footer);

    std::unique_ptr<uint8_t[]> ioBuffer;
    std::unique_ptr<HCRYPTKEY[]> keyTable;
    /// What Scan recognised, as ReadFooter then resolved it, for the file being cleaned.
    Variant variant = Variant::None;
    uint32_t keyCount = 0;
    HCRYPTKEY lastKey = 0;
};
