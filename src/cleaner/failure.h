#pragma once

#include <windows.h>

#include <string>

#include "streams/path_helpers.h"

/// Why a step of a file's cleaning failed, handed up to the one place that logs it: the text of
/// its log line, empty when the step has none of its own (the stream that failed has logged
/// it), and the system's error code that goes with it, where one does.
struct Failure {
    std::wstring text;
    DWORD error = ERROR_SUCCESS;

    Failure() = default;
    explicit Failure(std::wstring text) : text(std::move(text)) {}
    Failure(std::wstring text, DWORD error) : text(std::move(text)), error(error) {}

    /// The log line's text: the reason, then its error code as the log writes codes.
    std::wstring Line() const {
        return error == ERROR_SUCCESS ? text : text + L", " + FormatError(error);
    }
};
