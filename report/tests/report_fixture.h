#pragma once

#include <string>
#include <vector>

#include "collector.h"
#include "csv_writer.h"
#include "outputs.h"

namespace fixtures {

struct StringOut : report::ITextOut {
    std::string text;
    void Write(const std::string& piece) override { text += piece; }
};

struct ConsoleCapture : report::IConsole {
    std::vector<std::wstring> lines;
    void Line(const std::wstring& text) override { lines.push_back(text); }
};

/// A collector writing its CSV to a string, as the report program sets one up.
struct Report {
    ConsoleCapture console;
    StringOut csvText;
    report::CsvWriter csv{csvText};
    report::Collector collector{console, &csv, true};

    /// Reads the bytes as the file at path.
    void Read(const std::wstring& path, const std::string& bytes);
    /// The CSV's rows after the header, each split into its fields (quotes removed).
    std::vector<std::vector<std::string>> Rows() const;
};

} // namespace fixtures
