#include "logging/log_file.h"

#include <new>

LogFile TheLogFile;

bool LogFile::Open(const std::wstring& path) {
    stream.reset();
    stream.reset(new (std::nothrow) RawFile(0xFFFFFFFFull, path, OpenMode::Create));
    if (!stream) {
        return false;
    }
    const uint8_t byteOrderMark[2] = {0xFF, 0xFE};
    if (stream->Write(byteOrderMark, 2) != 2) {
        return false;
    }
    isOpen = true;
    return true;
}

void LogFile::Close() {
    stream.reset();
    isOpen = false;
}

bool LogFile::Write(const std::wstring& text) {
    // A reopen that could not even build its stream leaves isOpen set and no stream.
    if (!isOpen || !stream) {
        return false;
    }
    // One write takes at most 4 GiB; only a 64-bit process can even hold a longer line.
    if (text.size() > UINT32_MAX / sizeof(wchar_t)) {
        return false;
    }
    const uint32_t length = static_cast<uint32_t>(text.size() * sizeof(wchar_t));
    return stream->Write(text.data(), length) == length;
}

ILogger& LogFile::operator<<(const ILoggable& item) {
    return StreamItemText(item);
}
