#pragma once

#include <windows.h>

#include <string>

#include "streams/path_helpers.h"

/// Why a step of a file's cleaning failed, handed up to the one place that logs it: the text of
/// its log line, empty when the step has none of its own (the stream or the question that
/// failed has logged it), the system's error code that goes with it, where one does, and a
/// second line that says what to do, where the user can do something.
struct Failure {
    std::wstring text;
    DWORD error = ERROR_SUCCESS;
    std::wstring next;

    Failure() = default;
    explicit Failure(std::wstring text) : text(std::move(text)) {}
    Failure(std::wstring text, DWORD error) : text(std::move(text)), error(error) {}

    /// A refusal because a file has a name the cleaning needs: the second line names it.
    static Failure InTheWay(std::wstring text, const std::wstring& path);

    /// The failure with the thread's last error, taken before anything can change it.
    static Failure WithLastError(std::wstring text) {
        const DWORD error = GetLastError();
        return Failure(std::move(text), error);
    }

    /// The log line's text: the reason, then its error code as the log writes codes.
    std::wstring Line() const {
        return error == ERROR_SUCCESS ? text : text + L", " + FormatError(error);
    }
};

/// Writes the failure's line (none when its text is empty), then the line that says what to do.
void LogFailure(const Failure& failure);
