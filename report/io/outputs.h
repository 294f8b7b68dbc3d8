#pragma once

#include <string>

namespace report {

/// Where the report's own messages go: the console, or a capture in tests.
class IConsole {
public:
    virtual ~IConsole() = default;
    /// Writes the text (one line) and a line end.
    virtual void Line(const std::wstring& text) = 0;
    /// Shows the text in the place of the last progress line, where the output is a console
    /// (elsewhere it is lost); an empty text takes the line away, and so does the next Line.
    virtual void Progress(const std::wstring& text) = 0;
};

/// Where the CSV and the page are written: a file, or a string in tests.
class ITextOut {
public:
    virtual ~ITextOut() = default;
    virtual void Write(const std::string& text) = 0;
};

/// Standard output: the console itself when it is one, else text in the console's or the OEM
/// code page, as the tool writes it. Control, directional and invisible characters show as
/// their code (ShownText).
class StandardOutput : public IConsole {
public:
    StandardOutput();
    void Line(const std::wstring& text) override;
    void Progress(const std::wstring& text) override;

private:
    void Write(const std::wstring& text);

    void* handle;
    bool isConsole;
    size_t progressLength = 0; ///< of the progress line on the console, 0 when none is
};

} // namespace report
