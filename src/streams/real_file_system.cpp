#include <windows.h>

#include <vector>

#include "platform/unique_handle.h"
#include "streams/file_system.h"
#include "streams/path_helpers.h"
#include "streams/raw_file.h"
#include "streams/volumes.h"

namespace {

class HeldFile : public IHeldFile {
public:
    explicit HeldFile(UniqueFile file) : file(std::move(file)) {}

private:
    UniqueFile file;
};

class WrittenFile : public IWrittenFile {
public:
    explicit WrittenFile(const std::wstring& path)
        : path(path), file(FailedOffset, ToSystemPath(path), OpenMode::CreateNew) {}
    bool IsOpen() const { return file.GetError() == StreamError::None; }

    const std::wstring& Path() const override { return path; }
    bool Write(const void* data, uint32_t length) override {
        return file.Write(data, length) == length;
    }
    bool SetSize(uint64_t size) override { return file.SetSize(size); }
    bool Flush() override { return file.Flush(); }

private:
    std::wstring path;
    RawFile file;
};

class ReadFileOwner : public IReadFile {
public:
    explicit ReadFileOwner(UniqueFile file) : file(std::move(file)) {}
    bool Read(void* buffer, uint32_t length, uint32_t& got) override {
        DWORD count = 0;
        const bool read = ReadFile(file.get(), buffer, length, &count, nullptr) != FALSE;
        got = count;
        return read;
    }

private:
    UniqueFile file;
};

UniqueFile OpenSharedToRead(const std::wstring& path) {
    return UniqueFile(sys::CreateFileW(ToSystemPath(path).c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

class Win32FileSystem : public IFileSystem {
public:
    DWORD Attributes(const std::wstring& path) override {
        return GetFileAttributesW(ToSystemPath(path).c_str());
    }

    bool SetAttributes(const std::wstring& path, DWORD attributes) override {
        return SetFileAttributesW(ToSystemPath(path).c_str(), attributes) != FALSE;
    }

    std::unique_ptr<IHeldFile> Hold(const std::wstring& path) override {
        UniqueFile file(sys::CreateFileW(ToSystemPath(path).c_str(), GENERIC_READ | DELETE,
                                         FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file) {
            return nullptr;
        }
        return std::make_unique<HeldFile>(std::move(file));
    }

    bool Move(const std::wstring& from, const std::wstring& to) override {
        return MoveFileExW(ToSystemPath(from).c_str(), ToSystemPath(to).c_str(), 0) != FALSE;
    }

    bool Delete(const std::wstring& path) override {
        return DeleteFileW(ToSystemPath(path).c_str()) != FALSE;
    }

    std::unique_ptr<IWrittenFile> CreateNew(const std::wstring& path) override {
        auto file = std::make_unique<WrittenFile>(path);
        if (file->IsOpen()) {
            return file;
        }
        // Releasing the object must not change the error that says why it failed.
        const DWORD error = GetLastError();
        file.reset();
        SetLastError(error);
        return nullptr;
    }

    std::unique_ptr<IReadFile> OpenToRead(const std::wstring& path) override {
        UniqueFile file(sys::CreateFileW(ToSystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                         nullptr));
        if (!file) {
            return nullptr;
        }
        return std::make_unique<ReadFileOwner>(std::move(file));
    }

    bool WriteNewFile(const std::wstring& path, const std::wstring& text) override {
        UniqueFile file(sys::CreateFileW(ToSystemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                         nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return false;
        }
        const DWORD length = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        DWORD written = 0;
        if (WriteFile(file.get(), text.data(), length, &written, nullptr) && written == length &&
            FlushFileBuffers(file.get())) {
            return true;
        }
        const DWORD error = GetLastError();
        file.reset();
        DeleteFileW(ToSystemPath(path).c_str());
        SetLastError(error);
        return false;
    }

    bool ReadSmallFile(const std::wstring& path, size_t limit, std::wstring& text) override {
        UniqueFile file = OpenSharedToRead(path);
        std::vector<wchar_t> buffer(limit + 1);
        DWORD got = 0;
        if (!file ||
            !ReadFile(file.get(), buffer.data(),
                      static_cast<DWORD>(buffer.size() * sizeof(wchar_t)), &got, nullptr)) {
            return false;
        }
        if (got % sizeof(wchar_t) != 0 || got / sizeof(wchar_t) > limit) {
            SetLastError(ERROR_INVALID_DATA);
            return false;
        }
        text.assign(buffer.data(), got / sizeof(wchar_t));
        return true;
    }

    bool SameContent(const std::wstring& first, const std::wstring& second, bool& same) override {
        UniqueFile a = OpenSharedToRead(first);
        UniqueFile b = OpenSharedToRead(second);
        LARGE_INTEGER sizeA;
        LARGE_INTEGER sizeB;
        if (!a || !b || !sys::GetFileSizeEx(a.get(), &sizeA) ||
            !sys::GetFileSizeEx(b.get(), &sizeB)) {
            return false;
        }
        same = sizeA.QuadPart == sizeB.QuadPart;
        constexpr DWORD Block = 1 << 20;
        std::vector<uint8_t> blockA(Block);
        std::vector<uint8_t> blockB(Block);
        while (same) {
            DWORD gotA = 0;
            DWORD gotB = 0;
            if (!ReadFile(a.get(), blockA.data(), Block, &gotA, nullptr) ||
                !ReadFile(b.get(), blockB.data(), Block, &gotB, nullptr)) {
                return false;
            }
            if (gotA == 0 && gotB == 0) {
                break;
            }
            same =
                gotA == gotB && std::equal(blockA.begin(), blockA.begin() + gotA, blockB.begin());
        }
        return true;
    }

    bool Size(const std::wstring& path, uint64_t& size) override {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(ToSystemPath(path).c_str(), GetFileExInfoStandard, &data)) {
            return false;
        }
        size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
        return true;
    }

    bool FreeBytes(const std::wstring& path, uint64_t& freeBytes) override {
        return FreeBytesAt(path, freeBytes);
    }

    bool VolumeKeeps(const std::wstring& path, bool& accessLists, bool& streams) override {
        return ::VolumeKeeps(path, accessLists, streams);
    }

    bool Times(const std::wstring& path, FileTimes& times) override {
        return ReadTimes(ToSystemPath(path), times);
    }

    bool SetTimes(const std::wstring& path, const FileTimes& times) override {
        return WriteTimes(ToSystemPath(path), times);
    }

    bool Security(const std::wstring& path, SecurityBytes& security) override {
        return ReadSecurity(ToSystemPath(path), security);
    }

    bool SetSecurity(const std::wstring& path, const SecurityBytes& security) override {
        return WriteSecurity(ToSystemPath(path), security);
    }

    bool CloseToOthers(const std::wstring& path) override {
        return WriteClosedSecurity(ToSystemPath(path));
    }

    bool CopyStreams(const std::wstring& from, const std::wstring& to) override {
        return CopyAlternateStreams(ToSystemPath(from), ToSystemPath(to));
    }
};

} // namespace

IFileSystem& RealFileSystem() {
    static Win32FileSystem system;
    return system;
}
