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

/// The fields both classes start with, in the system's layout; the class with file indexes puts
/// the index after the short name (aligned as a 64-bit value) and the name after the index.
struct EntryHead {
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
};
constexpr size_t HeadSize = offsetof(EntryHead, ShortName) + sizeof(EntryHead::ShortName);
constexpr size_t NameOffset = HeadSize;
constexpr size_t FileIdOffset = (HeadSize + 7) & ~size_t(7);
constexpr size_t NameAfterIdOffset = FileIdOffset + sizeof(LARGE_INTEGER);
static_assert(NameOffset == 94 && NameAfterIdOffset == 104, "the system's layout");

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
    // The name, where one is asked for, goes with the first call, which starts the listing.
    const auto query = [&](bool restart) {
        status = {};
        return sys::NtQueryDirectoryFile(folder, nullptr, nullptr, nullptr, &status, buffer.data(),
                                         static_cast<ULONG>(buffer.size()), informationClass, FALSE,
                                         restart && !literal.empty() ? &mask : nullptr, restart);
    };
    LONG result = query(first);
    if (first && IsClassRefusal(result)) {
        // No file indexes here: the entries are told apart by their paths instead.
        informationClass = FileBothDirectoryInformationClass;
        result = query(true);
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
    EntryHead head;
    memcpy(&head, record, HeadSize);
    const bool withId = informationClass == FileIdBothDirectoryInformationClass;
    entry.name.assign(
        reinterpret_cast<const wchar_t*>(record + (withId ? NameAfterIdOffset : NameOffset)),
        head.FileNameLength / sizeof(wchar_t));
    entry.shortName.assign(head.ShortName, static_cast<size_t>(head.ShortNameLength) / 2);
    entry.attributes = head.FileAttributes;
    entry.size = static_cast<uint64_t>(head.EndOfFile.QuadPart);
    entry.reparseTag = (head.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? head.EaSize : 0;
    entry.fileId = 0;
    if (withId) {
        LARGE_INTEGER id;
        memcpy(&id, record + FileIdOffset, sizeof id);
        entry.fileId = static_cast<uint64_t>(id.QuadPart);
    }
    position = head.NextEntryOffset == 0 ? filled : position + head.NextEntryOffset;
    return true;
}
