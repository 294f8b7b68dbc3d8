#include <windows.h>

#include <algorithm>

#include "backup/backup.h"
#include "cleaner/file_cipher.h"
#include "cleaner/filecoder_cleaner.h"
#include "logging/console_handler.h"
#include "logging/failure.h"
#include "logging/file_stream_mod.h"
#include "logging/lines.h"
#include "streams/path_helpers.h"
#include "streams/volumes.h"

namespace {

constexpr uint32_t ChunkSize = 10 * 1024 * 1024;

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

/// The data from the start of the input through the cipher into the output, chunk by chunk; a
/// variant that enciphers a leading part only has the rest up to the footer copied as it is.
bool StreamChunks(FileStreamMod& input, IWrittenFile& output, FileCipher& cipher,
                  const VariantFormat& layout, const Footer& footer, uint8_t* buffer,
                  ProgressIndicator& progress, Failure& failure) {
    const bool whole = EnciphersWholeData(layout);
    bool copying = !whole && footer.dataLength == 0;
    uint64_t remaining = copying ? footer.plainSize : footer.dataLength;
    // Data that fills whole blocks carries no padding, whatever its last bytes look like.
    const bool padded = HasPadding(layout, footer.plainSize);
    ProgressReporter reporter(progress, whole ? footer.dataLength : footer.plainSize);
    uint64_t processed = 0;
    while (remaining != 0) {
        reporter.Report(processed);
        const uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(remaining, ChunkSize));
        // A short read has been logged by its stream.
        if (input.Read(buffer, chunk) != chunk) {
            return false;
        }
        remaining -= chunk;
        uint32_t length = chunk;
        if (!copying && !cipher.Decrypt(buffer, length, padded && remaining == 0)) {
            failure =
                Failure(L"Can't decrypt data of file [" + input.Path() + L"]", GetLastError());
            return false;
        }
        if (!output.Write(buffer, length)) {
            failure = Failure::WithLastError(L"Can't write data to file [" + output.Path() + L"]");
            return false;
        }
        processed += chunk;
        if (remaining == 0 && !whole && !copying) {
            copying = true;
            remaining = footer.plainSize - processed;
        }
    }
    return true;
}

} // namespace

bool FilecoderCleaner::Decrypt(const std::wstring& source, IHeldFile& input, IWrittenFile& output,
                               const std::wstring& outputPath, Failure& failure) {
    UniqueFile data = input.OpenData();
    variant = VariantOf(FileNameOf(source), data.get());
    // Read through the hold: the stream logs its own failure to open.
    FileStreamMod stream(std::move(data), input.Path(), OpenMode::ReadOnly);
    return stream.GetError() == StreamError::None &&
           DecryptStreams(stream, output, outputPath, *progress, failure);
}

bool FilecoderCleaner::DecryptStreams(FileStreamMod& input, IWrittenFile& output,
                                      const std::wstring& outputPath, ProgressIndicator& progress,
                                      Failure& failure) {
    Footer footer;
    if (!ReadFooter(input, input.GetSize(), footer, failure)) {
        return false;
    }
    const VariantFormat& layout = *FormatOf(variant);
    // Refused whole rather than failing part-way: the output grows to the data written or to
    // its final size, whichever is larger.
    const uint64_t needed = EnciphersWholeData(layout)
                                ? std::max(footer.plainSize, footer.dataLength)
                                : footer.plainSize;
    uint64_t freeBytes = 0;
    if (!FreeBytesAt(outputPath, freeBytes)) {
        // Not a failure: the decryption goes on without the check.
        const std::wstring error = FormatLastError();
        LogLine(prefix::Info, L"Can't read the free space for [" + outputPath + L"], " + error);
    } else if (needed > freeBytes) {
        failure =
            Failure(L"Not enough free space for [" + outputPath + L"]: " + std::to_wstring(needed) +
                    L" bytes needed, " + std::to_wstring(freeBytes) + L" bytes free.");
        return false;
    }
    if (!RecoverFileKey(footer)) {
        failure = Failure(L"Loaded keys don't match.");
        return false;
    }
    FileCipher cipher;
    if (!cipher.SetUp(layout, footer, failure) || !input.SetPosition(0) ||
        !StreamChunks(input, output, cipher, layout, footer, ioBuffer.get(), progress, failure)) {
        return false;
    }
    progress.SetProgress(100);
    // Cuts padding and surplus data, or extends short data; a file of the wrong size must never
    // pass for a cleaned one.
    if (!output.SetSize(footer.plainSize)) {
        failure = Failure::WithLastError(L"Can't set size of file [" + output.Path() + L"]");
        return false;
    }
    return true;
}
