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

/// Reads the last min(size, LongestFooter) bytes of an open file; false when it cannot.
bool ReadTail(HANDLE file, uint8_t (&tail)[format::LongestFooter], uint32_t& length,
              uint64_t& fileSize) {
    LARGE_INTEGER size;
    if (!sys::GetFileSizeEx(file, &size)) {
        size.QuadPart = 0;
    }
    fileSize = static_cast<uint64_t>(size.QuadPart);
    length = static_cast<uint32_t>(std::min<uint64_t>(fileSize, sizeof tail));
    uint64_t reached = 0;
    if (!MoveFilePointer(file, fileSize - length, FILE_BEGIN, reached)) {
        return false;
    }
    DWORD got = 0;
    return ReadFile(file, tail, length, &got, nullptr) && got == length;
}

bool IsFile(const FolderEntry& file) {
    const DWORD attributes = RealFileSystem().Attributes(*file.folder, file.name);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace

Variant FilecoderCleaner::VariantOf(const std::wstring& fileName, HANDLE content) const {
    const Variant named = VariantOfName(fileName);
    if (named != Variant::None) {
        return named;
    }
    uint8_t tail[format::LongestFooter];
    uint32_t length = 0;
    uint64_t size = 0;
    if (content != INVALID_HANDLE_VALUE && ReadTail(content, tail, length, size)) {
        return VariantOfContent(tail, length, size);
    }
    return Variant::None;
}

Variant FilecoderCleaner::VariantOf(const std::wstring& fileName, const IFolder& folder,
                                    const std::wstring& name) const {
    const Variant named = VariantOfName(fileName);
    if (named != Variant::None) {
        return named;
    }
    return VariantOf(fileName, OpenEntryToRead(folder, name).get());
}

CleanerResult FilecoderCleaner::Scan(const FolderEntry& file) {
    variant = Variant::None;
    const std::wstring& name = file.name;
    // A name the walk met may be gone since: another file's cleaning, done in between, can
    // have moved it aside.
    if (IsOwnFileName(name) && !IsFile(file)) {
        return CleanerResult::NotInfected;
    }
    if (IsOwnNameOfKind(name, OwnKind::Cleaning)) {
        // A name alone makes no file the tool's: its content proves it, or it stays as it is.
        // One that no key of the run opens is taken up all the same, for its verdict.
        const std::wstring source = InterruptedSourceOf(RealFileSystem(), *file.folder, name);
        return !source.empty() && ProofOfContent(source, OpenEntryToRead(*file.folder, name),
                                                 file.Path()) != Proof::Nothing
                   ? CleanerResult::Interrupted
                   : CleanerResult::Leftover;
    }
    // The tool's own files hold encrypted content, or are about to: never new victims.
    if (IsOwnFileName(name)) {
        return IsOwnNameOfKind(name, OwnKind::Name) || IsStrayPartial(file) || IsKeptFile(file)
                   ? CleanerResult::Leftover
                   : CleanerResult::NotInfected;
    }
    // A file told by its content has just been read.
    const Variant named = VariantOfName(name);
    variant = named != Variant::None ? (IsFile(file) ? named : Variant::None)
                                     : VariantOf(name, *file.folder, name);
    return variant == Variant::None ? CleanerResult::NotInfected : CleanerResult::Ok;
}

bool FilecoderCleaner::IsFamilyFile(const IFolder& folder, const std::wstring& name) {
    return VariantOf(name, folder, name) != Variant::None;
}

Proof FilecoderCleaner::ProofOf(const std::wstring& sourceName, IHeldFile& content) {
    return ProofOfContent(sourceName, content.OpenData(), content.Path());
}

Proof FilecoderCleaner::ProofOfContent(const std::wstring& sourceName, UniqueFile content,
                                       const std::wstring& contentPath) {
    variant = VariantOf(sourceName, content.get());
    if (variant == Variant::None) {
        return Proof::Nothing;
    }
    FileStreamMod input(std::move(content), contentPath, OpenMode::ReadOnly);
    Footer footer;
    Failure notProven;
    if (input.GetError() != StreamError::None ||
        !ReadFooter(input, input.GetSize(), footer, notProven)) {
        return Proof::Nothing;
    }
    return RecoverFileKey(footer) ? Proof::Family : Proof::NoKey;
}

std::wstring FilecoderCleaner::InterruptedFileOf(const FolderEntry& file) {
    const std::wstring source = InterruptedSourceOf(RealFileSystem(), *file.folder, file.name);
    return source.empty() ? source : file.folder->PathOf(source);
}

std::vector<std::wstring> FilecoderCleaner::InterruptedCleaningsOf(const std::wstring& path) {
    // The in-progress names of a file given by name, or of the files a pattern gives: the
    // file's whole name and its marks. A name cut short to fit is met by a walk of its folder.
    const std::wstring wildcard = path + L".cleaning_*by_ovix";
    // The names found join the directory part as given with a backslash, as the walk's do.
    const size_t separator = path.find_last_of(L"\\/");
    const std::wstring directory =
        separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data;
    UniqueFind search(FindFirstFileW(ToSystemPath(wildcard).c_str(), &data));
    if (!search) {
        return found;
    }
    // The search gives names only; each is proven in the folder, opened once.
    const std::shared_ptr<HeldFolder> folder = HeldFolder::OpenPath(directory);
    if (!folder) {
        return found;
    }
    do {
        const FolderEntry candidate{folder, data.cFileName};
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            !InterruptedFileOf(candidate).empty()) {
            found.push_back(candidate.Path());
        }
    } while (FindNextFileW(search.get(), &data));
    return found;
}
