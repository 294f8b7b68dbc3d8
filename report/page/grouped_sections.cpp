#include "page/grouped_sections.h"

#include "page/html.h"

namespace report {

using namespace html;

namespace {

/// Groups of reasons or notices shown; the rest are counted in one line.
constexpr uint64_t ShownGroups = 50;
constexpr uint64_t ListedProblems = 200;

/// A record's cells from the first one after the key: 'm' the machine (name and GUID, two
/// fields), 'l' the same linked to its line where the action list has one, 'p' a path, 't'
/// text.
std::string Row(const SortedSpool::Record& record, size_t keyFields, const char* cells,
                const MachineList* list) {
    std::string row = "<tr>";
    size_t field = keyFields;
    for (size_t i = 0; cells[i] != 0 && field < record.size(); ++i) {
        if (cells[i] == 'm' || cells[i] == 'l') {
            const std::wstring& guid = field + 1 < record.size() ? record[field + 1] : L"";
            uint64_t position = 0;
            const bool linked =
                cells[i] == 'l' && list && list->Position(record[field], guid, position);
            row += Cell(linked ? MachineLink(record[field], guid) : Machine(record[field], guid),
                        "machine");
            field += 2;
        } else {
            row += Cell(H(record[field]), cells[i] == 'p' ? "path" : "text");
            ++field;
        }
    }
    return row + "</tr>\n";
}

} // namespace

bool GroupedSection(ITextOut& out, const char* id, const char* title, SortedSpool& spool,
                    size_t keyFields, uint64_t listed, const char* columns, const char* cells,
                    const MachineList& list) {
    out.Write("<h2 id=\"" + std::string(id) + "\">" + std::string(title) + "</h2>\n");
    if (spool.Size() == 0) {
        out.Write("<p>None.</p>\n");
        return true;
    }
    if (!spool.Sort()) {
        return false;
    }
    SortedSpool::Record record;
    SortedSpool::Record group;
    std::string rows;
    uint64_t count = 0;
    uint64_t groups = 0;
    uint64_t hiddenGroups = 0;
    uint64_t hiddenRows = 0;
    const auto endGroup = [&]() {
        if (groups > ShownGroups) {
            ++hiddenGroups;
            hiddenRows += count;
            return;
        }
        const std::wstring name = keyFields > 1 ? group[0] + L": " + group[1] : group[0];
        out.Write("<h3>" + H(name) + " (" + N(count) + ")</h3>\n<table>\n<thead><tr>" + columns +
                  "</tr></thead>\n" + rows + "</table>\n");
        if (count > listed) {
            out.Write("<p>... and " + N(count - listed) + " more, in the CSVs.</p>\n");
        }
    };
    while (spool.Next(record)) {
        const SortedSpool::Record key(record.begin(), record.begin() + keyFields);
        if (key != group) {
            if (groups != 0) {
                endGroup();
            }
            group = key;
            rows.clear();
            count = 0;
            ++groups;
        }
        if (++count <= listed && groups <= ShownGroups) {
            rows += Row(record, keyFields, cells, &list);
        }
    }
    if (groups != 0) {
        endGroup();
    }
    if (hiddenGroups != 0) {
        out.Write("<p>... and " + N(hiddenGroups) + " more groups of " + N(hiddenRows) +
                  " in all, in the CSVs.</p>\n");
    }
    return !spool.Failed();
}

bool ProblemSection(ITextOut& out, SortedSpool& problems) {
    out.Write("<h2 id=\"problems\">Files that are not readable logs</h2>\n");
    if (problems.Size() == 0) {
        out.Write("<p>None.</p>\n");
        return true;
    }
    out.Write("<table>\n<thead><tr><th>File</th><th>Problem</th><th>Detail</th></tr></thead>\n");
    SortedSpool::Record record;
    if (!problems.Sort()) {
        return false;
    }
    uint64_t shown = 0;
    while (problems.Next(record)) {
        if (++shown <= ListedProblems) {
            out.Write(Row(record, 0, "ptt", nullptr));
        }
    }
    out.Write("</table>\n");
    if (shown > ListedProblems) {
        out.Write("<p>... and " + N(shown - ListedProblems) + " more, in the CSVs.</p>\n");
    }
    return !problems.Failed();
}

} // namespace report
