#pragma once

#include <memory>
#include <string>

#include "logging/logger.h"
#include "streams/raw_file.h"

/// Appends UTF-16LE text to a file that starts with a byte-order mark.
class LogFile : public ILogger {
public:
    using ILogger::operator<<;

    bool Open(const std::wstring& path) override;
    void Close() override;
    [[nodiscard]] bool Write(const std::wstring& text) override;
    ILogger& operator<<(const ILoggable& item) override;

private:
    // The plain stream: a failure of the log must never itself be logged.
    std::unique_ptr<RawFile> stream;
};

extern LogFile TheLogFile;
