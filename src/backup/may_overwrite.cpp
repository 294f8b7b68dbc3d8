#include "backup/backup.h"

#include <windows.h>

#include "logging/console_handler.h"
#include "logging/lines.h"
#include "logging/shorten_path.h"
#include "streams/path_helpers.h"

bool MayOverwrite(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(ToSystemPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return true;
    }
    const std::wstring shownPath = ShortenPath(path, DisplayLimit(TheConsole.GetWidth(), 16));
    const wchar_t* question = L"Do you want to overwrite the following file?";
    const bool yes = TheConsole.Ask(question, shownPath, PromptKind::YesNo, PromptStyle::Warning);
    // Forced and redirected runs answer for themselves; the log keeps who said what.
    LogLine(prefix::Info, question + (L" [" + path + L"] ") + (yes ? L"Yes (" : L"No (") +
                              TheConsole.LastAnswerSource() + L")");
    if (yes) {
        return true;
    }
    LogLine(prefix::Info, L"User doesn't allow modification of file [" + path + L"]");
    return false;
}
