#include "fake_file_system.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

/// Holds a path in the fake for as long as it lives: no other holder, move or delete gets at it.
class FakeHeldFile : public IHeldFile {
public:
    FakeHeldFile(FakeFileSystem& files, const std::wstring& path) : files(files), path(path) {
        files.held.insert(path);
    }
    ~FakeHeldFile() override {
        const auto it = files.held.find(path);
        if (it != files.held.end()) {
            files.held.erase(it);
        }
    }

protected:
    FakeFileSystem& files;
    std::wstring path;
};

/// Each write, resize and flush is an operation of its own; data is durable only once flushed.
class FakeWrittenFile : public IWrittenFile, private FakeHeldFile {
public:
    FakeWrittenFile(FakeFileSystem& files, const std::wstring& path) : FakeHeldFile(files, path) {}

    const std::wstring& Path() const override { return path; }
    bool Write(const void* data, uint32_t length) override {
        return files.WithFile(L"Write", path, [&](FakeFileSystem::File& file) {
            file.data.append(static_cast<const char*>(data), length);
            file.written = static_cast<uint64_t>(files.steps);
        });
    }
    bool SetSize(uint64_t size) override {
        return files.WithFile(L"SetSize", path, [&](FakeFileSystem::File& file) {
            file.data.resize(static_cast<size_t>(size), '\0');
            file.written = static_cast<uint64_t>(files.steps);
        });
    }
    bool Flush() override {
        return files.WithFile(L"Flush", path,
                              [](FakeFileSystem::File& file) { file.durable = file.data; });
    }
};

/// Reads a copy of the data as it was when opened.
class FakeReadFile : public IReadFile, private FakeHeldFile {
public:
    FakeReadFile(FakeFileSystem& files, const std::wstring& path, std::string data)
        : FakeHeldFile(files, path), data(std::move(data)) {}

    bool Read(void* buffer, uint32_t length, uint32_t& got) override {
        if (!files.Step(L"Read", path)) {
            return false;
        }
        got = static_cast<uint32_t>(std::min<size_t>(length, data.size() - offset));
        std::memcpy(buffer, data.data() + offset, got);
        offset += got;
        files.Done();
        return true;
    }

private:
    std::string data;
    size_t offset = 0;
};

namespace {

/// Ends an operation that was counted: the power may go right after it.
class Operation {
public:
    explicit Operation(std::function<void()> done) : done(std::move(done)) {}
    ~Operation() { done(); }

private:
    std::function<void()> done;
};

template <typename Result> Result Fail(DWORD error, Result result) {
    SetLastError(error);
    return result;
}

} // namespace

bool FakeFileSystem::NoCase::operator()(const std::wstring& a, const std::wstring& b) const {
    return lstrcmpiW(a.c_str(), b.c_str()) < 0;
}

bool FakeFileSystem::Step(const wchar_t* name, const std::wstring& path) {
    if (dead) {
        SetLastError(ERROR_NOT_READY);
        return false;
    }
    ++steps;
    operations.push_back(std::wstring(name) + L" " + path);
    if (steps == beforeStep && before) {
        const std::function<void()> action = std::move(before);
        before = nullptr;
        action();
    }
    const auto failure = failures.find(steps);
    if (failure != failures.end()) {
        Done();
        SetLastError(failure->second);
        return false;
    }
    return true;
}

void FakeFileSystem::Done() {
    if (steps == cutAfter) {
        dead = true;
    }
}

void FakeFileSystem::Before(int step, std::function<void()> action) {
    beforeStep = step;
    before = std::move(action);
}

void FakeFileSystem::PowerCycle() {
    for (auto& [path, file] : files) {
        file.data = file.durable;
    }
    held.clear();
    dead = false;
    cutAfter = -1;
}

FakeFileSystem::File* FakeFileSystem::Find(const std::wstring& path) {
    const auto it = files.find(path);
    return it == files.end() ? nullptr : &it->second;
}

DWORD FakeFileSystem::Attributes(const std::wstring& path) {
    if (!Step(L"Attributes", path)) {
        return INVALID_FILE_ATTRIBUTES;
    }
    const Operation operation([this] { Done(); });
    const File* file = Find(path);
    return file ? file->attributes : Fail(ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
}

bool FakeFileSystem::WithFile(const wchar_t* name, const std::wstring& path,
                              const std::function<void(File&)>& use) {
    if (!Step(name, path)) {
        return false;
    }
    const Operation operation([this] { Done(); });
    File* file = Find(path);
    if (!file) {
        return Fail(ERROR_FILE_NOT_FOUND, false);
    }
    use(*file);
    return true;
}

bool FakeFileSystem::SetAttributes(const std::wstring& path, DWORD attributes) {
    return WithFile(L"SetAttributes", path, [&](File& file) { file.attributes = attributes; });
}

std::unique_ptr<IHeldFile> FakeFileSystem::Hold(const std::wstring& path) {
    if (!Step(L"Hold", path)) {
        return nullptr;
    }
    const Operation operation([this] { Done(); });
    if (!Find(path)) {
        return Fail(ERROR_FILE_NOT_FOUND, std::unique_ptr<IHeldFile>());
    }
    if (held.count(path) != 0) {
        return Fail(ERROR_SHARING_VIOLATION, std::unique_ptr<IHeldFile>());
    }
    return std::make_unique<FakeHeldFile>(*this, path);
}

FakeFileSystem::Files::iterator FakeFileSystem::Unheld(const std::wstring& path) {
    const auto it = files.find(path);
    if (it == files.end()) {
        return Fail(ERROR_FILE_NOT_FOUND, files.end());
    }
    return held.count(path) != 0 ? Fail(ERROR_SHARING_VIOLATION, files.end()) : it;
}

bool FakeFileSystem::Move(const std::wstring& from, const std::wstring& to) {
    if (!Step(L"Move", from)) {
        return false;
    }
    const Operation operation([this] { Done(); });
    const auto it = Unheld(from);
    if (it == files.end()) {
        return false;
    }
    if (Find(to)) {
        return Fail(ERROR_ALREADY_EXISTS, false);
    }
    File file = it->second;
    files.erase(it);
    files[to] = file;
    return true;
}

bool FakeFileSystem::Delete(const std::wstring& path) {
    if (!Step(L"Delete", path)) {
        return false;
    }
    const Operation operation([this] { Done(); });
    const auto it = Unheld(path);
    if (it == files.end()) {
        return false;
    }
    if ((it->second.attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return Fail(ERROR_ACCESS_DENIED, false);
    }
    files.erase(it);
    return true;
}

std::unique_ptr<IWrittenFile> FakeFileSystem::CreateNew(const std::wstring& path) {
    if (!Step(L"CreateNew", path)) {
        return nullptr;
    }
    const Operation operation([this] { Done(); });
    if (Find(path)) {
        return Fail(ERROR_FILE_EXISTS, std::unique_ptr<IWrittenFile>());
    }
    File& file = files[path];
    file = File();
    file.created = file.written = static_cast<uint64_t>(steps);
    return std::make_unique<FakeWrittenFile>(*this, path);
}

std::unique_ptr<IReadFile> FakeFileSystem::OpenToRead(const std::wstring& path) {
    if (!Step(L"OpenToRead", path)) {
        return nullptr;
    }
    const Operation operation([this] { Done(); });
    const auto it = Unheld(path);
    if (it == files.end()) {
        return nullptr;
    }
    return std::make_unique<FakeReadFile>(*this, path, it->second.data);
}

bool FakeFileSystem::WriteNewFile(const std::wstring& path, const std::wstring& text) {
    if (!Step(L"WriteNewFile", path)) {
        return false;
    }
    const Operation operation([this] { Done(); });
    if (Find(path)) {
        return Fail(ERROR_FILE_EXISTS, false);
    }
    File& file = files[path];
    file.data.assign(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    file.durable = file.data;
    return true;
}

bool FakeFileSystem::ReadSmallFile(const std::wstring& path, size_t limit, std::wstring& text) {
    if (!Step(L"ReadSmallFile", path)) {
        return false;
    }
    const Operation operation([this] { Done(); });
    const File* file = Find(path);
    if (!file) {
        return Fail(ERROR_FILE_NOT_FOUND, false);
    }
    if (file->data.size() % sizeof(wchar_t) != 0 || file->data.size() / sizeof(wchar_t) > limit) {
        return Fail(ERROR_INVALID_DATA, false);
    }
    text.assign(file->data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(&text[0], file->data.data(), file->data.size());
    return true;
}

bool FakeFileSystem::SameContent(const std::wstring& first, const std::wstring& second,
                                 bool& same) {
    if (!Step(L"SameContent", first)) {
        return false;
    }
    const Operation operation([this] { Done(); });
    const File* a = Find(first);
    const File* b = Find(second);
    if (!a || !b) {
        return Fail(ERROR_FILE_NOT_FOUND, false);
    }
    same = a->data == b->data;
    return true;
}

bool FakeFileSystem::Size(const std::wstring& path, uint64_t& size) {
    return WithFile(L"Size", path, [&](File& file) { size = file.data.size(); });
}

bool FakeFileSystem::FreeBytes(const std::wstring& path, uint64_t& freeBytes) {
    if (!Step(L"FreeBytes", path)) {
        return false;
    }
    const Operation operation([this] { Done(); });
    freeBytes = 1ull << 40;
    return true;
}

bool FakeFileSystem::Put(const std::wstring& path, const std::string& data) {
    if (!Step(L"Put", path)) {
        return false;
    }
    const Operation operation([this] { Done(); });
    if (held.count(path) != 0) {
        return Fail(ERROR_SHARING_VIOLATION, false);
    }
    File& file = files[path];
    file.data = file.durable = data;
    return true;
}

bool FakeFileSystem::VolumeKeeps(const std::wstring& path, bool& accessLists, bool& streams) {
    if (!Step(L"VolumeKeeps", path)) {
        return false;
    }
    const Operation operation([this] { Done(); });
    accessLists = keepsAccessLists;
    streams = keepsStreams;
    return true;
}

namespace {

FILETIME ToFileTime(uint64_t value) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(value);
    time.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return time;
}

uint64_t FromFileTime(const FILETIME& time) {
    return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

} // namespace

bool FakeFileSystem::Times(const std::wstring& path, FileTimes& times) {
    return WithFile(L"Times", path, [&](File& file) {
        times.created = ToFileTime(file.created);
        times.written = ToFileTime(file.written);
    });
}

bool FakeFileSystem::SetTimes(const std::wstring& path, const FileTimes& times) {
    return WithFile(L"SetTimes", path, [&](File& file) {
        file.created = FromFileTime(times.created);
        file.written = FromFileTime(times.written);
    });
}

bool FakeFileSystem::Security(const std::wstring& path, SecurityBytes& security) {
    return WithFile(L"Security", path, [&](File& file) {
        security.assign(file.security.begin(), file.security.end());
    });
}

bool FakeFileSystem::SetSecurity(const std::wstring& path, const SecurityBytes& security) {
    return WithFile(L"SetSecurity", path,
                    [&](File& file) { file.security.assign(security.begin(), security.end()); });
}

bool FakeFileSystem::CloseToOthers(const std::wstring& path) {
    return WithFile(L"CloseToOthers", path, [](File& file) { file.security = Closed; });
}

bool FakeFileSystem::CopyStreams(const std::wstring& from, const std::wstring& to) {
    if (!Step(L"CopyStreams", from)) {
        return false;
    }
    const Operation operation([this] { Done(); });
    const File* source = Find(from);
    File* target = Find(to);
    if (!source || !target) {
        return Fail(ERROR_FILE_NOT_FOUND, false);
    }
    if (!target->streams.empty()) {
        return Fail(ERROR_FILE_EXISTS, false);
    }
    target->streams = source->streams;
    // Writing a stream is writing the file.
    target->written = static_cast<uint64_t>(steps);
    return true;
}
