#include "io/files.h"

#include <algorithm>
#include <cstring>

#include "io/temporary_outputs.h"
#include "streams/path_helpers.h"

namespace report {

namespace {

constexpr size_t BufferSize = 64 * 1024;
/// A spool merges up to 16 temporary files at once, each read through its own buffer.
constexpr size_t ReadBufferSize = 16 * 1024;

} // namespace

void BufferedWriter::Write(const void* data, size_t size) {
    if (Failed()) {
        return;
    }
    if (buffer.capacity() < BufferSize) {
        buffer.reserve(BufferSize);
    }
    const char* bytes = static_cast<const char*>(data);
    buffer.insert(buffer.end(), bytes, bytes + size);
    if (buffer.size() >= BufferSize) {
        (void)Flush();
    }
}

bool BufferedWriter::Flush() {
    size_t done = 0;
    while (!Failed() && done < buffer.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(buffer.size() - done, 1 << 20));
        if (!WriteFile(handle, buffer.data() + done, chunk, &written, nullptr) || written == 0) {
            error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_WRITE_FAULT;
        }
        done += written;
    }
    buffer.clear();
    if (Failed()) {
        SetLastError(error);
    }
    return !Failed();
}

bool BufferedWriter::Finish() {
    const bool flushed = Flush();
    std::vector<char>().swap(buffer);
    return flushed;
}

std::wstring TemporaryNameOf(const std::wstring& path) {
    return path + L".~" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
}

OutputFile::~OutputFile() {
    if (!temporary.empty()) {
        file.reset();
        DeleteFileW(ToSystemPath(temporary).c_str());
        ReleaseTemporary(ToSystemPath(temporary));
    }
}

bool OutputFile::Create(const std::wstring& target) {
    path = target;
    temporary = TemporaryNameOf(target);
    // Shared for deletion, so that a report stopped from the console can remove it.
    file.reset(CreateFileW(ToSystemPath(temporary).c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    writer.Attach(file.get());
    if (!file) {
        temporary.clear();
        return false;
    }
    HoldTemporary(ToSystemPath(temporary));
    return true;
}

bool OutputFile::Close() {
    const bool flushed = writer.Finish();
    file.reset();
    if (!flushed) {
        return false;
    }
    if (!MoveFileExW(ToSystemPath(temporary).c_str(), ToSystemPath(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return false;
    }
    ReleaseTemporary(ToSystemPath(temporary));
    temporary.clear();
    return true;
}

bool InputFile::Open(const std::wstring& path) {
    file.reset(CreateFileW(ToSystemPath(path).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    return static_cast<bool>(file);
}

bool InputFile::Read(uint8_t* buffer, uint32_t size, uint32_t& got) {
    DWORD read = 0;
    const bool ok = ReadFile(file.get(), buffer, size, &read, nullptr) != 0;
    got = read;
    return ok;
}

uint64_t InputFile::Size() const {
    LARGE_INTEGER size;
    return GetFileSizeEx(file.get(), &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
}

bool TempFile::Create() {
    wchar_t directory[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, directory);
    if (length == 0 || length > MAX_PATH || GetTempFileNameW(directory, L"brp", 0, name) == 0) {
        return false;
    }
    file.reset(CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        DeleteFileW(name);
        SetLastError(error);
        return false;
    }
    writer.Attach(file.get());
    return true;
}

bool TempFile::Rewind() {
    readPosition = readAvailable = 0;
    LARGE_INTEGER start = {};
    if (!writer.Finish() || !SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) {
        failed = true;
    }
    return !Failed();
}

bool TempFile::Read(void* data, size_t size) {
    char* out = static_cast<char*>(data);
    while (size != 0) {
        if (readPosition == readAvailable) {
            readBuffer.resize(ReadBufferSize);
            DWORD got = 0;
            if (!ReadFile(file.get(), readBuffer.data(), ReadBufferSize, &got, nullptr)) {
                failed = true;
            }
            readPosition = 0;
            readAvailable = got;
            if (got == 0) {
                return false;
            }
        }
        const size_t chunk = std::min(size, readAvailable - readPosition);
        std::memcpy(out, readBuffer.data() + readPosition, chunk);
        readPosition += chunk;
        out += chunk;
        size -= chunk;
    }
    return true;
}

bool TempFile::CopyTo(ITextOut& out) {
    if (!Rewind()) {
        return false;
    }
    std::vector<char> chunk(BufferSize);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk.data(), BufferSize, &got, nullptr)) {
            failed = true;
            return false;
        }
        if (got == 0) {
            return true;
        }
        out.Write(std::string(chunk.data(), got));
    }
}

} // namespace report
