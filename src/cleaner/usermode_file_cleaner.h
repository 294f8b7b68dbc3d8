#pragma once

#include <cstdint>
#include <string>

class ProgressIndicator;

/// What Scan and Clean answer.
enum class CleanerResult : int32_t {
    Ok = 0,
    NotInfected = 2,
    Failed = 4,
    /// From Scan: the path is the cleaner's record of a cleaning that a run left unfinished.
    Interrupted = 8,
};

/// The driver's only view of a cleaner: it knows nothing of any malware family.
class IUsermodeFileCleaner {
public:
    virtual ~IUsermodeFileCleaner() = default;
    [[nodiscard]] virtual bool Init() = 0;
    virtual CleanerResult Scan(const std::wstring& path) = 0;
    /// Cleans an infected file, or finishes the cleaning that an interrupted record stands for.
    virtual CleanerResult Clean(const std::wstring& path, ProgressIndicator& progress) = 0;
    virtual std::wstring GetName() const = 0;
    /// The file whose cleaning the record at path says was interrupted; empty when path is no
    /// such record.
    virtual std::wstring InterruptedFileOf(const std::wstring& path) = 0;
    /// The record of an interrupted cleaning of the file at path, which may have left the file's
    /// name since; empty when there is none.
    virtual std::wstring InterruptedRecordOf(const std::wstring& path) = 0;
    /// The bytes of encrypted content at path, or at the file an interrupted record is about:
    /// about what its cleaning writes. 0 when it cannot be read.
    virtual uint64_t InfectedSizeOf(const std::wstring& path) = 0;
};
