#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

/// One entry of a folder's listing, as the listing gives it: nothing is opened to learn it.
struct ListedEntry {
    std::wstring name;
    /// The short (8.3) form, where the file system keeps one.
    std::wstring shortName;
    DWORD attributes = 0;
    /// The reparse tag where the entry is a reparse point, else 0.
    ULONG reparseTag = 0;
    /// The file system's index of the entry; 0 where the listing gives none.
    uint64_t fileId = 0;
    /// The size of a file's data.
    uint64_t size = 0;

    bool IsDirectory() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    bool IsDotEntry() const { return name == L"." || name == L".."; }
    /// A junction, symbolic link or mount point: a name for another place. Decided by the
    /// listing: under Wine a symbolic link to a folder is listed as a reparse point with tag 0,
    /// and opening it, even as a reparse point, opens what it leads to.
    bool IsLink() const;
};

/// The listing of a folder through its open handle, read a buffer at a time: the entries' names
/// with each one's file index (where the system gives it with the names), never opened by name.
class FolderListing {
public:
    /// Lists the folder; a literal name, when given, asks the system for that name alone.
    FolderListing(HANDLE folder, std::wstring literal);
    /// The next entry; false at the end or on a failure (then Error() is the Win32 code).
    bool Next(ListedEntry& entry);
    /// 0 after the last entry; the failure's Win32 code when the listing broke off.
    DWORD Error() const { return error; }

private:
    bool Fill();

    HANDLE folder;
    std::wstring literal;
    /// The information class asked for: with file indexes, until the system refuses it.
    int informationClass;
    bool started = false;
    bool finished = false;
    DWORD error = 0;
    std::vector<uint8_t> buffer;
    size_t filled = 0;
    size_t position = 0;
};
