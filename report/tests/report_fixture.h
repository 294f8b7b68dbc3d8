#pragma once

#include <string>
#include <vector>

#include "csv/csv_rows.h"
#include "fleet/collector.h"
#include "io/outputs.h"

namespace fixtures {

struct StringOut : report::ITextOut {
    std::string text;
    void Write(const std::string& piece) override { text += piece; }
};

struct ConsoleCapture : report::IConsole {
    std::vector<std::wstring> lines;
    std::vector<std::wstring> progress;
    void Line(const std::wstring& text) override { lines.push_back(text); }
    void Progress(const std::wstring& text) override { progress.push_back(text); }
};

using CsvRows = std::vector<std::vector<std::string>>;

/// A CSV's rows after the byte-order mark, each split into its fields (quotes removed).
CsvRows ParseCsv(const std::string& text);

/// A collector writing its three CSVs to strings and keeping what the page shows, as the
/// report program sets one up.
struct Report {
    explicit Report(bool failedOnly = false)
        : rows(&files, &runs, &problems, failedOnly), collector(console, rows, true) {}

    ConsoleCapture console;
    StringOut filesText;
    StringOut runsText;
    StringOut problemsText;
    report::CsvTable files{filesText, report::FilesHeader};
    report::CsvTable runs{runsText, report::RunsHeader};
    report::CsvTable problems{problemsText, report::ProblemsHeader};
    report::CsvRows rows;
    report::Collector collector;

    /// Reads the bytes as the file at path, collected in the site's folder.
    void Read(const std::wstring& path, const std::string& bytes,
              const std::wstring& site = L"logs");
    /// Settles the collector once, after the last Read; the totals are then complete.
    const report::Totals& Settled();
    /// Each CSV's rows after its header; the files CSV is written when the collector settles.
    CsvRows FileRows();
    CsvRows RunRows() const { return WithoutHeader(ParseCsv(runsText.text)); }
    CsvRows ProblemRows() const { return WithoutHeader(ParseCsv(problemsText.text)); }

private:
    static CsvRows WithoutHeader(CsvRows rows);
    bool settled = false;
};

} // namespace fixtures
