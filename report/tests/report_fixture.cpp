#include "report_fixture.h"

#include "fixtures.h"
#include "read_log.h"

namespace fixtures {

void Report::Read(const std::wstring& path, const std::string& bytes) {
    MemorySource source(bytes, 13);
    report::ReadLog(source, path, collector);
}

std::vector<std::vector<std::string>> Report::Rows() const {
    // Every field is quoted, so a field ends at a quote followed by a comma or a line end.
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    const std::string& text = csvText.text;
    for (size_t i = 3; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(field);
            field.clear();
        } else if (c == '\n') {
            row.push_back(field);
            field.clear();
            rows.push_back(row);
            row.clear();
        }
    }
    rows.erase(rows.begin());
    return rows;
}

} // namespace fixtures
