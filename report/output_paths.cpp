#include "output_paths.h"

#include <windows.h>

#include <cstring>

#include "csv_writer.h"
#include "files.h"
#include "html_page.h"
#include "log_line.h"
#include "streams/path_helpers.h"

namespace report {

namespace {

/// A file that exists and starts as a log of the tool does: whoever names it as an output would
/// destroy a run's only record.
bool IsLogOfTheTool(const std::wstring& path) {
    InputFile file;
    if (!file.Open(path)) {
        return false;
    }
    // In UTF-16 as the tool writes it, or re-saved as UTF-8.
    LineReader reader(file);
    const LineReader::Start start = reader.ReadStart();
    TextLine line;
    return (start == LineReader::Start::Utf16 || start == LineReader::Start::Utf8 ||
            start == LineReader::Start::Unmarked) &&
           reader.Next(line) && line.complete && !BeginStamp(line.text).empty();
}

/// The input folder or file that the output lies in or is; empty when none.
std::wstring InputHolding(const ReportOptions& options, const std::wstring& outputKey) {
    for (const std::wstring& input : options.inputs) {
        std::wstring key = PathKey(input);
        while (!key.empty() && key.back() == L'\\') {
            key.pop_back();
        }
        if (outputKey == key || outputKey.compare(0, key.size() + 1, key + L"\\") == 0) {
            return input;
        }
    }
    return std::wstring();
}

bool StartsWith(const char* bytes, size_t size, const char* prefix) {
    const size_t length = std::strlen(prefix);
    return size >= length && std::memcmp(bytes, prefix, length) == 0;
}

} // namespace

std::wstring PathKey(const std::wstring& path) {
    return CaseKey(ToSystemPath(path));
}

std::wstring CaseKey(std::wstring text) {
    if (!text.empty()) {
        CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    }
    return text;
}

bool OutputsAreSafe(const ReportOptions& options, std::wstring& reason) {
    const std::vector<const std::wstring*> outputs = options.Outputs();
    for (size_t i = 0; i < outputs.size(); ++i) {
        const std::wstring& output = *outputs[i];
        if (output.empty()) {
            continue;
        }
        for (size_t j = 0; j < i; ++j) {
            if (!outputs[j]->empty() && PathKey(*outputs[j]) == PathKey(output)) {
                reason = L"two outputs would be one file, " + output;
                return false;
            }
        }
        const std::wstring input = InputHolding(options, PathKey(output));
        if (!input.empty() && PathKey(input) == PathKey(output)) {
            reason = output + L" is one of the logs to read";
            return false;
        }
        if (IsLogOfTheTool(output)) {
            reason = output + L" is a log of the tool, which the report would replace";
            return false;
        }
    }
    return true;
}

std::wstring EarlierOutputKind(const std::wstring& path) {
    InputFile file;
    uint8_t start[512];
    uint32_t got = 0;
    if (!file.Open(path) || !file.Read(start, sizeof start, got)) {
        return std::wstring();
    }
    const char* bytes = reinterpret_cast<const char*>(start);
    if (StartsWith(bytes, got, CsvSignature) || StartsWith(bytes, got, OldCsvSignature)) {
        return L"an earlier report's CSV";
    }
    if (StartsWith(bytes, got, "<!DOCTYPE html>") &&
        std::string(bytes, got).find(PageSignature) != std::string::npos) {
        return L"an earlier report's page";
    }
    return std::wstring();
}

} // namespace report
