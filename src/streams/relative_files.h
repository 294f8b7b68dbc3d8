#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/unique_handle.h"

/// Calls on single names relative to a folder's open handle, as openat does: the system never
/// looks a path up again, so nothing a user does to the names above the folder meanwhile can
/// lead a call elsewhere. Each failure leaves a Win32 error code as the thread's last error.
namespace relative {

/// How an open treats the name: an existing entry, or a new one that must not exist yet.
enum class Disposition { OpenExisting, CreateNew };

struct OpenRequest {
    ACCESS_MASK access = 0;
    ULONG share = FILE_SHARE_READ;
    Disposition disposition = Disposition::OpenExisting;
    bool directory = false;
    /// A file or a folder, whichever the entry is.
    bool eitherKind = false;
    /// A new file's owner and access list from its first moment; null for the folder's default.
    PSECURITY_DESCRIPTOR security = nullptr;
};

/// Opens one entry of the folder, a link or junction itself rather than what it leads to.
/// A name that holds a separator, or is "." or "..", is refused (ERROR_INVALID_NAME).
UniqueFile Open(HANDLE folder, const std::wstring& name, const OpenRequest& request);

/// Gives the open file another name in the folder, never replacing an entry that has it. The
/// handle needs the right to delete.
[[nodiscard]] bool Rename(HANDLE file, HANDLE folder, const std::wstring& name);

/// Deletes the open file once its last handle closes; the handle needs the right to delete.
[[nodiscard]] bool MarkDeleted(HANDLE file);

/// Gives the open entry these attributes, its times unchanged; the handle needs the right to
/// write attributes.
[[nodiscard]] bool SetAttributes(HANDLE file, DWORD attributes);

/// What an open handle says of its entry.
struct Facts {
    DWORD attributes = 0;
    DWORD links = 0;
    /// The reparse tag where the entry is a reparse point, else 0.
    ULONG reparseTag = 0;
    uint64_t size = 0;
    DWORD volume = 0;
    uint64_t index = 0;
};
[[nodiscard]] bool FactsOf(HANDLE file, Facts& facts);

/// A junction, symbolic link or mount point: a name for another place. Other reparse points
/// (deduplicated data, cloud placeholders, compressed system files) are plain entries.
bool IsNameSurrogate(ULONG reparseTag);

/// An entry that stands for nothing but itself: not a name surrogate, and a file with no other
/// name (a hard link elsewhere would carry every change outside).
bool IsPlain(const Facts& facts);

} // namespace relative
