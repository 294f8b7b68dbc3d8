#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/unique_handle.h"
#include "streams/file_pointer.h"
#include "streams/stream_interfaces.h"

/// Owns the operating-system side of a file stream: the handle, the read-only flag and
/// the system calls made on the handle.
template <typename Allocator> class NodFileWrap {
public:
    /// Null when the file is not open.
    struct Handle {
        UniqueKernelHandle file;
    };

public:
    /// The system's handle, for calls the stream does not make.
    HANDLE SystemHandle() const { return handle.file.get(); }

protected:
    /// One attempt, no retry; an invalid handle becomes a null one.
    void OpenFile(const std::wstring& path, OpenMode mode) {
        const DWORD access =
            mode == OpenMode::ReadOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
        const DWORD disposition = mode == OpenMode::Create      ? CREATE_ALWAYS
                                  : mode == OpenMode::CreateNew ? CREATE_NEW
                                                                : OPEN_EXISTING;
        const DWORD share = mode == OpenMode::CreateNew
                                ? FILE_SHARE_READ
                                : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        const HANDLE opened = sys::CreateFileW(path.c_str(), access, share, nullptr, disposition,
                                               FILE_ATTRIBUTE_NORMAL, nullptr);
        handle.file.reset(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
        readOnly = mode == OpenMode::ReadOnly;
    }

    void AdoptFile(UniqueFile file, OpenMode mode) {
        const HANDLE adopted = file.release();
        handle.file.reset(adopted == INVALID_HANDLE_VALUE ? nullptr : adopted);
        readOnly = mode == OpenMode::ReadOnly;
    }

    bool IsOpen() const { return static_cast<bool>(handle.file); }

    bool MovePointer(uint64_t distance, DWORD method, uint64_t& reached) {
        return MoveFilePointer(handle.file.get(), distance, method, reached);
    }

    bool ReadChunk(void* buffer, DWORD length, DWORD& count) {
        return ReadFile(handle.file.get(), buffer, length, &count, nullptr) != FALSE;
    }

    bool WriteChunk(const void* buffer, DWORD length, DWORD& written) {
        return WriteFile(handle.file.get(), buffer, length, &written, nullptr) != FALSE;
    }

    bool EndFileHere() { return SetEndOfFile(handle.file.get()) != FALSE; }

    bool FlushToDisk() { return FlushFileBuffers(handle.file.get()) != FALSE; }

    Handle handle;
    bool readOnly = false;
    Allocator allocator;
};
