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
    const bool yes = TheConsole.Ask(log_text::OverwriteQuestion, shownPath, PromptKind::YesNo,
                                    PromptStyle::Warning);
    // Forced and redirected runs answer for themselves; the log keeps who said what.
    LogLine(log_text::OverwriteAsked.prefix,
            log_text::OverwriteAnswer(path, yes, TheConsole.LastAnswerSource()));
    if (yes) {
        return true;
    }
    LogLine(log_text::OverwriteRefused, path);
    return false;
}
