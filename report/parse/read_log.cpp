#include "parse/read_log.h"

#include <memory>

#include "io/error_text.h"
#include "io/files.h"
#include "parse/file_start.h"
#include "parse/log_line.h"
#include "parse/run_parser.h"
#include "streams/path_helpers.h"

namespace report {

void ReadLog(IByteSource& source, const std::wstring& path, const std::wstring& site, uint64_t size,
             ILogSink& sink) {
    LineReader reader(source);
    const FileStart start = ReadFileStart(reader);
    if (start.kind == FileStart::Kind::EarlierCsv || start.kind == FileStart::Kind::EarlierPage) {
        sink.OnPassedOver(path, start.detail);
        return;
    }
    if (start.kind == FileStart::Kind::NotALog) {
        sink.OnProblem(path, start.problem, start.detail);
        return;
    }
    LogPlace place{path, site, size, 1};
    auto parser = std::make_unique<RunParser>(sink, place, start.stamp);
    const auto endRun = [&](bool halfCharacter) {
        RunInfo run = parser->Finish(halfCharacter);
        run.lfLineEnds = reader.LfLineEnds();
        run.utf8Resaved = start.encoding != LineReader::Start::Utf16;
        sink.OnRunEnd(run);
    };
    TextLine line;
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
            ++place.runInLog;
            parser = std::make_unique<RunParser>(sink, place, next);
        } else {
            parser->AddLine(line.text, line.complete);
        }
    }
    if (reader.ReadFailed()) {
        sink.OnProblem(path, Problem::Unreadable, L"reading stopped, " + LastErrorText());
    }
    endRun(reader.HalfCharacterAtEnd());
}

void ReadLogFile(const std::wstring& path, const std::wstring& site, ILogSink& sink) {
    InputFile file;
    if (!file.Open(path)) {
        sink.OnProblem(path, Problem::Unreadable, L"cannot be opened, " + LastErrorText());
        return;
    }
    ReadLog(file, path, site, file.Size(), sink);
}

bool IsLogOfTheTool(const std::wstring& path) {
    InputFile file;
    if (!file.Open(path)) {
        return false;
    }
    LineReader reader(file);
    return ReadFileStart(reader).kind == FileStart::Kind::Log;
}

} // namespace report
