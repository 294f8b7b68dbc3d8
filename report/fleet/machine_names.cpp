// Machines by their names: the other names of a machine's GUID, and the machines expected that
// sent no log.
#include "fleet/machine_names.h"

#include "fleet/collector.h"
#include "fleet/computer_names.h"
#include "streams/path_helpers.h"

namespace report {

namespace {

/// The fields of guidNames: the GUID, the latest run's stamp (descending), the name, the stamp.
enum GuidNameField { GuidField, DescendingField, NameField, LatestField };

/// The names of a GUID that another name's note lists at most.
constexpr size_t ListedNames = 3;
/// A GUID's first names are held to find the others of each: the latest few, and one more to
/// tell whether there are more than those.
constexpr size_t HeldNames = ListedNames + 2;

std::wstring NameAndRun(const SortedSpool::Record& name) {
    return name[NameField] + L" (latest run " + name[LatestField] + L")";
}

} // namespace

std::wstring DescendingStamp(const std::wstring& stamp) {
    std::wstring key = stamp;
    for (wchar_t& c : key) {
        if (c >= L'0' && c <= L'9') {
            c = static_cast<wchar_t>(L'9' - (c - L'0'));
        }
    }
    return key;
}

bool Collector::SettleNames() {
    if (!guidNames.Sort()) {
        return false;
    }
    SortedSpool::Record record;
    bool more = guidNames.Next(record);
    while (more) {
        // A GUID's names, latest first: the first few are held, the rest only pass.
        const std::wstring guid = record[GuidField];
        std::vector<SortedSpool::Record> held;
        while (more && record[GuidField] == guid && held.size() < HeldNames) {
            held.push_back(std::move(record));
            more = guidNames.Next(record);
        }
        const bool beyond = more && record[GuidField] == guid;
        const auto note = [&](const SortedSpool::Record& name, bool isHeld) {
            std::wstring listed;
            size_t others = 0;
            for (const SortedSpool::Record& other : held) {
                if (other[NameField] == name[NameField]) {
                    continue;
                }
                if (++others <= ListedNames) {
                    listed += (listed.empty() ? L"" : L", ") + NameAndRun(other);
                }
            }
            if (others > ListedNames || beyond || !isHeld) {
                listed += L", and more";
            }
            const bool later = held.front()[NameField] != name[NameField] &&
                               held.front()[LatestField] > name[LatestField];
            Keep(otherNames, {name[NameField], guid, listed, later ? L"1" : L"0"});
        };
        if (held.size() > 1) {
            for (const SortedSpool::Record& name : held) {
                note(name, true);
            }
        }
        while (more && record[GuidField] == guid) {
            note(record, false);
            more = guidNames.Next(record);
        }
    }
    return !guidNames.Failed();
}

bool Collector::SettleExpected() {
    if (expected.Size() == 0) {
        return true;
    }
    if (!expected.Sort() || !seenNames.Sort()) {
        return false;
    }
    SortedSpool::Record seen;
    bool moreSeen = seenNames.Next(seen);
    SortedSpool::Record name;
    std::wstring last;
    while (expected.Next(name)) {
        if (name[0] == last) {
            continue;
        }
        last = name[0];
        while (moreSeen && seen[0] < name[0]) {
            moreSeen = seenNames.Next(seen);
        }
        if (moreSeen && seen[0] == name[0]) {
            continue;
        }
        MachineState machine;
        machine.computerName = name[1];
        machine.site = sites != nullptr ? sites->SiteOf(machine.computerName) : L"";
        machine.noLog = true;
        rows.Problem({machine.computerName, L"", L"", L"", L"no log",
                      L"on the list of machines expected (" + expectList +
                          L"), and none of the logs read is its"});
        Count(machine);
    }
    return !expected.Failed() && !seenNames.Failed();
}

} // namespace report
