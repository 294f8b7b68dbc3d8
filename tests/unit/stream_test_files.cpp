#include "stream_test_files.h"

#include <windows.h>

#include "test_support.h"

std::vector<unsigned char> Pattern(size_t size, unsigned seed) {
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>((i * 31 + seed) % 251);
    }
    return bytes;
}

std::wstring MakeFile(const std::wstring& path, size_t size, unsigned seed) {
    WriteBytes(path, Pattern(size, seed));
    return path;
}

bool TruncateFromOutside(const std::wstring& path, long size) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool done = SetFilePointer(file, size, nullptr, FILE_BEGIN) == static_cast<DWORD>(size) &&
                      SetEndOfFile(file);
    CloseHandle(file);
    return done;
}
