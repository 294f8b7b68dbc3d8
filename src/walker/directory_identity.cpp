#include "walker/directory_identity.h"

#include "platform/unique_handle.h"

DirectoryIdentity IdentityFrom(const BY_HANDLE_FILE_INFORMATION& information) {
    DirectoryIdentity identity;
    identity.volume = information.dwVolumeSerialNumber;
    identity.indexHigh = information.nFileIndexHigh;
    identity.indexLow = information.nFileIndexLow;
    identity.known = identity.indexHigh != 0 || identity.indexLow != 0;
    return identity;
}

DirectoryIdentity IdentityOf(const std::wstring& systemPath) {
    // No access rights are asked for: reading the identity needs none, and a directory whose
    // content may be listed but not read still has one.
    UniqueFile directory(sys::CreateFileW(
        systemPath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (directory && GetFileInformationByHandle(directory.get(), &information)) {
        return IdentityFrom(information);
    }
    return DirectoryIdentity();
}
