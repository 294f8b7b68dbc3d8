#include "app/list_file.h"

#include <cwchar>

#include "io/error_text.h"
#include "io/files.h"
#include "io/line_reader.h"

namespace report {

namespace {

/// Finds a line's first character that no list holds: a control character other than a tab or
/// a line end, a noncharacter, or half of a UTF-16 pair.
bool FindForeign(const std::wstring& line, wchar_t& found) {
    for (size_t i = 0; i < line.size(); ++i) {
        const wchar_t c = line[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        const bool low = c >= 0xDC00 && c <= 0xDFFF;
        if (high && i + 1 < line.size() && line[i + 1] >= 0xDC00 && line[i + 1] <= 0xDFFF) {
            ++i;
            continue;
        }
        if ((c < 0x20 && c != L'\t' && c != L'\r' && c != L'\n') || (c >= 0x7F && c <= 0x9F) ||
            c == 0xFFFE || c == 0xFFFF || high || low) {
            found = c;
            return true;
        }
    }
    return false;
}

std::wstring Code(wchar_t c) {
    wchar_t text[16];
    swprintf(text, 16, L"U+%04X", static_cast<unsigned>(c));
    return text;
}

} // namespace

ListRead ReadListFile(const std::wstring& path, const wchar_t* what,
                      const std::function<void(const std::wstring&)>& take, std::wstring& reason) {
    const std::wstring named = std::wstring(what) + L", " + path + L", ";
    const auto failed = [&]() {
        reason = L"Can't read " + named + LastErrorText();
        return ListRead::Failed;
    };
    const auto refused = [&](const std::wstring& why) {
        reason = named + why;
        return ListRead::Refused;
    };
    const wchar_t* const notText = L"is not text in UTF-16, UTF-8 or ASCII: ";
    InputFile file;
    if (!file.Open(path)) {
        return failed();
    }
    LineReader reader(file);
    const LineReader::Start start = reader.ReadStart();
    if (start == LineReader::Start::ReadFailed) {
        return failed();
    }
    const std::vector<uint8_t>& first = reader.FirstBytes();
    if (start == LineReader::Start::Unmarked && first.size() >= 2 &&
        (first[0] == 0) != (first[1] == 0)) {
        // Names start with letters or digits: one zero byte beside each is UTF-16 without a
        // mark, the zero first in big-endian order.
        reader.ReadAsUtf16(first[0] == 0);
    }
    TextLine line;
    uint64_t number = 0;
    while (reader.Next(line)) {
        ++number;
        const std::wstring at = L" at line " + std::to_wstring(number);
        if (line.malformed) {
            return refused(notText + std::wstring(L"bytes that are not UTF-8") + at);
        }
        if (line.truncated) {
            return refused(notText + std::wstring(L"a line longer than ") +
                           std::to_wstring(LineReader::MaxLineLength) + L" characters" + at);
        }
        wchar_t foreign = 0;
        if (!FindForeign(line.text, foreign)) {
            // A line feed inside a line that an editor ended with "\r\n" ends an entry too.
            for (size_t from = 0; from <= line.text.size();) {
                size_t end = line.text.find(L'\n', from);
                end = end == std::wstring::npos ? line.text.size() : end;
                const size_t last = end > from && line.text[end - 1] == L'\r' ? end - 1 : end;
                take(line.text.substr(from, last - from));
                from = end + 1;
            }
            continue;
        }
        if (foreign >= 0xD800 && foreign <= 0xDFFF) {
            return refused(notText + std::wstring(L"half of a UTF-16 pair (") + Code(foreign) +
                           L")" + at);
        }
        return refused(L"holds a control character (" + Code(foreign) + L")" + at +
                       L", which no name holds");
    }
    if (reader.ReadFailed()) {
        return failed();
    }
    if (reader.HalfCharacterAtEnd()) {
        return refused(notText + std::wstring(L"it ends inside a character"));
    }
    return ListRead::Read;
}

} // namespace report
