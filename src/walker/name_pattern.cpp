#include "walker/name_pattern.h"

#include <vector>

#include "streams/path_helpers.h"

namespace {

// The system's own forms, as its directory search gives them to the file system.
constexpr wchar_t DosStar = L'<';     // any characters up to the name's last dot
constexpr wchar_t DosQuestion = L'>'; // one character, or none before a dot or the end
constexpr wchar_t DosDot = L'"';      // a dot, or nothing at the end

/// The pattern as the system's directory search rewrites it before matching.
std::wstring SystemForm(const std::wstring& pattern) {
    std::wstring form = pattern;
    for (size_t i = 0; i < form.size(); ++i) {
        const wchar_t next = i + 1 < pattern.size() ? pattern[i + 1] : L'\0';
        if (pattern[i] == L'?') {
            form[i] = DosQuestion;
        } else if (pattern[i] == L'.' && (next == L'?' || next == L'*' || next == L'\0')) {
            form[i] = DosDot;
        } else if (pattern[i] == L'*' && next == L'.') {
            form[i] = DosStar;
        }
    }
    return form;
}

} // namespace

bool HasWildcards(const std::wstring& path) {
    return path.find_first_of(L"*?") != std::wstring::npos;
}

NamePattern::NamePattern(const std::wstring& pattern)
    : literal(pattern), wildcards(::HasWildcards(pattern)) {
    expression = UpperCase(wildcards ? SystemForm(pattern) : pattern);
}

bool NamePattern::Matches(const std::wstring& name, const std::wstring& shortName) const {
    return MatchesOne(name) || (!shortName.empty() && MatchesOne(shortName));
}

bool NamePattern::MatchesOne(const std::wstring& rawName) const {
    const std::wstring name = UpperCase(rawName);
    if (!wildcards) {
        return name == expression;
    }
    // matches(i, j): the name from i on matches the expression from j on. A table rather than
    // backtracking: names in folders others can write must not make the match slow.
    const size_t n = name.size();
    const size_t m = expression.size();
    const size_t lastDot = name.rfind(L'.');
    std::vector<char> table((n + 1) * (m + 1), 0);
    const auto matches = [&table, m](size_t i, size_t j) -> char& {
        return table[i * (m + 1) + j];
    };
    matches(n, m) = 1;
    for (size_t i = n + 1; i-- > 0;) {
        for (size_t j = m; j-- > 0;) {
            const bool more = i < n;
            const wchar_t c = more ? name[i] : L'\0';
            bool match = false;
            switch (expression[j]) {
            case L'*':
                match = matches(i, j + 1) || (more && matches(i + 1, j));
                break;
            case DosStar:
                match = matches(i, j + 1) || (more && i != lastDot && matches(i + 1, j));
                break;
            case L'?':
                match = more && matches(i + 1, j + 1);
                break;
            case DosQuestion:
                match = (more && c != L'.') ? matches(i + 1, j + 1) : matches(i, j + 1);
                break;
            case DosDot:
                match = more ? c == L'.' && matches(i + 1, j + 1) : matches(i, j + 1);
                break;
            default:
                match = more && c == expression[j] && matches(i + 1, j + 1);
                break;
            }
            matches(i, j) = match;
        }
    }
    return matches(0, 0) != 0;
}
