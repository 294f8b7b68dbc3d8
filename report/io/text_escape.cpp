#include "io/text_escape.h"

namespace report {

namespace {

constexpr char32_t Replacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

bool IsHigh(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLow(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

/// Calls take(code point) for each character of the text, lone surrogates and NUL replaced.
template <typename Take> void ForEachCodePoint(const std::wstring& text, Take take) {
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
            take(0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (IsHigh(c) || IsLow(c) || c == 0) {
            take(Replacement);
        } else {
            take(static_cast<char32_t>(c));
        }
    }
}

bool IsHtmlControl(char32_t c) {
    return (c < 0x20 && c != L'\t' && c != L'\n' && c != L'\r') || (c >= 0x7F && c <= 0x9F) ||
           c == 0xFFFE || c == 0xFFFF;
}

/// Characters that change how the text around them is shown, or show as nothing: directional
/// marks, embeddings, overrides and isolates, and the zero-width ones.
bool IsInvisible(char32_t c) {
    return c == 0x061C || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2060 && c <= 0x2069) || c == 0xFEFF;
}

/// An invisible character as the text "[U+XXXX]", so that a reader sees it is there.
void AppendVisible(std::string& out, char32_t c) {
    static const char digits[] = "0123456789ABCDEF";
    out += "[U+";
    for (int shift = 12; shift >= 0; shift -= 4) {
        out.push_back(digits[(c >> shift) & 0xF]);
    }
    out.push_back(']');
}

} // namespace

std::string ToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    ForEachCodePoint(text, [&out](char32_t c) { AppendUtf8(out, c); });
    return out;
}

std::string CsvField(const std::wstring& text) {
    std::string out = "\"";
    if (!text.empty() && std::wstring(L"=+-@\t\r").find(text[0]) != std::wstring::npos) {
        out.push_back('\'');
    }
    ForEachCodePoint(text, [&out](char32_t c) {
        if (c == '"') {
            out.push_back('"');
        }
        if (IsInvisible(c)) {
            AppendVisible(out, c);
        } else {
            AppendUtf8(out, c);
        }
    });
    out.push_back('"');
    return out;
}

std::string HtmlText(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    ForEachCodePoint(text, [&out](char32_t c) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            if (IsInvisible(c)) {
                AppendVisible(out, c);
            } else {
                AppendUtf8(out, IsHtmlControl(c) ? Replacement : c);
            }
        }
    });
    return out;
}

} // namespace report
