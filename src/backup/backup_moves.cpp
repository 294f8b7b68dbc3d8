#include "backup/backup.h"

#include <windows.h>

#include "logging/lines.h"
#include "streams/path_helpers.h"

bool MoveToBackup(const std::wstring& source, const std::wstring& backup) {
    // No flags: whatever has taken the backup's name since it was chosen stays.
    if (!MoveFileExW(ToSystemPath(source).c_str(), ToSystemPath(backup).c_str(), 0)) {
        const std::wstring error = FormatLastError();
        LogLine(prefix::Info,
                L"Can't move (backup) file [" + source + L"] to [" + backup + L"], " + error);
        return false;
    }
    return true;
}

bool RestoreBackup(const std::wstring& backup, const std::wstring& source) {
    // No flags: a file that has appeared under the source name is never replaced.
    if (!MoveFileExW(ToSystemPath(backup).c_str(), ToSystemPath(source).c_str(), 0)) {
        const std::wstring error = FormatLastError();
        LogLine(prefix::Info,
                L"Can't revert backup of file [" + source + L"] from [" + backup + L"], " + error);
        return false;
    }
    return true;
}
