#include "report_fixture.h"

#include "doctest.h"
#include "fixtures.h"
#include "parse/read_log.h"

namespace fixtures {

void Report::Read(const std::wstring& path, const std::string& bytes, const std::wstring& site) {
    MemorySource source(bytes, 13);
    report::ReadLog(source, path, site, bytes.size(), collector);
}

const report::Totals& Report::Settled() {
    if (!settled) {
        REQUIRE(collector.Settle());
        settled = true;
    }
    return collector.GetTotals();
}

CsvRows Report::FileRows() {
    Settled();
    return WithoutHeader(ParseCsv(filesText.text));
}

CsvRows Report::WithoutHeader(CsvRows rows) {
    REQUIRE(!rows.empty());
    rows.erase(rows.begin());
    return rows;
}

CsvRows ParseCsv(const std::string& text) {
    REQUIRE(text.compare(0, 3, "\xEF\xBB\xBF") == 0);
    // Every field is quoted, so a field ends at a quote followed by a comma or a line end.
    CsvRows rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
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
    return rows;
}

} // namespace fixtures
