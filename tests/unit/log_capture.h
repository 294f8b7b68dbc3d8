#pragma once

#include <string>
#include <vector>

/// The lines that code under test appends to the scratch log after this object is made.
class LogCapture {
public:
    LogCapture();

    /// Everything appended since construction, stamps included.
    std::wstring Text() const;

    /// Each complete line without its "[stamp] - " head; a line without that head, or
    /// an unfinished last line, is returned whole so that a comparison shows it.
    std::vector<std::wstring> Lines() const;

private:
    size_t start;
};

/// Lines as UTF-8, one per row, for a failure message.
std::string Printable(const std::vector<std::wstring>& lines);
