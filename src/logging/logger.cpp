#include "logging/logger.h"

#include <algorithm>
#include <cstdarg>
#include <cwchar>

LogDateTime TheDateTime;

ILogger& ILogger::operator<<(const wchar_t* text) {
    return *this << std::wstring(text);
}

ILogger& ILogger::operator<<(const std::wstring& text) {
    if (!Write(text)) {
        throw LoggerException();
    }
    return *this;
}

ILogger& ILogger::operator<<(int32_t value) {
    wchar_t buffer[16];
    swprintf(buffer, 16, L"%d", value);
    return *this << buffer;
}

bool ILogger::WriteFormatted(const wchar_t* format, ...) {
    constexpr int capacity = 1000;
    wchar_t buffer[capacity];
    va_list args;
    va_start(args, format);
    const int length = vswprintf(buffer, capacity, format, args);
    va_end(args);
    if (length < 1) {
        return false;
    }
    // A cut-off text reports the length it would have had: only what the buffer holds is
    // written.
    return Write(std::wstring(buffer, static_cast<size_t>(std::min(length, capacity - 1))));
}

ILogger& ILogger::StreamItemText(const ILoggable& item) {
    const std::wstring text = item.GetText();
    if (!text.empty()) {
        *this << text;
    }
    return *this;
}

std::wstring LogDateTime::GetText() const {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t buffer[32];
    swprintf(buffer, 32, L"%04d.%02d.%02d %02d:%02d:%02d.%03d", now.wYear, now.wMonth, now.wDay,
             now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    return buffer;
}

LogHex::LogHex(uint64_t value, int width) {
    // A width that would not fit the buffer is clamped, so the text always ends inside it.
    if (width > 63) {
        width = 63;
    }
    swprintf(text, 64, L"%0*llX", width, static_cast<unsigned long long>(value));
}
