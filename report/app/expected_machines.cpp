#include "app/expected_machines.h"

#include "app/list_file.h"

namespace report {

ListRead ReadExpectedMachines(const std::wstring& path, Collector& collector,
                              std::wstring& reason) {
    return ReadListFile(
        path, L"the list of machines expected",
        [&](const std::wstring& line) {
            const size_t first = line.find_first_not_of(L" \t\\");
            if (first != std::wstring::npos) {
                collector.Expect(line.substr(first, line.find_last_not_of(L" \t") + 1 - first),
                                 path);
            }
        },
        reason);
}

} // namespace report
