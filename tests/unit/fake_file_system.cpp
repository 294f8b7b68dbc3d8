#include "fake_file_system.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

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

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    return folder.empty() ? name : folder + L"\\" + name;
}

} // namespace

/// A folder as the cleaning holds it: named as it was opened, found wherever it is now.
class FakeFolder : public IFolder {
public:
    FakeFolder(std::wstring path, std::shared_ptr<FakeFileSystem::Location> location)
        : path(std::move(path)), location(std::move(location)) {}
    const std::wstring& Path() const override { return path; }
    std::wstring Now(const std::wstring& name) const { return Join(location->current, name); }

private:
    std::wstring path;
    std::shared_ptr<FakeFileSystem::Location> location;
};

namespace {

const FakeFolder& Fake(const IFolder& folder) {
    return static_cast<const FakeFolder&>(folder);
}

} // namespace

/// Holds a file of a folder for as long as it lives: no other holder, move or delete gets at
/// it, and it follows its file through its own renames.
class FakeHeldFile : public IHeldFile {
public:
    FakeHeldFile(FakeFileSystem& files, const IFolder& folder, const std::wstring& name)
        : files(files), folder(folder), name(name) {
        files.held.insert(Now());
    }
    ~FakeHeldFile() override { Release(); }

    const std::wstring& Name() const override { return name; }
    std::wstring Path() const override { return folder.PathOf(name); }
    bool Rename(const std::wstring& newName) override {
        if (!files.Step(L"Rename", Path())) {
            return false;
        }
        const Operation operation([this] { files.Done(); });
        const std::wstring from = Now();
        const std::wstring to = Fake(folder).Now(newName);
        if (!files.Find(from)) {
            return Fail(ERROR_FILE_NOT_FOUND, false);
        }
        if (files.Find(to)) {
            return Fail(ERROR_ALREADY_EXISTS, false);
        }
        Release();
        files.files[to] = files.files[from];
        files.files.erase(from);
        name = newName;
        files.held.insert(Now());
        return true;
    }
    UniqueFile OpenData() override { return Fail(ERROR_NOT_SUPPORTED, UniqueFile()); }
    bool Attributes(DWORD& attributes) override {
        return files.WithFile(L"Attributes", Path(), Now(),
                              [&](FakeFileSystem::File& file) { attributes = file.attributes; });
    }
    bool Times(FileTimes& times) override;
    bool Security(SecurityBytes& security) override {
        return files.WithFile(L"Security", Path(), Now(), [&](FakeFileSystem::File& file) {
            security.assign(file.security.begin(), file.security.end());
        });
    }

    /// Its full path now.
    std::wstring Now() const { return Fake(folder).Now(name); }

protected:
    void Release() {
        const auto it = files.held.find(Now());
        if (it != files.held.end()) {
            files.held.erase(it);
        }
    }

    FakeFileSystem& files;
    const IFolder& folder;
    std::wstring name;
};

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

bool FakeHeldFile::Times(FileTimes& times) {
    return files.WithFile(L"Times", Path(), Now(), [&](FakeFileSystem::File& file) {
        times.created = ToFileTime(file.created);
        times.written = ToFileTime(file.written);
    });
}

/// A new file of the run's: each write, resize and flush is an operation of its own, and data
/// is durable only once flushed.
class FakeOutputFile : public IOutputFile {
public:
    FakeOutputFile(FakeFileSystem& files, const IFolder& folder, const std::wstring& name)
        : files(files), folder(folder), hold(files, folder, name), path(folder.PathOf(name)) {}

    const std::wstring& Path() const override { return path; }
    bool Write(const void* data, uint32_t length) override {
        return Use(L"Write", [&](FakeFileSystem::File& file) {
            file.data.append(static_cast<const char*>(data), length);
            file.written = static_cast<uint64_t>(files.steps);
        });
    }
    bool SetSize(uint64_t size) override {
        return Use(L"SetSize", [&](FakeFileSystem::File& file) {
            file.data.resize(static_cast<size_t>(size), '\0');
            file.written = static_cast<uint64_t>(files.steps);
        });
    }
    bool Flush() override {
        return Use(L"Flush", [](FakeFileSystem::File& file) { file.durable = file.data; });
    }
    bool VolumeKeeps(bool& accessLists, bool& streams) override {
        return Use(L"VolumeKeeps", [&](FakeFileSystem::File&) {
            accessLists = files.keepsAccessLists;
            streams = files.keepsStreams;
        });
    }
    bool SetTimes(const FileTimes& times) override {
        return Use(L"SetTimes", [&](FakeFileSystem::File& file) {
            file.created = FromFileTime(times.created);
            file.written = FromFileTime(times.written);
        });
    }
    bool SetAttributes(DWORD attributes) override {
        return Use(L"SetAttributes",
                   [&](FakeFileSystem::File& file) { file.attributes = attributes; });
    }
    bool SetSecurity(const SecurityBytes& security) override {
        return Use(L"SetSecurity", [&](FakeFileSystem::File& file) {
            file.security.assign(security.begin(), security.end());
        });
    }
    bool Rename(const std::wstring& newName) override {
        if (!hold.Rename(newName)) {
            return false;
        }
        path = folder.PathOf(newName);
        return true;
    }
    bool Remove() override {
        if (!files.Step(L"Remove", path)) {
            return false;
        }
        const Operation operation([this] { files.Done(); });
        return files.files.erase(Now()) != 0 || Fail(ERROR_FILE_NOT_FOUND, false);
    }

    std::wstring Now() const { return hold.Now(); }

private:
    bool Use(const wchar_t* operation, const std::function<void(FakeFileSystem::File&)>& use) {
        return files.WithFile(operation, path, Now(), use);
    }

    FakeFileSystem& files;
    const IFolder& folder;
    FakeHeldFile hold;
    std::wstring path;
};

/// Reads a copy of the data as it was when opened.
class FakeReadFile : public IReadFile {
public:
    FakeReadFile(FakeFileSystem& files, const std::wstring& shown, const std::wstring& path,
                 std::string data)
        : files(files), shown(shown), path(path), data(std::move(data)) {
        files.held.insert(path);
    }
    ~FakeReadFile() override {
        const auto it = files.held.find(path);
        if (it != files.held.end()) {
            files.held.erase(it);
        }
    }

    bool Read(void* buffer, uint32_t length, uint32_t& got) override {
        if (!files.Step(L"Read", shown)) {
            return false;
        }
        got = static_cast<uint32_t>(std::min<size_t>(length, data.size() - offset));
        std::memcpy(buffer, data.data() + offset, got);
        offset += got;
        files.Done();
        return true;
    }
    bool Remove() override {
        if (!files.Step(L"Remove", shown)) {
            return false;
        }
        const Operation operation([this] { files.Done(); });
        return files.files.erase(path) != 0 || Fail(ERROR_FILE_NOT_FOUND, false);
    }

private:
    FakeFileSystem& files;
    std::wstring shown;
    std::wstring path;
    std::string data;
    size_t offset = 0;
};

bool FakeFileSystem::NoCase::operator()(const std::wstring& a, const std::wstring& b) const {
    return lstrcmpiW(a.c_str(), b.c_str()) < 0;
}

std::shared_ptr<IFolder> FakeFileSystem::OpenFolder(const std::wstring& path) {
    auto location = std::make_shared<Location>();
    location->current = path;
    locations.push_back(location);
    return std::make_shared<FakeFolder>(path, location);
}

std::wstring FakeFileSystem::PathIn(const IFolder& folder, const std::wstring& name) const {
    return Fake(folder).Now(name);
}

std::wstring FakeFileSystem::HeldPath(const IHeldFile& file) const {
    return static_cast<const FakeHeldFile&>(file).Now();
}

void FakeFileSystem::MoveFolder(const std::wstring& from, const std::wstring& to) {
    const std::wstring prefix = from + L"\\";
    const auto moved = [&](const std::wstring& path) {
        return path.size() > prefix.size() &&
               lstrcmpiW(path.substr(0, prefix.size()).c_str(), prefix.c_str()) == 0;
    };
    Files kept;
    for (auto& [path, file] : files) {
        kept[moved(path) ? to + L"\\" + path.substr(prefix.size()) : path] = file;
    }
    files = kept;
    std::multiset<std::wstring, NoCase> stillHeld;
    for (const std::wstring& path : held) {
        stillHeld.insert(moved(path) ? to + L"\\" + path.substr(prefix.size()) : path);
    }
    held = stillHeld;
    for (const std::weak_ptr<Location>& weak : locations) {
        if (const std::shared_ptr<Location> location = weak.lock()) {
            if (lstrcmpiW(location->current.c_str(), from.c_str()) == 0) {
                location->current = to;
            }
        }
    }
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

bool FakeFileSystem::WithFile(const wchar_t* name, const std::wstring& shown,
                              const std::wstring& path, const std::function<void(File&)>& use) {
    if (!Step(name, shown)) {
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

DWORD FakeFileSystem::Attributes(const IFolder& folder, const std::wstring& name) {
    if (!Step(L"Attributes", folder.PathOf(name))) {
        return INVALID_FILE_ATTRIBUTES;
    }
    const Operation operation([this] { Done(); });
    const File* file = Find(Fake(folder).Now(name));
    return file ? file->attributes : Fail(ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
}

std::unique_ptr<IHeldFile> FakeFileSystem::Hold(const IFolder& folder, const std::wstring& name) {
    if (!Step(L"Hold", folder.PathOf(name))) {
        return nullptr;
    }
    const Operation operation([this] { Done(); });
    const std::wstring path = Fake(folder).Now(name);
    const File* file = Find(path);
    if (!file) {
        return Fail(ERROR_FILE_NOT_FOUND, std::unique_ptr<IHeldFile>());
    }
    if (held.count(path) != 0 || cleanedByAnotherRun.count(path) != 0) {
        return Fail(ERROR_SHARING_VIOLATION, std::unique_ptr<IHeldFile>());
    }
    if (file->linked) {
        return Fail(NotPlainError, std::unique_ptr<IHeldFile>());
    }
    return std::make_unique<FakeHeldFile>(*this, folder, name);
}

bool FakeFileSystem::IsBeingCleaned(const IFolder& folder, const std::wstring& name) {
    if (!Step(L"IsBeingCleaned", folder.PathOf(name))) {
        return false;
    }
    const Operation operation([this] { Done(); });
    return cleanedByAnotherRun.count(Fake(folder).Now(name)) != 0;
}

FakeFileSystem::Files::iterator FakeFileSystem::Unheld(const std::wstring& path) {
    const auto it = files.find(path);
    if (it == files.end()) {
        return Fail(ERROR_FILE_NOT_FOUND, files.end());
    }
    if (held.count(path) != 0 || cleanedByAnotherRun.count(path) != 0) {
        return Fail(ERROR_SHARING_VIOLATION, files.end());
    }
    return it->second.linked ? Fail(NotPlainError, files.end()) : it;
}

bool FakeFileSystem::Rename(const std::wstring& from, const std::wstring& to) {
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

bool FakeFileSystem::Move(const IFolder& folder, const std::wstring& from, const std::wstring& to) {
    if (!Step(L"Move", folder.PathOf(from))) {
        return false;
    }
    const Operation operation([this] { Done(); });
    return Rename(Fake(folder).Now(from), Fake(folder).Now(to));
}

bool FakeFileSystem::Delete(const IFolder& folder, const std::wstring& name) {
    if (!Step(L"Delete", folder.PathOf(name))) {
        return false;
    }
    const Operation operation([this] { Done(); });
    const auto it = Unheld(Fake(folder).Now(name));
    if (it == files.end()) {
        return false;
    }
    files.erase(it);
    return true;
}

std::unique_ptr<IOutputFile> FakeFileSystem::CreateNew(const IFolder& folder,
                                                       const std::wstring& name) {
    if (!Step(L"CreateNew", folder.PathOf(name))) {
        return nullptr;
    }
    const Operation operation([this] { Done(); });
    const std::wstring path = Fake(folder).Now(name);
    if (Find(path)) {
        return Fail(ERROR_FILE_EXISTS, std::unique_ptr<IOutputFile>());
    }
    File& file = files[path];
    file = File();
    // A volume without access lists keeps none, whatever the file is created with.
    file.security = keepsAccessLists ? Closed : Inherited;
    file.created = file.written = static_cast<uint64_t>(steps);
    return std::make_unique<FakeOutputFile>(*this, folder, name);
}

std::unique_ptr<IReadFile> FakeFileSystem::OpenToRead(const IFolder& folder,
                                                      const std::wstring& name) {
    const std::wstring shown = folder.PathOf(name);
    if (!Step(L"OpenToRead", shown)) {
        return nullptr;
    }
    const Operation operation([this] { Done(); });
    const std::wstring path = Fake(folder).Now(name);
    const auto it = Unheld(path);
    if (it == files.end()) {
        return nullptr;
    }
    return std::make_unique<FakeReadFile>(*this, shown, path, it->second.data);
}

bool FakeFileSystem::WriteNewFile(const IFolder& folder, const std::wstring& name,
                                  const std::wstring& text) {
    if (!Step(L"WriteNewFile", folder.PathOf(name))) {
        return false;
    }
    const Operation operation([this] { Done(); });
    const std::wstring path = Fake(folder).Now(name);
    if (Find(path)) {
        return Fail(ERROR_FILE_EXISTS, false);
    }
    File& file = files[path];
    file.security = Closed;
    file.data.assign(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    file.durable = file.data;
    return true;
}

bool FakeFileSystem::ReadSmallFile(const IFolder& folder, const std::wstring& name, size_t limit,
                                   std::wstring& text) {
    if (!Step(L"ReadSmallFile", folder.PathOf(name))) {
        return false;
    }
    const Operation operation([this] { Done(); });
    const File* file = Find(Fake(folder).Now(name));
    if (!file) {
        return Fail(ERROR_FILE_NOT_FOUND, false);
    }
    if (file->linked) {
        return Fail(NotPlainError, false);
    }
    if (file->data.size() % sizeof(wchar_t) != 0 || file->data.size() / sizeof(wchar_t) > limit) {
        return Fail(ERROR_INVALID_DATA, false);
    }
    text.assign(file->data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(&text[0], file->data.data(), file->data.size());
    return true;
}

bool FakeFileSystem::SameContent(const IFolder& folder, const std::wstring& first,
                                 const std::wstring& second, bool& same) {
    if (!Step(L"SameContent", folder.PathOf(first))) {
        return false;
    }
    const Operation operation([this] { Done(); });
    const File* a = Find(Fake(folder).Now(first));
    const File* b = Find(Fake(folder).Now(second));
    if (!a || !b) {
        return Fail(ERROR_FILE_NOT_FOUND, false);
    }
    if (a->linked || b->linked) {
        return Fail(NotPlainError, false);
    }
    same = a->data == b->data;
    return true;
}

bool FakeFileSystem::Size(const IFolder& folder, const std::wstring& name, uint64_t& size) {
    return WithFile(L"Size", folder.PathOf(name), Fake(folder).Now(name),
                    [&](File& file) { size = file.data.size(); });
}

bool FakeFileSystem::CopyStreams(IHeldFile& from, IOutputFile& to) {
    if (!Step(L"CopyStreams", from.Path())) {
        return false;
    }
    const Operation operation([this] { Done(); });
    const File* source = Find(static_cast<FakeHeldFile&>(from).Now());
    File* target = Find(static_cast<FakeOutputFile&>(to).Now());
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
