#pragma once

#include <string>

namespace report {

/// Where the CSV and the page are written: a file, or a string in tests.
class ITextOut {
public:
    virtual ~ITextOut() = default;
    virtual void Write(const std::string& text) = 0;
};

} // namespace report
