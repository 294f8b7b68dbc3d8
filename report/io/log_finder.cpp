#include "io/log_finder.h"

#include "streams/path_helpers.h"

namespace report {

namespace {

bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

std::wstring WithBackslash(const std::wstring& directory) {
    return !directory.empty() && (directory.back() == L'\\' || directory.back() == L'/')
               ? directory
               : directory + L"\\";
}

} // namespace

bool LogFinder::Enter(const std::wstring& directory) {
    Level level;
    level.directory = WithBackslash(directory);
    level.search.reset(
        FindFirstFileW((WithBackslash(ToSystemPath(directory)) + L"*").c_str(), &level.entry));
    if (!level.search) {
        return false;
    }
    level.pending = true;
    const std::wstring system = ToSystemPath(directory);
    level.identity = IdentityOf(system);
    level.key = UpperCase(system);
    levels.push_back(std::move(level));
    return true;
}

std::wstring LogFinder::Folder() const {
    if (fromLevel) {
        return levels.back().directory;
    }
    const std::wstring& path = Given();
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

const FileIdentity& LogFinder::FolderIdentity() const {
    static const FileIdentity none;
    return fromLevel ? levels.back().identity : none;
}

const std::wstring& LogFinder::FolderKey() const {
    static const std::wstring none;
    return fromLevel ? levels.back().key : none;
}

bool LogFinder::Next(std::wstring& path, Found& found) {
    for (;;) {
        if (levels.empty()) {
            if (nextPath == paths.size()) {
                return false;
            }
            path = paths[nextPath++];
            fromLevel = false;
            const DWORD attributes = GetFileAttributesW(ToSystemPath(path).c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES) {
                found = Found::Missing;
                return true;
            }
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                found = Found::File;
                return true;
            }
            if (!Enter(path)) {
                found = Found::Unreadable;
                return true;
            }
            continue;
        }
        Level& level = levels.back();
        if (!level.pending && !FindNextFileW(level.search.get(), &level.entry)) {
            levels.pop_back();
            continue;
        }
        level.pending = false;
        const WIN32_FIND_DATAW& entry = level.entry;
        if (IsDotEntry(entry.cFileName)) {
            continue;
        }
        path = level.directory + entry.cFileName;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            fromLevel = true;
            found = Found::File;
            return true;
        }
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && !Enter(path)) {
            found = Found::Unreadable;
            return true;
        }
    }
}

} // namespace report
