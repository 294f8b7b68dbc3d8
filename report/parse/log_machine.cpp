#include "parse/log_machine.h"

#include <cwchar>

#include "io/files.h"
#include "logging/log_texts.h"
#include "parse/file_start.h"
#include "parse/log_line.h"

namespace report {

namespace {

/// The system report stands within a run's first lines, before its walk.
constexpr int HeadLines = 64;

bool Inner(const std::wstring& text, const FramedText& line, std::wstring& inner) {
    const size_t head = std::wcslen(line.head);
    if (text.compare(0, head, line.head) != 0) {
        return false;
    }
    inner = text.substr(head);
    return true;
}

} // namespace

bool ReadLogMachine(const std::wstring& path, LogMachine& machine) {
    machine = LogMachine();
    InputFile file;
    if (!file.Open(path)) {
        return false;
    }
    LineReader reader(file);
    if (ReadFileStart(reader).kind != FileStart::Kind::Log) {
        return false;
    }
    TextLine line;
    for (int i = 0; i < HeadLines && reader.Next(line); ++i) {
        LogLine parsed;
        if (!line.complete || !ParseLogLine(line.text, parsed) ||
            parsed.prefix != LinePrefix::Info) {
            continue;
        }
        // The system report names the computer after its GUID.
        if (parsed.text == log_text::WalkStarts.text ||
            Inner(parsed.text, log_text::ComputerName, machine.computerName)) {
            break;
        }
        Inner(parsed.text, log_text::MachineGuid, machine.machineGuid);
    }
    return true;
}

} // namespace report
