#include "app/expected_machines.h"

#include "io/files.h"
#include "io/line_reader.h"
#include "streams/path_helpers.h"

namespace report {

namespace {

/// Each name of a line: a line feed inside a line that an editor ended with "\r\n" ends a name
/// too.
void ExpectNames(const std::wstring& line, const std::wstring& path, Collector& collector) {
    size_t start = 0;
    while (start <= line.size()) {
        size_t end = line.find(L'\n', start);
        end = end == std::wstring::npos ? line.size() : end;
        const std::wstring name = line.substr(start, end - start);
        const size_t first = name.find_first_not_of(L" \t\r\\");
        if (first != std::wstring::npos) {
            collector.Expect(name.substr(first, name.find_last_not_of(L" \t\r") + 1 - first), path);
        }
        start = end + 1;
    }
}

} // namespace

bool ReadExpectedMachines(const std::wstring& path, Collector& collector, std::wstring& error) {
    InputFile file;
    LineReader reader(file);
    if (file.Open(path) && reader.ReadStart() != LineReader::Start::ReadFailed) {
        TextLine line;
        while (reader.Next(line)) {
            ExpectNames(line.text, path, collector);
        }
        if (!reader.ReadFailed()) {
            return true;
        }
    }
    error = L"Can't read the list of machines expected, " + path + L", " + FormatLastError();
    return false;
}

} // namespace report
