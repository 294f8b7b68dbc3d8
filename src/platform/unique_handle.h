#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <utility>

#include "platform/system_functions.h"

/// One move-only owner per handle kind; Traits give the empty value and the release call.
template <typename Traits> class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Handle get() const { return handle; }
    explicit operator bool() const { return handle != Traits::Empty(); }
    Handle* put() {
        reset();
        return &handle;
    }
    Handle release() { return std::exchange(handle, Traits::Empty()); }

    /// Keeps the thread's last-error code: a message about the failure may still be written.
    void reset(Handle replacement = Traits::Empty()) {
        if (handle != Traits::Empty()) {
            const DWORD lastError = GetLastError();
            Traits::Release(handle);
            SetLastError(lastError);
        }
        handle = replacement;
    }

private:
    Handle handle = Traits::Empty();
};

struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static void Release(Handle h) { sys::CloseHandle(h); }
};

/// Kernel objects whose "none" value is null (process handles, mutexes).
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() { return nullptr; }
    static void Release(Handle h) { sys::CloseHandle(h); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static void Release(Handle h) { FindClose(h); }
};

/// Predefined root keys (top bit set, such as HKEY_CURRENT_USER) are not the owner's to close.
struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle Empty() { return nullptr; }
    static void Release(Handle h) {
        if ((reinterpret_cast<uintptr_t>(h) & 0x80000000u) == 0) {
            sys::RegCloseKey(h);
        }
    }
};

struct CryptProviderTraits {
    using Handle = HCRYPTPROV;
    static Handle Empty() { return 0; }
    static void Release(Handle h) { CryptReleaseContext(h, 0); }
};

struct CryptKeyTraits {
    using Handle = HCRYPTKEY;
    static Handle Empty() { return 0; }
    static void Release(Handle h) { CryptDestroyKey(h); }
};

/// Memory the system allocated with LocalAlloc for the caller (security descriptors, SID texts).
struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle Empty() { return nullptr; }
    static void Release(Handle h) { LocalFree(h); }
};

using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFind = UniqueHandle<FindHandleTraits>;
using UniqueRegKey = UniqueHandle<RegistryKeyTraits>;
using UniqueCryptProvider = UniqueHandle<CryptProviderTraits>;
using UniqueCryptKey = UniqueHandle<CryptKeyTraits>;
using UniqueLocal = UniqueHandle<LocalMemoryTraits>;
