#include "streams/file_metadata.h"

#include <sddl.h>
#include <winternl.h>

#include "platform/system_functions.h"
#include "platform/unique_handle.h"
#include "streams/relative_files.h"

namespace {

constexpr SECURITY_INFORMATION OwnerAndAccessList =
    OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

/// Lets a run that holds the right (administrators, the system) give a file another owner.
void EnableRestorePrivilege() {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    UniqueKernelHandle token;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // Without the right, nothing changes, and a file keeps the run's user as its owner.
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put()) &&
        LookupPrivilegeValueW(nullptr, SE_RESTORE_NAME, &privileges.Privileges[0].Luid)) {
        AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
    }
}

/// The SID of the user the run belongs to, as text.
bool RunsUser(std::wstring& sid) {
    UniqueKernelHandle token;
    DWORD size = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        return false;
    }
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<uint8_t> user(size);
    LPWSTR text = nullptr;
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, user.data(), size, &size) ||
        !sys::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text)) {
        return false;
    }
    const UniqueLocal owned(text);
    sid = text;
    return true;
}

/// Frees what BackupRead keeps between calls, whatever way the reading ends.
class BackupReading {
public:
    explicit BackupReading(HANDLE file) : file(file) {}
    ~BackupReading() {
        if (context != nullptr) {
            DWORD got = 0;
            const DWORD error = GetLastError();
            BackupRead(file, nullptr, 0, &got, TRUE, FALSE, &context);
            SetLastError(error);
        }
    }
    BackupReading(const BackupReading&) = delete;
    BackupReading& operator=(const BackupReading&) = delete;

    /// Reads exactly length bytes of the backup stream; false at its end or on a failure.
    bool Read(void* buffer, DWORD length) {
        DWORD got = 0;
        if (!BackupRead(file, static_cast<BYTE*>(buffer), length, &got, FALSE, FALSE, &context)) {
            return false;
        }
        if (got != length) {
            SetLastError(got == 0 ? ERROR_SUCCESS : ERROR_INVALID_DATA);
            return false;
        }
        return true;
    }
    bool Skip(LARGE_INTEGER size) {
        DWORD low = 0;
        DWORD high = 0;
        return size.QuadPart == 0 ||
               BackupSeek(file, size.LowPart, static_cast<DWORD>(size.HighPart), &low, &high,
                          &context);
    }

private:
    HANDLE file;
    LPVOID context = nullptr;
};

bool CopyStream(HANDLE from, HANDLE to, const std::wstring& name) {
    relative::OpenRequest reading;
    reading.access = GENERIC_READ;
    reading.share = FILE_SHARE_READ | FILE_SHARE_DELETE;
    relative::OpenRequest writing;
    writing.access = GENERIC_WRITE;
    writing.share = 0;
    writing.disposition = relative::Disposition::CreateNew;
    // A stream's name (":name:$DATA") opened relative to its file's handle.
    const UniqueFile source = relative::Open(from, name, reading);
    const UniqueFile target = relative::Open(to, name, writing);
    if (!source || !target) {
        return false;
    }
    std::vector<uint8_t> block(64 * 1024);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(source.get(), block.data(), static_cast<DWORD>(block.size()), &got,
                      nullptr)) {
            return false;
        }
        if (got == 0) {
            return FlushFileBuffers(target.get()) != FALSE;
        }
        DWORD written = 0;
        if (!WriteFile(target.get(), block.data(), got, &written, nullptr) || written != got) {
            return false;
        }
    }
}

} // namespace

bool ReadTimes(HANDLE file, FileTimes& times) {
    return GetFileTime(file, &times.created, nullptr, &times.written) != FALSE;
}

bool WriteTimes(HANDLE file, const FileTimes& times) {
    return SetFileTime(file, &times.created, nullptr, &times.written) != FALSE;
}

bool ReadSecurity(HANDLE file, SecurityBytes& security) {
    DWORD needed = 0;
    GetKernelObjectSecurity(file, OwnerAndAccessList, nullptr, 0, &needed);
    if (needed == 0) {
        return false;
    }
    security.resize(needed);
    return GetKernelObjectSecurity(file, OwnerAndAccessList, security.data(), needed, &needed) !=
           FALSE;
}

bool WriteSecurity(HANDLE file, const SecurityBytes& security) {
    EnableRestorePrivilege();
    // The descriptor's own control bits carry the access list's protection from inheritance.
    const auto descriptor = const_cast<uint8_t*>(security.data());
    return SetKernelObjectSecurity(file, OwnerAndAccessList, descriptor) ||
           SetKernelObjectSecurity(file, DACL_SECURITY_INFORMATION, descriptor);
}

bool ClosedSecurity(SecurityBytes& security) {
    std::wstring user;
    if (!RunsUser(user)) {
        return false;
    }
    const std::wstring text = L"D:P(A;;FA;;;BA)(A;;FA;;;SY)(A;;FA;;;" + user + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ULONG size = 0;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1,
                                                              &descriptor, &size)) {
        return false;
    }
    const UniqueLocal owned(descriptor);
    const auto* bytes = static_cast<const uint8_t*>(descriptor);
    security.assign(bytes, bytes + size);
    return true;
}

bool CopyAlternateStreams(HANDLE from, HANDLE to) {
    // Each stream of the backup format: its header, its name, its data.
    BackupReading reading(from);
    constexpr DWORD HeaderLength = offsetof(WIN32_STREAM_ID, cStreamName);
    for (;;) {
        WIN32_STREAM_ID header;
        if (!reading.Read(&header, HeaderLength)) {
            return GetLastError() == ERROR_SUCCESS;
        }
        std::wstring name(header.dwStreamNameSize / sizeof(wchar_t), L'\0');
        if (!name.empty() && !reading.Read(&name[0], header.dwStreamNameSize)) {
            return false;
        }
        if (header.dwStreamId == BACKUP_ALTERNATE_DATA && !CopyStream(from, to, name)) {
            return false;
        }
        if (!reading.Skip(header.Size)) {
            return false;
        }
    }
}

bool VolumeKeeps(HANDLE file, bool& accessLists, bool& streams) {
    // The attribute information of every release's file systems, asked of the file's handle.
    struct AttributeInformation {
        ULONG flags;
        LONG longestName;
        ULONG nameLength;
        WCHAR name[64];
    } information = {};
    constexpr int FileFsAttributeInformationClass = 5;
    IO_STATUS_BLOCK status = {};
    const LONG result = sys::NtQueryVolumeInformationFile(
        file, &status, &information, sizeof information, FileFsAttributeInformationClass);
    // A name longer than the buffer still leaves the flags.
    if (result < 0 && result != static_cast<LONG>(0x80000005)) {
        SetLastError(sys::RtlNtStatusToDosError(result));
        return false;
    }
    accessLists = (information.flags & FILE_PERSISTENT_ACLS) != 0;
    streams = (information.flags & FILE_NAMED_STREAMS) != 0;
    return true;
}
