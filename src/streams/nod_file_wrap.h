#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/unique_handle.h"
#include "streams/stream_interfaces.h"

/// Owns the operating-system side of a file stream: the handle and the read-only flag.
template <typename Allocator>
class NodFileWrap {
public:
    /// Null when the file is not open.
    struct Handle {
        UniqueKernelHandle file;
    };

protected:
    /// One attempt, no retry; an invalid handle becomes a null one.
    void OpenFile(const std::wstring& path, uint32_t mode) {
        const DWORD access = mode == OpenMode::ReadOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
        const DWORD disposition = mode == OpenMode::Create ? CREATE_ALWAYS : OPEN_EXISTING;
        const HANDLE opened = sys::CreateFileW(
            path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        handle.file.reset(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
        readOnly = mode == OpenMode::ReadOnly;
    }

    HANDLE NativeHandle() const { return handle.file.get(); }

    Handle handle;
    bool readOnly = false;
    Allocator allocator;
};
