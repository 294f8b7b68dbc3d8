#include "streams/folder.h"

#include "streams/path_helpers.h"
#include "streams/relative_files.h"

namespace {

// Listing, and opening and renaming entries relative to it; deletion is never shared, so the
// folder cannot be moved or removed while it is held.
constexpr ACCESS_MASK FolderAccess =
    FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
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

std::shared_ptr<HeldFolder> HeldFolder::OpenSystemPath(const std::wstring& systemPath,
                                                       std::wstring shown) {
    UniqueFile handle(sys::CreateFileW(systemPath.c_str(), FolderAccess, FolderShare, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    relative::Facts facts;
    if (!handle || !relative::FactsOf(handle.get(), facts)) {
        return nullptr;
    }
    if ((facts.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetLastError(ERROR_DIRECTORY);
        return nullptr;
    }
    return std::make_shared<HeldFolder>(std::move(handle), std::move(shown), facts);
}

std::shared_ptr<HeldFolder> HeldFolder::OpenPath(const std::wstring& path) {
    return OpenSystemPath(SystemFolderPath(path.empty() ? L"." : path), path);
}

std::shared_ptr<HeldFolder> HeldFolder::OpenParentOf(const std::wstring& path, std::wstring& name) {
    // The folder comes from the whole path made absolute, so that "\\a.txt" and "C:a.txt" find
    // theirs; the caller's form is kept for messages.
    const std::wstring system = ToSystemPath(path);
    const size_t systemSeparator = system.find_last_of(L'\\');
    const size_t shownSeparator = path.find_last_of(L"\\/");
    if (systemSeparator == std::wstring::npos || systemSeparator + 1 == system.size()) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    name = system.substr(systemSeparator + 1);
    std::wstring parent = system.substr(0, systemSeparator);
    if (parent.back() == L':') {
        parent += L'\\';
    }
    return OpenSystemPath(parent, shownSeparator == std::wstring::npos
                                      ? std::wstring()
                                      : path.substr(0, shownSeparator));
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
    return std::make_shared<HeldFolder>(std::move(handle), parent.PathOf(name), facts);
}
