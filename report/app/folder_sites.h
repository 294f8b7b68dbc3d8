#pragma once

#include <string>
#include <unordered_map>

namespace report {

/// The site of a log's folder as administrators collect logs: a folder whose logs are all of
/// one machine is that machine's folder, and the site is the folder that holds it; a folder with
/// logs of several machines is a site itself. So "\\\\server\\share\\site\\PC01\\",
/// "\\\\server\\share\\PC01\\" (the share one site) and "\\\\server\\share\\site\\" (logs side by
/// side) all read right. given: the path given to the report; folder: the log's folder with its
/// trailing backslash; inGivenFolder: the log was found under the folder given (else it was given
/// by its path). The site is the folder's path below the one given ("region\\site"), or a folder's
/// own name where that is the one given or lies above it.
std::wstring SiteOfFolder(const std::wstring& given, bool inGivenFolder, const std::wstring& folder,
                          bool oneMachine);

/// Tells, once per folder, whether a folder's logs are all of one machine: one computer name
/// (without case, its NetBIOS part) or one machine GUID, read from the head of each.
class FolderSites {
public:
    std::wstring SiteOf(const std::wstring& given, bool inGivenFolder, const std::wstring& folder);

private:
    bool OneMachine(const std::wstring& folder);

    std::unordered_map<std::wstring, bool> oneMachine; ///< by the folder's path in upper case
};

} // namespace report
