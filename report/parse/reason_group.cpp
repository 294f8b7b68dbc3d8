#include "parse/reason_group.h"

#include <cwchar>
#include <cwctype>

#include "logging/log_texts.h"

namespace report {

namespace {

/// Messages that end with a path not in brackets.
constexpr const wchar_t* PathTails[] = {
    log_text::BackupNameTaken.head,
    log_text::InternalError.head,
};

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

/// Where the bracket opened at start closes: the last "]" before the next " [" or the end,
/// since a path may hold "]" itself.
size_t ClosingBracket(const std::wstring& text, size_t start) {
    const size_t nextOpening = text.find(L" [", start + 1);
    const size_t limit = nextOpening == std::wstring::npos ? text.size() : nextOpening;
    const size_t closing = text.rfind(L']', limit == 0 ? 0 : limit - 1);
    return closing == std::wstring::npos || closing <= start ? std::wstring::npos : closing;
}

} // namespace

std::wstring ReasonGroup(const std::wstring& reason) {
    for (const wchar_t* tail : PathTails) {
        if (reason.compare(0, std::wcslen(tail), tail) == 0) {
            return tail + std::wstring(L"\u2026");
        }
    }
    std::wstring group;
    for (size_t i = 0; i < reason.size(); ++i) {
        const wchar_t c = reason[i];
        if (c == L'[') {
            const size_t closing = ClosingBracket(reason, i);
            if (closing != std::wstring::npos) {
                group += L"[\u2026]";
                i = closing;
                continue;
            }
        }
        // A number standing on its own (a size, a count), not a part of a word or code.
        const bool wordStart = i == 0 || !(std::iswalnum(reason[i - 1]) || reason[i - 1] == L'_');
        if (IsDigit(c) && wordStart) {
            size_t end = i;
            while (end < reason.size() && IsDigit(reason[end])) {
                ++end;
            }
            if (end == reason.size() || !(std::iswalnum(reason[end]) || reason[end] == L'_')) {
                group += L'#';
                i = end - 1;
                continue;
            }
        }
        group += c;
    }
    return group;
}

} // namespace report
