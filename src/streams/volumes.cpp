#include "streams/volumes.h"

#include <windows.h>

#include "platform/system_functions.h"
#include "platform/unique_handle.h"
#include "streams/path_helpers.h"

namespace {

/// The directory part of a path in the system's form, with its trailing backslash: the current
/// directory for a bare name.
std::wstring SystemDirectoryOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring directory =
        ToSystemPath(slash == std::wstring::npos ? L"." : path.substr(0, slash + 1));
    if (directory.empty() || directory.back() != L'\\') {
        directory += L'\\';
    }
    return directory;
}

/// Messages show paths as users write them, without the "\\?\" prefix.
std::wstring CallersForm(const std::wstring& systemPath) {
    if (systemPath.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        return L"\\" + systemPath.substr(7);
    }
    if (systemPath.compare(0, 4, L"\\\\?\\") == 0) {
        return systemPath.substr(4);
    }
    return systemPath;
}

/// "X:\" or "\\server\share\" of a system path.
std::wstring DriveOf(const std::wstring& systemPath) {
    const std::wstring path = CallersForm(systemPath);
    if (path.size() >= 3 && path[1] == L':') {
        return path.substr(0, 3);
    }
    const size_t share = path.find(L'\\', 2);
    const size_t end = share == std::wstring::npos ? share : path.find(L'\\', share + 1);
    return end == std::wstring::npos ? path : path.substr(0, end + 1);
}

} // namespace

bool FreeBytesAt(const std::wstring& path, uint64_t& freeBytes) {
    ULARGE_INTEGER available;
    if (!sys::GetDiskFreeSpaceExW(SystemDirectoryOf(path).c_str(), &available, nullptr, nullptr)) {
        return false;
    }
    freeBytes = available.QuadPart;
    return true;
}

std::wstring VolumeRootOf(const std::wstring& path) {
    const std::wstring directory = SystemDirectoryOf(path);
    wchar_t volume[MAX_PATH + 1];
    if (!sys::GetVolumePathNameW(directory.c_str(), volume, MAX_PATH)) {
        return DriveOf(directory);
    }
    volume[MAX_PATH] = L'\0';
    return CallersForm(volume);
}

std::wstring VolumeIdentityOf(const std::wstring& root) {
    wchar_t name[50]; // "\\?\Volume{GUID}\" and its terminator
    if (GetVolumeNameForVolumeMountPointW(root.c_str(), name, ARRAYSIZE(name))) {
        return name;
    }
    DWORD serial = 0;
    if (GetVolumeInformationW(root.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) {
        return L"serial " + std::to_wstring(serial);
    }
    return L"root " + UpperCase(root);
}
