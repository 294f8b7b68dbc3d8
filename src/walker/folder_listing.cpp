#include "walker/folder_listing.h"

#include <winternl.h>

#include <cstddef>
#include <cstring>

#include "platform/system_functions.h"
#include "streams/relative_files.h"

namespace {

// Not in the headers the build targets; the values are the system's own.
constexpr int FileBothDirectoryInformationClass = 3;
constexpr int FileIdBothDirectoryInformationClass = 37;
constexpr LONG StatusNoMoreFiles = static_cast<LONG>(0x80000006);
constexpr LONG StatusNoSuchFile = static_cast<LONG>(0xC000000F);
// What a system or file system that lacks the class with file indexes answers: Windows 2000
// (before XP), and some network redirectors and older file systems.
constexpr LONG ClassRefusals[] = {
    static_cast<LONG>(0xC0000002), // not implemented
    static_cast<LONG>(0xC0000003), // invalid information class
    static_cast<LONG>(0xC000000D), // invalid parameter
    static_cast<LONG>(0xC0000148), // invalid level
    static_cast<LONG>(0xC00000BB), // not supported
};

/// The fields both classes share, in the system's layout; the class with file indexes puts the
/// index after the short name and the name after the index.
struct BothDirectoryInformation {
    ULONG NextEntryOffset;
    ULONG FileIndex;
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    LARGE_INTEGER EndOfFile;
    LARGE_INTEGER AllocationSize;
    ULONG FileAttributes;
    ULONG FileNameLength;
    /// The reparse tag, for a reparse point.
    ULONG EaSize;
    CCHAR ShortNameLength;
    WCHAR ShortName[12];
    WCHAR FileName[1];
};
struct IdBothDirectoryInformation {
    ULONG NextEntryOffset;
    ULONG FileIndex;
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    LARGE_INTEGER EndOfFile;
    LARGE_INTEGER AllocationSize;
    ULONG FileAttributes;
    ULONG FileNameLength;
    ULONG EaSize;
    CCHAR ShortNameLength;
    WCHAR ShortName[12];
    LARGE_INTEGER FileId;
    WCHAR FileName[1];
};

// Enough for a few hundred names a call, and small beside the walk's other memory at any depth.
constexpr size_t BufferSize = 32 * 1024;

bool IsClassRefusal(LONG status) {
    for (const LONG refusal : ClassRefusals) {
        if (status == refusal) {
            return true;
        }
    }
    return false;
}

} // namespace

bool ListedEntry::IsLink() const {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           (reparseTag == 0 || relative::IsNameSurrogate(reparseTag));
}

FolderListing::FolderListing(HANDLE folder, std::wstring literal)
    : folder(folder), literal(std::move(literal)),
      informationClass(FileIdBothDirectoryInformationClass), buffer(BufferSize) {}

bool FolderListing::Fill() {
    UNICODE_STRING mask;
    mask.Buffer = const_cast<PWSTR>(literal.c_str());
    mask.Length = static_cast<USHORT>(literal.size() * sizeof(wchar_t));
    mask.MaximumLength = mask.Length;
    const bool first = !started;
    IO_STATUS_BLOCK status = {};
    LONG result =
        sys::NtQueryDirectoryFile(folder, nullptr, nullptr, nullptr, &status, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), informationClass, FALSE,
                                  first && !literal.empty() ? &mask : nullptr, first);
    if (first && IsClassRefusal(result)) {
        // No file indexes here: the entries are told apart by their paths instead.
        informationClass = FileBothDirectoryInformationClass;
        status = {};
        result =
            sys::NtQueryDirectoryFile(folder, nullptr, nullptr, nullptr, &status, buffer.data(),
                                      static_cast<ULONG>(buffer.size()), informationClass, FALSE,
                                      literal.empty() ? nullptr : &mask, TRUE);
    }
    started = true;
    if (result == StatusNoMoreFiles || (first && result == StatusNoSuchFile)) {
        finished = true;
        return false;
    }
    if (result < 0) {
        finished = true;
        error = sys::RtlNtStatusToDosError(result);
        return false;
    }
    filled = status.Information;
    position = 0;
    finished = filled == 0;
    return !finished;
}

bool FolderListing::Next(ListedEntry& entry) {
    if (finished) {
        return false;
    }
    if (position >= filled && !Fill()) {
        return false;
    }
    const uint8_t* record = buffer.data() + position;
    BothDirectoryInformation both;
    memcpy(&both, record, offsetof(BothDirectoryInformation, FileName));
    const bool withId = informationClass == FileIdBothDirectoryInformationClass;
    const size_t nameOffset = withId ? offsetof(IdBothDirectoryInformation, FileName)
                                     : offsetof(BothDirectoryInformation, FileName);
    entry.name.assign(reinterpret_cast<const wchar_t*>(record + nameOffset),
                      both.FileNameLength / sizeof(wchar_t));
    entry.shortName.assign(both.ShortName, static_cast<size_t>(both.ShortNameLength) / 2);
    entry.attributes = both.FileAttributes;
    entry.reparseTag = (both.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? both.EaSize : 0;
    entry.fileId = 0;
    if (withId) {
        LARGE_INTEGER id;
        memcpy(&id, record + offsetof(IdBothDirectoryInformation, FileId), sizeof id);
        entry.fileId = static_cast<uint64_t>(id.QuadPart);
    }
    position = both.NextEntryOffset == 0 ? filled : position + both.NextEntryOffset;
    return true;
}
