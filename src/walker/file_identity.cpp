#include "walker/file_identity.h"

#include "platform/unique_handle.h"

FileIdentity IdentityFrom(DWORD volume, uint64_t index) {
    return {volume, static_cast<DWORD>(index >> 32), static_cast<DWORD>(index)};
}

FileIdentity IdentityOf(const std::wstring& systemPath) {
    // No access rights are asked for: reading the identity needs none, and a directory whose
    // content may be listed but not read, or a file another run holds, still has one. Backup
    // semantics open directories as well as files.
    UniqueFile file(sys::CreateFileW(systemPath.c_str(), 0,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (file && GetFileInformationByHandle(file.get(), &information)) {
        return IdentityFrom(information.dwVolumeSerialNumber,
                            static_cast<uint64_t>(information.nFileIndexHigh) << 32 |
                                information.nFileIndexLow);
    }
    return FileIdentity();
}
