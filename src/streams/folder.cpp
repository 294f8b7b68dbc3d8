#include "streams/folder.h"

#include "streams/path_helpers.h"
#include "streams/relative_files.h"

namespace {

// Listing, and opening and renaming entries relative to it; deletion is never shared, so the
// folder cannot be moved or removed while it is held.
constexpr ACCESS_MASK FolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES |
                                     SYNCHRONIZE;
constexpr DWORD FolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

/// A bare drive such as "C:" stands for the drive's root here, where the system would take it
/// for the drive's current directory; "\\?\C:" without its backslash would name the volume.
std::wstring SystemFolderPath(const std::wstring& path) {
    const bool bareDrive = path.size() == 2 && path[1] == L':';
    std::wstring system = ToSystemPath(bareDrive ? path + L"\\" : path);
    if (system.back() == L':') {
        system += L'\\';
    }
    return system;
}

} // namespace

std::shared_ptr<HeldFolder> HeldFolder::OpenPath(const std::wstring& path) {
    UniqueFile handle(sys::CreateFileW(SystemFolderPath(path.empty() ? L"." : path).c_str(),
                                       FolderAccess, FolderShare, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!handle || !GetFileInformationByHandle(handle.get(), &information)) {
        return nullptr;
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetLastError(ERROR_DIRECTORY);
        return nullptr;
    }
    return std::make_shared<HeldFolder>(std::move(handle), path);
}

std::shared_ptr<HeldFolder> HeldFolder::OpenChild(const HeldFolder& parent,
                                                  const std::wstring& name) {
    relative::OpenRequest request;
    request.access = FolderAccess;
    request.share = FolderShare;
    request.directory = true;
    UniqueFile handle = relative::Open(parent.Handle(), name, request);
    relative::Facts facts;
    if (!handle || !relative::FactsOf(handle.get(), facts)) {
        return nullptr;
    }
    if (!relative::IsPlain(facts)) {
        SetLastError(ERROR_REPARSE_TAG_INVALID);
        return nullptr;
    }
    return std::make_shared<HeldFolder>(std::move(handle), parent.PathOf(name));
}
