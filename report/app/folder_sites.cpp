#include "app/folder_sites.h"

#include <windows.h>

#include "fleet/computer_names.h"
#include "parse/log_machine.h"
#include "platform/unique_handle.h"
#include "streams/path_helpers.h"

namespace report {

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::wstring WithoutSeparator(std::wstring folder) {
    while (!folder.empty() && IsSeparator(folder.back())) {
        folder.pop_back();
    }
    return folder;
}

/// The last name of a folder's path, whichever separators end it.
std::wstring LastName(const std::wstring& folder) {
    const std::wstring bare = WithoutSeparator(folder);
    const size_t separator = bare.find_last_of(L"\\/");
    return separator == std::wstring::npos ? bare : bare.substr(separator + 1);
}

/// The folder that holds a folder, with its trailing separator; empty at the top.
std::wstring Parent(const std::wstring& folder) {
    const std::wstring bare = WithoutSeparator(folder);
    const size_t separator = bare.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : bare.substr(0, separator + 1);
}

/// The folder's path below the folder given, without its trailing separator; empty for the
/// folder given itself, and for one that does not lie below it.
std::wstring Below(const std::wstring& given, const std::wstring& folder) {
    const std::wstring root = WithoutSeparator(given) + L"\\";
    if (folder.size() <= root.size() || folder.compare(0, root.size(), root) != 0) {
        return std::wstring();
    }
    return WithoutSeparator(folder.substr(root.size()));
}

/// A machine's NetBIOS name, as its logs' heads give it, in upper case.
std::wstring NetBiosKey(const std::wstring& computerName) {
    const std::vector<std::wstring> names = NamesOf(computerName);
    return UpperCase(names.size() > 1 ? names[1] : names[0]);
}

} // namespace

std::wstring SiteOfFolder(const std::wstring& given, bool inGivenFolder, const std::wstring& folder,
                          bool oneMachine) {
    std::wstring site = folder;
    if (oneMachine) {
        // A machine's own folder: the site is the folder that holds it.
        const std::wstring parent = Parent(folder);
        site = parent.empty() ? folder : parent;
    }
    const std::wstring below = inGivenFolder ? Below(given, site) : std::wstring();
    return below.empty() ? LastName(site) : below;
}

std::wstring FolderSites::SiteOf(const std::wstring& given, bool inGivenFolder,
                                 const std::wstring& folder) {
    const std::wstring key = UpperCase(folder);
    auto known = oneMachine.find(key);
    if (known == oneMachine.end()) {
        known = oneMachine.emplace(key, OneMachine(folder)).first;
    }
    return SiteOfFolder(given, inGivenFolder, folder, known->second);
}

bool FolderSites::OneMachine(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    UniqueFind search(FindFirstFileW((ToSystemPath(folder) + L"*").c_str(), &entry));
    if (!search) {
        return false;
    }
    // A log whose head names no computer is named by its folder, as the report names it.
    const std::wstring folderName = LastName(folder);
    std::wstring name;
    std::wstring guid;
    bool sameName = true;
    bool sameGuid = true;
    bool any = false;
    do {
        LogMachine machine;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
            !ReadLogMachine(folder + entry.cFileName, machine)) {
            continue;
        }
        const std::wstring key =
            NetBiosKey(machine.computerName.empty() ? folderName : machine.computerName);
        if (!any) {
            name = key;
            guid = machine.machineGuid;
            any = true;
        }
        sameName = sameName && key == name;
        sameGuid = sameGuid && !guid.empty() && UpperCase(machine.machineGuid) == UpperCase(guid);
    } while ((sameName || sameGuid) && FindNextFileW(search.get(), &entry));
    return any && (sameName || sameGuid);
}

} // namespace report
