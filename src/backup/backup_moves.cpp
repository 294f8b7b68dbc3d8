#include "backup/backup.h"

#include <windows.h>

#include "logging/lines.h"
#include "streams/path_helpers.h"

bool BackupFile(const std::wstring& source, std::wstring& backup) {
    if (TheBackupCounter == BackupNotInitialised) {
        return false;
    }
    if (!MakeBackupName(source, backup)) {
        LogLine(prefix::Info, L"Can't get backup filename of file " + source);
        return false;
    }
    if (!MoveFileExW(ToSystemPath(source).c_str(), ToSystemPath(backup).c_str(),
                     MOVEFILE_REPLACE_EXISTING)) {
        const std::wstring error = FormatLastError();
        LogLine(prefix::Info,
                L"Can't move (backup) file [" + source + L"] to [" + backup + L"], " + error);
        return false;
    }
    return true;
}

bool RestoreBackup(const std::wstring& backup) {
    const std::wstring source = SourceNameOf(backup);
    if (source.empty()) {
        return false;
    }
    // No flags: a file that has appeared under the source name is never replaced.
    if (!MoveFileExW(ToSystemPath(backup).c_str(), ToSystemPath(source).c_str(), 0)) {
        const std::wstring error = FormatLastError();
        LogLine(prefix::Info,
                L"Can't revert backup of file [" + source + L"] from [" + backup + L"], " + error);
        return false;
    }
    return true;
}
