#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "io/line_reader.h"
#include "parse/run_parser.h"

namespace fixtures {

constexpr const wchar_t* Stamp = L"2026.01.02 03:04:05.006";

/// A line as the tool writes it: "[stamp] - " + text.
std::wstring Stamped(const std::wstring& text);

/// The bytes of a log: a byte-order mark and each text as a stamped UTF-16LE line.
std::string LogBytes(const std::vector<std::wstring>& texts);
/// The bytes of the same log re-saved as UTF-8, with its byte-order mark or without one.
std::string Utf8LogBytes(const std::vector<std::wstring>& texts, bool mark);
/// The same bytes with every "\r\n" a bare "\n", as an editor may re-save a log.
std::string WithLfLineEnds(const std::string& bytes);

/// UTF-16LE bytes of a text, without a byte-order mark.
std::string Utf16(const std::wstring& text);

/// The start of a run up to its walk, as the tool logs it; listOnly adds the mode notice.
std::vector<std::wstring> RunHead(bool listOnly = false);

/// The closing lines of a finished run.
std::vector<std::wstring> RunTail(int found, int cleaned);

std::vector<std::wstring> Join(std::initializer_list<std::vector<std::wstring>> parts);

/// One file's lines: its cleaning, then "Cleaned" or the reason it was not and "Not cleaned".
std::vector<std::wstring> Section(const std::wstring& path, const std::wstring& verdict);

/// A whole run that ended: "Begin", its head, its files' lines and its closing lines.
std::vector<std::wstring> Finished(std::initializer_list<std::vector<std::wstring>> files,
                                   int found, int cleaned, bool listOnly = false);

/// A run's lines with its computer's name, after its machine GUID.
std::vector<std::wstring> Named(std::vector<std::wstring> lines, const std::wstring& name);

/// A run's log on another day than the fixtures' stamp, of the machine with that GUID.
std::string RunOn(const std::wstring& day, const std::wstring& guid,
                  const std::vector<std::wstring>& texts);

/// Bytes handed out in chunks of a chosen size, so that lines cross chunk borders.
class MemorySource : public report::IByteSource {
public:
    explicit MemorySource(std::string bytes, uint32_t chunk = 7)
        : bytes(std::move(bytes)), chunk(chunk) {}
    bool Read(uint8_t* buffer, uint32_t size, uint32_t& got) override;

private:
    std::string bytes;
    uint32_t chunk;
    size_t position = 0;
};

/// What a run handed to its sink.
struct Capture : report::IRunSink {
    std::vector<report::FileRecord> files;
    std::vector<std::pair<report::NoticeKind, std::wstring>> notices;
    void OnFile(const report::RunInfo&, const report::FileRecord& file) override {
        files.push_back(file);
    }
    void OnNotice(const report::RunInfo&, report::NoticeKind kind,
                  const std::wstring& text) override {
        notices.emplace_back(kind, text);
    }
};

/// A fresh folder in the temporary directory, removed with everything in it.
class ScratchFolder {
public:
    /// prefix: the start of the folder's name.
    explicit ScratchFolder(const std::wstring& prefix);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    /// The names of the files in it that match the pattern ("*.log").
    std::vector<std::wstring> Names(const std::wstring& pattern) const;
    /// Its path joined with a relative one.
    std::wstring Path(const std::wstring& relative) const { return path + L"\\" + relative; }

    std::wstring path;
};

/// Writes a file with that content, replacing any.
void WriteFile(const std::wstring& path, const std::string& bytes);
/// A file's content; empty when it cannot be read.
std::string ReadFile(const std::wstring& path);

/// Parses the lines that follow "Begin" (without their stamps); every line is complete.
report::RunInfo ParseRun(const std::vector<std::wstring>& texts, Capture& capture);

} // namespace fixtures
