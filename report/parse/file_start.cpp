#include "parse/file_start.h"

#include <cstdio>
#include <cwchar>

#include "io/error_text.h"
#include "io/files.h"
#include "parse/log_line.h"
#include "streams/path_helpers.h"

namespace report {

namespace {

constexpr size_t ShownStart = 60;
/// The page's signature stands within its first lines.
constexpr int PageHeadLines = 8;

std::wstring FirstBytesText(const std::vector<uint8_t>& bytes) {
    std::wstring text = L"starts with bytes";
    for (uint8_t byte : bytes) {
        wchar_t hex[4];
        swprintf(hex, 4, L" %02X", byte);
        text += hex;
    }
    return text;
}

bool StartsWith(const std::wstring& text, const wchar_t* head) {
    return text.compare(0, std::wcslen(head), head) == 0;
}

/// A page the report wrote: "<!DOCTYPE html>", then its signature within its head.
bool IsEarlierPage(LineReader& reader, const TextLine& first) {
    if (first.text != L"<!DOCTYPE html>") {
        return false;
    }
    const std::string signature = PageSignature;
    const std::wstring wide(signature.begin(), signature.end());
    TextLine line;
    for (int i = 0; i < PageHeadLines && reader.Next(line); ++i) {
        if (line.text.find(wide) != std::wstring::npos) {
            return true;
        }
    }
    return false;
}

FileStart NotALog(FileStart start, Problem problem, const std::wstring& detail) {
    start.kind = FileStart::Kind::NotALog;
    start.problem = problem;
    start.detail = detail;
    return start;
}

} // namespace

FileStart ReadFileStart(LineReader& reader) {
    FileStart start;
    start.encoding = reader.ReadStart();
    const bool utf16 = start.encoding == LineReader::Start::Utf16;
    const bool unmarked = start.encoding == LineReader::Start::Unmarked;
    switch (start.encoding) {
    case LineReader::Start::ReadFailed:
        return NotALog(start, Problem::Unreadable, L"cannot be read, " + LastErrorText());
    case LineReader::Start::Empty:
        return NotALog(start, Problem::Empty, L"0 bytes");
    default:
        break;
    }
    const std::wstring foreign = FirstBytesText(reader.FirstBytes());
    // The tool writes little-endian UTF-16: a big-endian text was never one of its logs.
    if (start.encoding == LineReader::Start::Utf16Be) {
        return NotALog(start, Problem::NotUtf16, foreign);
    }
    // Without a mark, only a text that starts as the tool's log does, or as a page of the
    // report's, is read further.
    const std::vector<uint8_t>& first = reader.FirstBytes();
    if (unmarked && !StartsLikeLogLine(std::wstring(first.begin(), first.end())) &&
        first[0] != '<') {
        return NotALog(start, Problem::NotUtf16, foreign);
    }
    TextLine line;
    if (!reader.Next(line)) {
        return NotALog(start, Problem::Empty,
                       utf16 ? L"only a UTF-16 byte-order mark" : L"only a UTF-8 byte-order mark");
    }
    if (start.encoding == LineReader::Start::Utf8 &&
        (StartsWith(line.text, CsvSignature) || StartsWith(line.text, OldCsvSignature))) {
        start.kind = FileStart::Kind::EarlierCsv;
        start.detail = L"an earlier report's CSV";
        return start;
    }
    if (unmarked && IsEarlierPage(reader, line)) {
        start.kind = FileStart::Kind::EarlierPage;
        start.detail = L"an earlier report's page";
        return start;
    }
    start.stamp = line.complete ? BeginStamp(line.text) : std::wstring();
    if (start.stamp.empty() && unmarked) {
        return NotALog(start, Problem::NotUtf16, foreign);
    }
    if (start.stamp.empty()) {
        return NotALog(start, Problem::NotALog,
                       L"its first line is not \"[time] - Begin\": " +
                           line.text.substr(0, ShownStart));
    }
    start.kind = FileStart::Kind::Log;
    return start;
}

bool IsEarlierOutput(const std::wstring& path, bool page) {
    InputFile file;
    if (!file.Open(path)) {
        return false;
    }
    LineReader reader(file);
    return ReadFileStart(reader).kind ==
           (page ? FileStart::Kind::EarlierPage : FileStart::Kind::EarlierCsv);
}

} // namespace report
