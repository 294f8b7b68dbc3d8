#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cleaner/footer.h"
#include "cleaner/usermode_file_cleaner.h"
#include "driver/custom_argument_parser.h"

class FilecoderCleaner : public IUsermodeFileCleaner, public ICustomArgumentParser {
public:
    FilecoderCleaner();

    [[nodiscard]] bool Init() override;
    CleanerResult Scan(const std::wstring& path) override;
    CleanerResult Clean(const std::wstring& path, ProgressIndicator& progress) override;
    std::wstring GetName() const override;

    bool CheckArguments(std::vector<std::wstring>& paths) override;
    void PrintUsage() override;

    /// Imports every key record of the key database into keyTable.
    [[nodiscard]] bool LoadKeys();
    uint32_t KeyCount() const { return keyCount; }

private:
    /// Reads the backup and writes the decrypted file beside it; false leaves no output.
    [[nodiscard]] bool DecryptFile(const std::wstring& path, const std::wstring& backupPath,
                                   ProgressIndicator& progress);
    /// Footer, key and data of one file, from the opened backup into the opened output.
    [[nodiscard]] bool DecryptStreams(FileStreamMod& input, FileStreamMod& output,
                                      ProgressIndicator& progress, const wchar_t*& message);
    /// Reads and checks the footer for the current variant; on failure message may name why.
    [[nodiscard]] bool ReadFooter(FileStreamMod& input, uint64_t fileSize, Footer& footer,
                                  const wchar_t*& message);
    /// Finds the key that opens both encrypted blocks and decrypts them in place.
    [[nodiscard]] bool RecoverFileKey(Footer& footer);

    std::unique_ptr<uint8_t[]> ioBuffer;
    std::unique_ptr<HCRYPTKEY[]> keyTable;
    int32_t variant = -1;
    uint32_t keyCount = 0;
    std::wstring extensions[3];
    HCRYPTKEY lastKey = 0;
};
