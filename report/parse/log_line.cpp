#include "parse/log_line.h"

#include "logging/log_texts.h"

namespace report {

namespace {

// "[" + "YYYY.MM.DD hh:mm:ss.mmm" + "] - ": the 'd' places take a digit.
constexpr wchar_t Head[] = L"[dddd.dd.dd dd:dd:dd.ddd] - ";
constexpr size_t HeadLength = sizeof Head / sizeof Head[0] - 1;
constexpr size_t StampLength = 23;

/// The first count characters of text follow the head's pattern.
bool FollowsHead(const std::wstring& text, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const wchar_t c = text[i];
        if (Head[i] == L'd' ? (c < L'0' || c > L'9') : c != Head[i]) {
            return false;
        }
    }
    return true;
}

bool HasHead(const std::wstring& line) {
    return line.size() >= HeadLength && FollowsHead(line, HeadLength);
}

struct PrefixText {
    LinePrefix prefix;
    const wchar_t* text;
};

constexpr PrefixText Prefixes[] = {
    {LinePrefix::Info, prefix::Info},
    {LinePrefix::Warning, prefix::Warning},
    {LinePrefix::Error, prefix::Error},
};

} // namespace

bool ParseLogLine(const std::wstring& line, LogLine& parsed) {
    if (!HasHead(line)) {
        return false;
    }
    parsed.stamp.assign(line, 1, StampLength);
    parsed.prefix = LinePrefix::None;
    size_t textStart = HeadLength;
    for (const PrefixText& candidate : Prefixes) {
        if (line.compare(HeadLength, std::wstring::traits_type::length(candidate.text),
                         candidate.text) == 0) {
            parsed.prefix = candidate.prefix;
            textStart += std::wstring::traits_type::length(candidate.text);
            break;
        }
    }
    parsed.text.assign(line, textStart, std::wstring::npos);
    return true;
}

bool StartsLikeLogLine(const std::wstring& text) {
    return FollowsHead(text, text.size() < HeadLength ? text.size() : HeadLength);
}

std::wstring BeginStamp(const std::wstring& line) {
    LogLine parsed;
    if (!ParseLogLine(line, parsed) || parsed.prefix != LinePrefix::None ||
        parsed.text != log_text::Begin.text) {
        return std::wstring();
    }
    return parsed.stamp;
}

} // namespace report
