#include <windows.h>

#include <algorithm>

#include "backup/backup.h"
#include "cleaner/file_cipher.h"
#include "cleaner/filecoder_cleaner.h"
#include "logging/console_handler.h"
#include "logging/lines.h"
#include "logging/log_file.h"
#include "streams/file_stream_mod.h"
#include "streams/path_helpers.h"

namespace {

constexpr uint32_t ChunkSize = 10 * 1024 * 1024;

/// The encrypted file's path without the last extension of its file name; empty when the
/// name has none (cutting at a dot of a directory would write outside the file's directory)
/// or is nothing but an extension (the output would be the directory itself).
std::wstring OutputPathOf(const std::wstring& path) {
    const std::wstring name = FileNameOf(path);
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot == 0) {
        return std::wstring();
    }
    return path.substr(0, path.size() - (name.size() - dot));
}

/// Where the decrypted data is written until it is complete, so that a failure never
/// destroys a file that already holds the output name.
std::wstring PartialPathOf(const std::wstring& outputPath) {
    return outputPath + L".partial_decryption";
}

/// Whole percentage of the work done, reported only when it changes.
class ProgressReporter {
public:
    ProgressReporter(ProgressIndicator& progress, uint64_t total)
        : progress(progress), total(total) {}
    void Report(uint64_t processed) {
        // An empty file has nothing to divide by; its progress stays where it is.
        if (total == 0) {
            return;
        }
        const int32_t percent =
            static_cast<int32_t>(std::min<uint64_t>(processed, total) * 100 / total);
        if (percent != last) {
            progress.SetProgress(percent);
            last = percent;
        }
    }

private:
    ProgressIndicator& progress;
    uint64_t total;
    int32_t last = 0;
};

} // namespace

bool FilecoderCleaner::DecryptFile(const std::wstring& path, const std::wstring& backupPath,
                                   ProgressIndicator& progress) {
    TheLogFile << L"[" << TheDateTime << L"] - " << LogHorizontalLine(80) << L"\r\n";
    LogLine(prefix::Info, L"Decrypting [" + path + L"]");
    const std::wstring outputPath = OutputPathOf(path);
    if (outputPath.empty()) {
        LogLine(prefix::Info, L"Can't get output filename.");
        return false;
    }
    if (!MayOverwrite(outputPath)) {
        return false;
    }
    const std::wstring partialPath = PartialPathOf(outputPath);
    const std::wstring systemPartialPath = ToSystemPath(partialPath);
    // Creating the partial file replaces what has its name, and a failure deletes it:
    // a file of the user's there must stay.
    if (GetFileAttributesW(systemPartialPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
        LogLine(prefix::Info, L"Can't create file [" + partialPath + L"], the name is taken.");
        return false;
    }
    bool decrypted;
    {
        FileStreamMod input(backupPath, OpenMode::ReadOnly);
        if (input.GetError() != StreamError::None) {
            return false;
        }
        FileStreamMod output(partialPath, OpenMode::Create);
        if (output.GetError() != StreamError::None) {
            return false;
        }
        const wchar_t* message = nullptr;
        decrypted = DecryptStreams(input, output, progress, message);
        if (!decrypted && message) {
            LogLine(prefix::Info, message);
        }
    }
    const std::wstring systemOutputPath = ToSystemPath(outputPath);
    if (decrypted) {
        // A read-only file the user agreed to replace must not block the move; made writable
        // only now, so that a failed decryption leaves it exactly as it was.
        SetFileAttributesW(systemOutputPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!MoveFileExW(systemPartialPath.c_str(), systemOutputPath.c_str(),
                         MOVEFILE_REPLACE_EXISTING)) {
            LogLine(prefix::Info,
                    L"Can't move decrypted file to [" + outputPath + L"], " + FormatLastError());
            decrypted = false;
        }
    }
    if (!decrypted) {
        DeleteFileW(systemPartialPath.c_str());
        return false;
    }
    const DWORD attributes = GetFileAttributesW(ToSystemPath(backupPath).c_str());
    SetFileAttributesW(systemOutputPath.c_str(), attributes);
    return true;
}

bool FilecoderCleaner::DecryptStreams(FileStreamMod& input, FileStreamMod& output,
                                      ProgressIndicator& progress, const wchar_t*& message) {
    Footer footer;
    if (!ReadFooter(input, input.GetSize(), footer, message)) {
        return false;
    }
    if (!RecoverFileKey(footer)) {
        message = L"Loaded keys don't match.";
        return false;
    }
    FileCipher cipher;
    if (!cipher.SetUp(variant, footer, message) || !input.SetPosition(0)) {
        return false;
    }
    // Variant 5 enciphers only a leading part; the rest up to the footer is copied as it is.
    bool copying = variant == 5 && footer.dataLength == 0;
    uint64_t remaining = copying ? footer.plainSize : footer.dataLength;
    // Data that fills whole blocks carries no padding, whatever its last bytes look like.
    const bool padded = variant < 4 && footer.plainSize % 16 != 0;
    ProgressReporter reporter(progress, variant == 5 ? footer.plainSize : footer.dataLength);
    uint64_t processed = 0;
    while (remaining != 0) {
        reporter.Report(processed);
        const uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(remaining, ChunkSize));
        if (input.Read(ioBuffer.get(), chunk) != chunk) {
            return false;
        }
        remaining -= chunk;
        uint32_t length = chunk;
        if (!copying && !cipher.Decrypt(ioBuffer.get(), length, padded && remaining == 0)) {
            return false;
        }
        if (output.Write(ioBuffer.get(), length) != length) {
            return false;
        }
        processed += chunk;
        if (remaining == 0 && variant == 5 && !copying) {
            copying = true;
            remaining = footer.plainSize - processed;
        }
    }
    progress.SetProgress(100);
    // Cuts AES padding and variant 4's surplus, or extends short data; a file of the wrong
    // size must never pass for a cleaned one.
    return output.SetSize(footer.plainSize);
}
