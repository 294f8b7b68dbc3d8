#include "walker/directory_identity.h"

#include "platform/unique_handle.h"

DirectoryIdentity IdentityOf(const std::wstring& systemPath) {
    DirectoryIdentity identity;
    // No access rights are asked for: reading the identity needs none, and a directory whose
    // content may be listed but not read still has one.
    UniqueFile directory(sys::CreateFileW(
        systemPath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (directory && GetFileInformationByHandle(directory.get(), &information)) {
        identity.volume = information.dwVolumeSerialNumber;
        identity.indexHigh = information.nFileIndexHigh;
        identity.indexLow = information.nFileIndexLow;
        identity.known = true;
    }
    return identity;
}
