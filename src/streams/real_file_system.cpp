#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/unique_handle.h"
#include "streams/cleaning_claim.h"
#include "streams/file_pointer.h"
#include "streams/file_system.h"
#include "streams/raw_file.h"
#include "streams/relative_files.h"

namespace {

HANDLE FolderHandle(const IFolder& folder) {
    return static_cast<const HeldFolder&>(folder).Handle();
}

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

relative::OpenRequest Request(ACCESS_MASK access, DWORD share) {
    relative::OpenRequest request;
    request.access = access;
    request.share = share;
    return request;
}

/// Opens an entry of the folder that is a plain file of one name; anything else is refused
/// with NotPlainError before a byte of it is touched.
UniqueFile OpenPlain(const IFolder& folder, const std::wstring& name,
                     const relative::OpenRequest& request) {
    UniqueFile file = relative::Open(FolderHandle(folder), name, request);
    relative::Facts facts;
    if (!file || !relative::FactsOf(file.get(), facts)) {
        return UniqueFile();
    }
    if (!relative::IsPlain(facts)) {
        SetLastError(NotPlainError);
        return UniqueFile();
    }
    return file;
}

class HeldFile : public IHeldFile {
public:
    HeldFile(UniqueKernelHandle claim, UniqueFile file, const IFolder& folder,
             const std::wstring& name)
        : claim(std::move(claim)), file(std::move(file)), folder(folder), name(name) {}

    const std::wstring& Name() const override { return name; }
    std::wstring Path() const override { return folder.PathOf(name); }
    bool Rename(const std::wstring& newName) override {
        if (!relative::Rename(file.get(), FolderHandle(folder), newName)) {
            return false;
        }
        name = newName;
        return true;
    }
    UniqueFile OpenData() override {
        HANDLE copy = INVALID_HANDLE_VALUE;
        if (!DuplicateHandle(GetCurrentProcess(), file.get(), GetCurrentProcess(), &copy, 0, FALSE,
                             DUPLICATE_SAME_ACCESS)) {
            return UniqueFile();
        }
        UniqueFile data(copy);
        // The copy shares the hold's position, which nothing else moves.
        uint64_t start = 0;
        if (!MoveFilePointer(data.get(), 0, FILE_BEGIN, start)) {
            return UniqueFile();
        }
        return data;
    }
    bool Attributes(DWORD& attributes) override {
        relative::Facts facts;
        if (!relative::FactsOf(file.get(), facts)) {
            return false;
        }
        attributes = facts.attributes;
        return true;
    }
    bool Times(FileTimes& times) override { return ReadTimes(file.get(), times); }
    bool Security(SecurityBytes& security) override { return ReadSecurity(file.get(), security); }

    HANDLE Handle() const { return file.get(); }

private:
    /// Given up after the file: a run that finds the file free and the claim still there is
    /// told the truth, that another run is finishing with it.
    UniqueKernelHandle claim;
    UniqueFile file;
    const IFolder& folder;
    std::wstring name;
};

class OutputFile : public IOutputFile {
public:
    OutputFile(UniqueFile handle, const IFolder& folder, const std::wstring& name)
        : file(FailedOffset, std::move(handle), OpenMode::CreateNew), folder(folder),
          path(folder.PathOf(name)) {}
    ~OutputFile() override = default;

    const std::wstring& Path() const override { return path; }
    bool Write(const void* data, uint32_t length) override {
        return file.Write(data, length) == length;
    }
    bool SetSize(uint64_t size) override { return file.SetSize(size); }
    bool Flush() override { return file.Flush(); }

    bool VolumeKeeps(bool& accessLists, bool& streams) override {
        return ::VolumeKeeps(Handle(), accessLists, streams);
    }
    bool SetTimes(const FileTimes& times) override { return WriteTimes(Handle(), times); }
    bool SetAttributes(DWORD attributes) override {
        return relative::SetAttributes(Handle(), attributes);
    }
    bool SetSecurity(const SecurityBytes& security) override {
        return WriteSecurity(Handle(), security);
    }
    bool Rename(const std::wstring& name) override {
        if (!relative::Rename(Handle(), FolderHandle(folder), name)) {
            return false;
        }
        path = folder.PathOf(name);
        return true;
    }
    bool Remove() override {
        // A read-only file refuses its deletion.
        return relative::SetAttributes(Handle(), FILE_ATTRIBUTE_NORMAL) &&
               relative::MarkDeleted(Handle());
    }

    HANDLE Handle() const { return file.SystemHandle(); }

private:
    RawFile file;
    const IFolder& folder;
    std::wstring path;
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
    bool Remove() override {
        return relative::SetAttributes(file.get(), FILE_ATTRIBUTE_NORMAL) &&
               relative::MarkDeleted(file.get());
    }

private:
    UniqueFile file;
};

class Win32FileSystem : public IFileSystem {
public:
    DWORD Attributes(const IFolder& folder, const std::wstring& name) override {
        // The folder itself and its parent, which no single name may stand for.
        if (name == L"." || name == L"..") {
            return FILE_ATTRIBUTE_DIRECTORY;
        }
        relative::OpenRequest request = Request(0, ShareAll);
        request.eitherKind = true;
        const UniqueFile entry = relative::Open(FolderHandle(folder), name, request);
        relative::Facts facts;
        if (!entry || !relative::FactsOf(entry.get(), facts)) {
            return INVALID_FILE_ATTRIBUTES;
        }
        return facts.attributes;
    }

    std::unique_ptr<IHeldFile> Hold(const IFolder& folder, const std::wstring& name) override {
        UniqueFile file =
            OpenPlain(folder, name, Request(GENERIC_READ | DELETE | READ_CONTROL, FILE_SHARE_READ));
        relative::Facts facts;
        if (!file || !relative::FactsOf(file.get(), facts)) {
            return nullptr;
        }
        UniqueKernelHandle claim = ClaimCleaning(facts.volume, facts.index);
        if (!claim) {
            return nullptr;
        }
        return std::make_unique<HeldFile>(std::move(claim), std::move(file), folder, name);
    }

    bool IsBeingCleaned(const IFolder& folder, const std::wstring& name) override {
        // Opened for its identity alone, which no program's hold refuses.
        const UniqueFile entry = relative::Open(FolderHandle(folder), name, Request(0, ShareAll));
        relative::Facts facts;
        return entry && relative::FactsOf(entry.get(), facts) &&
               IsCleaningClaimed(facts.volume, facts.index);
    }

    bool Move(const IFolder& folder, const std::wstring& from, const std::wstring& to) override {
        const UniqueFile file = OpenPlain(folder, from, Request(DELETE, ShareAll));
        return file && relative::Rename(file.get(), FolderHandle(folder), to);
    }

    bool Delete(const IFolder& folder, const std::wstring& name) override {
        const UniqueFile file =
            OpenPlain(folder, name, Request(DELETE | FILE_WRITE_ATTRIBUTES, ShareAll));
        relative::Facts facts;
        if (!file || !relative::FactsOf(file.get(), facts)) {
            return false;
        }
        if ((facts.attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
            !relative::SetAttributes(file.get(), FILE_ATTRIBUTE_NORMAL)) {
            return false;
        }
        return relative::MarkDeleted(file.get());
    }

    std::unique_ptr<IOutputFile> CreateNew(const IFolder& folder,
                                           const std::wstring& name) override {
        SecurityBytes closed;
        if (!ClosedSecurity(closed)) {
            return nullptr;
        }
        relative::OpenRequest request = Request(GENERIC_READ | GENERIC_WRITE | DELETE | WRITE_DAC |
                                                    WRITE_OWNER | FILE_WRITE_ATTRIBUTES,
                                                FILE_SHARE_READ);
        request.disposition = relative::Disposition::CreateNew;
        request.security = closed.data();
        UniqueFile handle = relative::Open(FolderHandle(folder), name, request);
        if (!handle) {
            return nullptr;
        }
        // Not every system applies a descriptor given at creation (Wine does not): it is given
        // again through the handle before a byte is written.
        bool accessLists = false;
        bool streams = false;
        if (VolumeKeeps(handle.get(), accessLists, streams) && accessLists &&
            !SetKernelObjectSecurity(handle.get(), DACL_SECURITY_INFORMATION, closed.data())) {
            const DWORD error = GetLastError();
            static_cast<void>(relative::MarkDeleted(handle.get()));
            SetLastError(error);
            return nullptr;
        }
        return std::make_unique<OutputFile>(std::move(handle), folder, name);
    }

    std::unique_ptr<IReadFile> OpenToRead(const IFolder& folder,
                                          const std::wstring& name) override {
        UniqueFile file = OpenPlain(
            folder, name, Request(GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ));
        if (!file) {
            return nullptr;
        }
        return std::make_unique<ReadFileOwner>(std::move(file));
    }

    bool WriteNewFile(const IFolder& folder, const std::wstring& name,
                      const std::wstring& text) override {
        relative::OpenRequest request = Request(GENERIC_WRITE | DELETE, FILE_SHARE_READ);
        request.disposition = relative::Disposition::CreateNew;
        const UniqueFile file = relative::Open(FolderHandle(folder), name, request);
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
        // A note left half written is named by a later run, which cannot prove it the tool's.
        static_cast<void>(relative::MarkDeleted(file.get()));
        SetLastError(error);
        return false;
    }

    bool ReadSmallFile(const IFolder& folder, const std::wstring& name, size_t limit,
                       std::wstring& text) override {
        const UniqueFile file = OpenPlain(folder, name, Request(GENERIC_READ, ShareAll));
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

    bool SameContent(const IFolder& folder, const std::wstring& first, const std::wstring& second,
                     bool& same) override {
        const UniqueFile a = OpenPlain(folder, first, Request(GENERIC_READ, ShareAll));
        const UniqueFile b = OpenPlain(folder, second, Request(GENERIC_READ, ShareAll));
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

    bool Size(const IFolder& folder, const std::wstring& name, uint64_t& size) override {
        const UniqueFile file = relative::Open(FolderHandle(folder), name, Request(0, ShareAll));
        relative::Facts facts;
        if (!file || !relative::FactsOf(file.get(), facts)) {
            return false;
        }
        size = facts.size;
        return true;
    }

    bool CopyStreams(IHeldFile& from, IOutputFile& to) override {
        return CopyAlternateStreams(static_cast<HeldFile&>(from).Handle(),
                                    static_cast<OutputFile&>(to).Handle());
    }
};

} // namespace

UniqueFile OpenEntryToRead(const IFolder& folder, const std::wstring& name) {
    return relative::Open(FolderHandle(folder), name, Request(GENERIC_READ, ShareAll));
}

IFileSystem& RealFileSystem() {
    static Win32FileSystem system;
    return system;
}
