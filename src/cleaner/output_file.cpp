#include "cleaner/output_file.h"

#include <windows.h>

#include "backup/backup.h"
#include "logging/lines.h"
#include "streams/path_helpers.h"

std::wstring OutputPathOf(const std::wstring& path) {
    const std::wstring name = FileNameOf(path);
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot == 0) {
        return std::wstring();
    }
    return path.substr(0, path.size() - (name.size() - dot));
}

bool PlaceOutput(const std::wstring& partialPath, const std::wstring& outputPath, bool replace,
                 std::wstring& kept) {
    kept.clear();
    const std::wstring systemOutput = ToSystemPath(outputPath);
    if (replace && GetFileAttributesW(systemOutput.c_str()) != INVALID_FILE_ATTRIBUTES) {
        std::wstring backup;
        if (!MakeBackupName(outputPath, backup)) {
            LogLine(prefix::Info, L"Can't get backup filename of file " + outputPath);
            return false;
        }
        // Moved, never rewritten: the file keeps its content and its attributes.
        if (!MoveFileExW(systemOutput.c_str(), ToSystemPath(backup).c_str(), 0)) {
            const std::wstring error = FormatLastError();
            LogLine(prefix::Info,
                    L"Can't move file [" + outputPath + L"] to [" + backup + L"], " + error);
            return false;
        }
        kept = backup;
    }
    // No flags: a file that took the name meanwhile, unasked, stays.
    if (MoveFileExW(ToSystemPath(partialPath).c_str(), systemOutput.c_str(), 0)) {
        return true;
    }
    const std::wstring error = FormatLastError();
    if (!kept.empty() && !MoveFileExW(ToSystemPath(kept).c_str(), systemOutput.c_str(), 0)) {
        const std::wstring backError = FormatLastError();
        LogLine(prefix::Info,
                L"Can't move file [" + kept + L"] back to [" + outputPath + L"], " + backError);
    }
    kept.clear();
    LogLine(prefix::Info, L"Can't move decrypted file to [" + outputPath + L"], " + error);
    return false;
}
