#include <windows.h>

#include <algorithm>

#include "backup/backup.h"
#include "backup/cleaning.h"
#include "cleaner/filecoder_cleaner.h"
#include "logging/failure.h"
#include "logging/file_stream_mod.h"
#include "logging/lines.h"
#include "platform/unique_handle.h"
#include "streams/file_pointer.h"
#include "streams/path_helpers.h"

namespace {

/// Reads the last min(size, LongestFooter) bytes of a file opened for shared reading; false
/// when it cannot.
bool ReadTail(const std::wstring& path, uint8_t (&tail)[format::LongestFooter], uint32_t& length,
              uint64_t& fileSize) {
    // Shares deletion too: a file another run holds while it cleans it is still read.
    UniqueFile file(sys::CreateFileW(path.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                     nullptr));
    if (!file) {
        return false;
    }
    LARGE_INTEGER size;
    if (!sys::GetFileSizeEx(file.get(), &size)) {
        size.QuadPart = 0;
    }
    fileSize = static_cast<uint64_t>(size.QuadPart);
    length = static_cast<uint32_t>(std::min<uint64_t>(fileSize, sizeof tail));
    uint64_t reached = 0;
    if (!MoveFilePointer(file.get(), fileSize - length, FILE_BEGIN, reached)) {
        return false;
    }
    DWORD got = 0;
    return ReadFile(file.get(), tail, length, &got, nullptr) && got == length;
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(ToSystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace

Variant FilecoderCleaner::VariantOf(const std::wstring& fileName,
                                    const std::wstring& contentPath) const {
    const Variant named = VariantOfName(fileName);
    if (named != Variant::None) {
        return named;
    }
    uint8_t tail[format::LongestFooter];
    uint32_t length = 0;
    uint64_t size = 0;
    // The "\\?\" form reaches files at any depth.
    if (ReadTail(ToSystemPath(contentPath), tail, length, size)) {
        return VariantOfContent(tail, length, size);
    }
    return Variant::None;
}

CleanerResult FilecoderCleaner::Scan(const std::wstring& path) {
    variant = Variant::None;
    const std::wstring name = FileNameOf(path);
    // A name the walk met may be gone since: another file's cleaning, done in between, can
    // have moved it aside.
    if (IsOwnFileName(name) && !IsFile(path)) {
        return CleanerResult::NotInfected;
    }
    if (IsOwnNameOfKind(path, OwnKind::Cleaning)) {
        // A name alone makes no file the tool's: its content proves it, or it stays as it is.
        const std::wstring interrupted = InterruptedFileOf(path);
        return !interrupted.empty() && ProvesFamily(FileNameOf(interrupted), path)
                   ? CleanerResult::Interrupted
                   : CleanerResult::Leftover;
    }
    // The tool's own files hold encrypted content, or are about to: never new victims.
    if (IsOwnFileName(name)) {
        return IsOwnNameOfKind(path, OwnKind::Name) || IsStrayPartial(path) || IsKeptFile(path)
                   ? CleanerResult::Leftover
                   : CleanerResult::NotInfected;
    }
    // A file told by its content has just been read.
    const Variant named = VariantOfName(name);
    variant =
        named != Variant::None ? (IsFile(path) ? named : Variant::None) : VariantOf(name, path);
    return variant == Variant::None ? CleanerResult::NotInfected : CleanerResult::Ok;
}

bool FilecoderCleaner::IsFamilyFile(const std::wstring& name, const std::wstring& contentPath) {
    return VariantOf(name, contentPath) != Variant::None;
}

bool FilecoderCleaner::ProvesFamily(const std::wstring& name, const std::wstring& contentPath) {
    variant = VariantOf(name, contentPath);
    if (variant == Variant::None) {
        return false;
    }
    FileStreamMod input(contentPath, OpenMode::ReadOnly);
    Footer footer;
    Failure notProven;
    return input.GetError() == StreamError::None &&
           ReadFooter(input, input.GetSize(), footer, notProven) && RecoverFileKey(footer);
}

std::wstring FilecoderCleaner::InterruptedFileOf(const std::wstring& path) {
    return InterruptedSourceOf(RealFileSystem(), path);
}

uint64_t FilecoderCleaner::InfectedSizeOf(const std::wstring& path) {
    uint64_t size = 0;
    return RealFileSystem().Size(path, size) ? size : 0;
}

std::vector<std::wstring> FilecoderCleaner::InterruptedCleaningsOf(const std::wstring& path) {
    // The in-progress names of a file given by name, or of the files a pattern gives: the
    // file's whole name and its marks. A name cut short to fit is met by a walk of its folder.
    const std::wstring wildcard = path + L".cleaning_*by_ovix";
    // The names found join the directory part as given with a backslash, as the walk's do.
    const size_t separator = path.find_last_of(L"\\/");
    const std::wstring directory =
        separator == std::wstring::npos ? std::wstring() : path.substr(0, separator) + L"\\";
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data;
    UniqueFind search(FindFirstFileW(ToSystemPath(wildcard).c_str(), &data));
    if (!search) {
        return found;
    }
    do {
        const std::wstring candidate = directory + data.cFileName;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            !InterruptedFileOf(candidate).empty()) {
            found.push_back(candidate);
        }
    } while (FindNextFileW(search.get(), &data));
    return found;
}
