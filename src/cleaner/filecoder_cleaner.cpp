#include "cleaner/filecoder_cleaner.h"

// Stand-in until recognition and decryption exist: nothing is the family's.
FilecoderCleaner::FilecoderCleaner() = default;

bool FilecoderCleaner::Init() {
    return true;
}

CleanerResult FilecoderCleaner::Scan(const std::wstring&) {
    return CleanerResult::NotInfected;
}

CleanerResult FilecoderCleaner::Clean(const std::wstring&, ProgressIndicator&) {
    return CleanerResult::Failed;
}

std::wstring FilecoderCleaner::GetName() const {
    return L"Win32/Filecoder.Ostrel";
}

bool FilecoderCleaner::CheckArguments(std::vector<std::wstring>& paths) {
    return !paths.empty();
}

void FilecoderCleaner::PrintUsage() {}
