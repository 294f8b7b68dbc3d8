#include "cleaner/filecoder_cleaner.h"

#include <new>

#include "backup/backup.h"
#include "logging/console_handler.h"
#include "logging/lines.h"

namespace {

constexpr size_t IoBufferSize = 10 * 1024 * 1024;

} // namespace

FilecoderCleaner::FilecoderCleaner() = default;

bool FilecoderCleaner::Init() {
    PrintAndLogLine(L"Loading keys, please wait...", color::Emphasis, prefix::Info);
    if (!LoadKeys()) {
        LogLine(prefix::Error, L"Can't read keys from resources.");
        return false;
    }
    PrintAndLogLine(SupportedExtensions(), color::Emphasis, prefix::Info);
    if (!InitBackup()) {
        LogLine(prefix::Error, L"Can't init backup.");
        return false;
    }
    ioBuffer.reset();
    ioBuffer.reset(new (std::nothrow) uint8_t[IoBufferSize]);
    if (!ioBuffer) {
        LogLine(prefix::Error, L"Not enough memory for the decryption buffer.");
        return false;
    }
    return true;
}

std::wstring FilecoderCleaner::GetName() const {
    return L"Win32/Filecoder.Ostrel";
}

bool FilecoderCleaner::CheckArguments(std::vector<std::wstring>& paths) {
    return !paths.empty();
}

void FilecoderCleaner::PrintUsage() {}
