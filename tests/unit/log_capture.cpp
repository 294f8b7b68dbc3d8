#include "log_capture.h"

#include <windows.h>

#include <regex>

#include "test_support.h"

LogCapture::LogCapture() : start(ReadUtf16Text(ScratchLogPath()).size()) {}

std::wstring LogCapture::Text() const {
    return ReadUtf16Text(ScratchLogPath()).substr(start);
}

std::vector<std::wstring> LogCapture::Lines() const {
    static const std::wregex head(
        L"\\[\\d{4}\\.\\d{2}\\.\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}\\] - ");
    const std::wstring text = Text();
    std::vector<std::wstring> lines;
    size_t from = 0;
    while (from < text.size()) {
        const size_t end = text.find(L"\r\n", from);
        if (end == std::wstring::npos) {
            lines.push_back(text.substr(from));
            break;
        }
        std::wstring line = text.substr(from, end - from);
        std::wsmatch match;
        if (std::regex_search(line, match, head, std::regex_constants::match_continuous)) {
            line.erase(0, match.length());
        }
        lines.push_back(line);
        from = end + 2;
    }
    return lines;
}

std::string Printable(const std::vector<std::wstring>& lines) {
    std::string text;
    for (const std::wstring& line : lines) {
        text += "\n  " + Utf8(line);
    }
    return text;
}
