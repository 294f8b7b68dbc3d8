#include "logging/file_stream_mod.h"

#include "logging/lines.h"
#include "streams/path_helpers.h"

FileStreamMod::FileStreamMod(const std::wstring& path, OpenMode mode)
    : RawFile(FailedOffset, ToSystemPath(path), mode), path(path) {
    if (GetError() != StreamError::None) {
        LogFailure(mode == OpenMode::Create ? L"Can't create file [" : L"Can't open file [", false);
    }
}

FileStreamMod::FileStreamMod(UniqueFile file, const std::wstring& path, OpenMode mode)
    : RawFile(FailedOffset, std::move(file), mode), path(path) {
    if (GetError() != StreamError::None) {
        LogFailure(L"Can't open file [", false);
    }
}

bool FileStreamMod::SetSize(uint64_t newSize) {
    const bool result = RawFile::SetSize(newSize);
    if (!result) {
        LogFailure(L"Can't set size of file [", true);
    }
    return result;
}

uint64_t FileStreamMod::Seek(uint64_t offset, SeekOrigin origin) {
    const uint64_t result = RawFile::Seek(offset, origin);
    if (result == FailedOffset) {
        LogFailure(L"Can't set position in file [", true);
    }
    return result;
}

uint32_t FileStreamMod::Read(void* buffer, uint32_t length) {
    const uint32_t result = RawFile::Read(buffer, length);
    if (result != length) {
        LogFailure(L"Can't read data from file [", false);
    }
    return result;
}

uint32_t FileStreamMod::Write(const void* buffer, uint32_t length) {
    const uint32_t result = RawFile::Write(buffer, length);
    if (result != length) {
        LogFailure(L"Can't write data to file [", false);
    }
    return result;
}

bool FileStreamMod::Flush() {
    const bool result = RawFile::Flush();
    if (!result) {
        LogFailure(L"Can't flush file [", true);
    }
    return result;
}

bool FileStreamMod::SetPosition(uint64_t offset) {
    if ((offset >> 63) == 0 && Seek(offset, SeekOrigin::Begin) != FailedOffset) {
        return true;
    }
    LogFailure(L"Can't set position in file [", true);
    return false;
}

void FileStreamMod::LogFailure(const wchar_t* what, bool withLastError) const {
    // Taken first: writing the line's pieces may change the thread's last error.
    const std::wstring lastError = withLastError ? L", " + FormatLastError() : std::wstring();
    LogLine(prefix::Info, what + path + L"]" + lastError);
}
