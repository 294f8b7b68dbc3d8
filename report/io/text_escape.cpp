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

/// Calls take(code point) for each character of the text: a pair of surrogates is one, a lone
/// one is its own value.
template <typename Take> void ForEachCodePoint(const std::wstring& text, Take take) {
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
            take(0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            take(static_cast<char32_t>(c));
        }
    }
}

/// Code points shown as "[U+XXXX]" (ShownText).
bool IsShownAsCode(char32_t c) {
    struct Range {
        char32_t first;
        char32_t last;
    };
    // Controls; then characters that show as nothing or change how the text around them is
    // shown: the soft hyphen, the grapheme joiner, the Arabic letter mark, the Hangul fillers,
    // the Khmer inherent vowels, the Mongolian selectors, zero-width characters, directional
    // marks, embeddings, overrides and isolates, the line and paragraph separators, invisible
    // operators, the byte-order mark, interlinear annotations, shorthand format controls,
    // musical format controls and tags.
    static constexpr Range Ranges[] = {
        {0x0000, 0x001F}, {0x007F, 0x009F},   {0x00AD, 0x00AD},   {0x034F, 0x034F},
        {0x061C, 0x061C}, {0x115F, 0x1160},   {0x17B4, 0x17B5},   {0x180B, 0x180F},
        {0x200B, 0x200F}, {0x2028, 0x202E},   {0x2060, 0x206F},   {0x3164, 0x3164},
        {0xD800, 0xDFFF}, {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0},   {0xFFF9, 0xFFFB},
        {0xFFFE, 0xFFFF}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0000, 0xE007F},
    };
    for (const Range& range : Ranges) {
        if (c >= range.first && c <= range.last) {
            return true;
        }
    }
    return false;
}

/// A character as the text "[U+XXXX]" (at least four digits), so that a reader sees it is
/// there.
template <typename Out> void AppendCode(Out& out, char32_t c) {
    static const char digits[] = "0123456789ABCDEF";
    const char* head = "[U+";
    out.append(head, head + 3);
    int shift = 20;
    while (shift > 12 && ((c >> shift) & 0xF) == 0) {
        shift -= 4;
    }
    for (; shift >= 0; shift -= 4) {
        out.push_back(static_cast<typename Out::value_type>(digits[(c >> shift) & 0xF]));
    }
    out.push_back(']');
}

/// Calls take(code point) for each character of the text, and code(code point) for those shown
/// as their code instead.
template <typename Take, typename Code>
void ForEachShown(const std::wstring& text, Take take, Code code) {
    ForEachCodePoint(text, [&](char32_t c) {
        if (IsShownAsCode(c)) {
            code(c);
        } else {
            take(c);
        }
    });
}

} // namespace

std::string ToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    // UTF-8 cannot carry a lone surrogate; NUL would end the text for many readers.
    ForEachCodePoint(text, [&out](char32_t c) {
        AppendUtf8(out, (c >= 0xD800 && c <= 0xDFFF) || c == 0 ? Replacement : c);
    });
    return out;
}

std::wstring ShownText(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    ForEachShown(
        text,
        [&out](char32_t c) {
            if (c < 0x10000) {
                out.push_back(static_cast<wchar_t>(c));
            } else {
                out.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
                out.push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
            }
        },
        [&out](char32_t c) { AppendCode(out, c); });
    return out;
}

std::string CsvField(const std::wstring& text) {
    std::string out = "\"";
    if (!text.empty() && std::wstring(L"=+-@").find(text[0]) != std::wstring::npos) {
        out.push_back('\'');
    }
    ForEachShown(
        text,
        [&out](char32_t c) {
            if (c == '"') {
                out.push_back('"');
            }
            AppendUtf8(out, c);
        },
        [&out](char32_t c) { AppendCode(out, c); });
    out.push_back('"');
    return out;
}

std::string HtmlText(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    ForEachShown(
        text,
        [&out](char32_t c) {
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
                AppendUtf8(out, c);
            }
        },
        [&out](char32_t c) { AppendCode(out, c); });
    return out;
}

} // namespace report
