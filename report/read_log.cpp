#include "read_log.h"

#include <cstdio>
#include <memory>

#include "files.h"
#include "log_line.h"
#include "output_paths.h"
#include "run_parser.h"
#include "streams/path_helpers.h"

namespace report {

namespace {

constexpr size_t ShownStart = 60;

std::wstring FirstBytesText(const std::vector<uint8_t>& bytes) {
    std::wstring text = L"starts with bytes";
    for (uint8_t byte : bytes) {
        wchar_t hex[4];
        swprintf(hex, 4, L" %02X", byte);
        text += hex;
    }
    return text;
}

} // namespace

void ReadLog(IByteSource& source, const std::wstring& path, Collector& collector) {
    LineReader reader(source);
    const LineReader::Start start = reader.ReadStart();
    const auto foreign = [&] {
        collector.OnProblem(path, Problem::NotUtf16, FirstBytesText(reader.FirstBytes()));
    };
    switch (start) {
    case LineReader::Start::ReadFailed:
        collector.OnProblem(path, Problem::Unreadable, L"cannot be read, " + FormatLastError());
        return;
    case LineReader::Start::Empty:
        collector.OnProblem(path, Problem::Empty, L"0 bytes");
        return;
    case LineReader::Start::Utf8:
    case LineReader::Start::Unmarked: {
        const std::wstring earlier = EarlierOutputKind(path);
        if (!earlier.empty()) {
            collector.OnPassedOver(path, earlier);
            return;
        }
        // Without a mark, only a text that starts as the tool's log does is read as one.
        const std::vector<uint8_t>& first = reader.FirstBytes();
        if (start == LineReader::Start::Unmarked &&
            !StartsLikeLogLine(std::wstring(first.begin(), first.end()))) {
            foreign();
            return;
        }
        break;
    }
    case LineReader::Start::Utf16:
        break;
    }
    TextLine line;
    if (!reader.Next(line)) {
        collector.OnProblem(path, Problem::Empty,
                            start == LineReader::Start::Utf16 ? L"only a UTF-16 byte-order mark"
                                                              : L"only a UTF-8 byte-order mark");
        return;
    }
    const std::wstring stamp = line.complete ? BeginStamp(line.text) : std::wstring();
    if (stamp.empty() && start == LineReader::Start::Unmarked) {
        foreign();
        return;
    }
    if (stamp.empty()) {
        collector.OnProblem(path, Problem::NotALog,
                            L"its first line is not \"[time] - Begin\": " +
                                line.text.substr(0, ShownStart));
        return;
    }
    auto parser = std::make_unique<RunParser>(collector, path, stamp);
    const auto endRun = [&](bool halfCharacter) {
        RunInfo run = parser->Finish(halfCharacter);
        run.lfLineEnds = reader.LfLineEnds();
        run.utf8Resaved = start != LineReader::Start::Utf16;
        collector.OnRunEnd(run);
    };
    while (reader.Next(line)) {
        if (line.truncated || line.malformed) {
            parser->AddDamagedLine();
            continue;
        }
        // Logs joined into one file (copy /b a+b) hold one run after another, each from its
        // own "Begin" line, which keeps its byte-order mark.
        const bool marked = !line.text.empty() && line.text[0] == L'\xFEFF';
        const std::wstring next =
            line.complete ? BeginStamp(marked ? line.text.substr(1) : line.text) : L"";
        if (!next.empty()) {
            endRun(false);
            parser = std::make_unique<RunParser>(collector, path, next);
        } else {
            parser->AddLine(line.text, line.complete);
        }
    }
    if (reader.ReadFailed()) {
        collector.OnProblem(path, Problem::Unreadable, L"reading stopped, " + FormatLastError());
    }
    endRun(reader.HalfCharacterAtEnd());
}

void ReadLogFile(const std::wstring& path, Collector& collector) {
    InputFile file;
    if (!file.Open(path)) {
        collector.OnProblem(path, Problem::Unreadable, L"cannot be opened, " + FormatLastError());
        return;
    }
    ReadLog(file, path, collector);
}

} // namespace report
