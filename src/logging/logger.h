#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

/// Raised by the stream operators when a logger refuses a piece; caught only by the entry function.
class LoggerException {
public:
    uint32_t code = 0;
};

/// Something that renders itself only when streamed into a logger.
class ILoggable {
public:
    virtual std::wstring GetText() const = 0;
    virtual WORD GetColor() const = 0;

protected:
    ~ILoggable() = default;
};

/// The one output interface: the console handler and the log file implement it.
class ILogger {
public:
    virtual bool Open(const std::wstring& path) = 0;
    virtual void Close() = 0;
    [[nodiscard]] virtual bool Write(const std::wstring& text) = 0;
    virtual ILogger& operator<<(const ILoggable& item) = 0;

    ILogger& operator<<(const wchar_t* text);
    ILogger& operator<<(const std::wstring& text);
    ILogger& operator<<(int32_t value);

    /// printf-style into 1000 characters; never raises.
    bool WriteFormatted(const wchar_t* format, ...);

protected:
    ~ILogger() = default;
    /// Writes the item's text; shared by both implementations after their colour handling.
    ILogger& StreamItemText(const ILoggable& item);

    bool isOpen = false;
};

class LogDateTime : public ILoggable {
public:
    std::wstring GetText() const override;
    WORD GetColor() const override { return 0; }
};

class LogHex : public ILoggable {
public:
    LogHex(uint64_t value, int width);
    std::wstring GetText() const override { return text; }
    WORD GetColor() const override { return 0; }

private:
    wchar_t text[64];
};

class LogBoolean : public ILoggable {
public:
    explicit LogBoolean(bool value) : value(value) {}
    std::wstring GetText() const override { return value ? L"True" : L"False"; }
    WORD GetColor() const override { return 0; }

private:
    bool value;
};

class ConsoleColor : public ILoggable {
public:
    explicit ConsoleColor(WORD attribute) : attribute(attribute) {}
    std::wstring GetText() const override { return std::wstring(); }
    WORD GetColor() const override { return attribute; }

private:
    WORD attribute;
};

class LogHorizontalLine : public ILoggable {
public:
    explicit LogHorizontalLine(size_t length) : line(length, L'-') {}
    std::wstring GetText() const override { return line; }
    WORD GetColor() const override { return 0; }

private:
    std::wstring line;
};

/// Console attributes in use: background * 16 + foreground.
namespace color {
constexpr WORD Normal = 7;
constexpr WORD Success = 10;
constexpr WORD Heading = 11;
constexpr WORD Error = 12;
constexpr WORD Warning = 14;
constexpr WORD Emphasis = 15;
} // namespace color

extern LogDateTime TheDateTime;
