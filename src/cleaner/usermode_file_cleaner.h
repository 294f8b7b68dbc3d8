#pragma once

#include <cstdint>
#include <string>

class ProgressIndicator;

/// What Scan and Clean answer.
enum CleanerResult : int32_t {
    Ok = 0,
    NotInfected = 2,
    Failed = 4,
};

/// The driver's only view of a cleaner: it knows nothing of any malware family.
class IUsermodeFileCleaner {
public:
    virtual ~IUsermodeFileCleaner() = default;
    [[nodiscard]] virtual bool Init() = 0;
    virtual CleanerResult Scan(const std::wstring& path) = 0;
    virtual CleanerResult Clean(const std::wstring& path, ProgressIndicator& progress) = 0;
    virtual std::wstring GetName() const = 0;
};
