#include "fake_file_system.h"

#include <windows.h>

#include <cstring>

class FakeHeldFile : public IHeldFile {
public:
    FakeHeldFile(FakeFileSystem& files, const std::wstring& path) : files(files), path(path) {}
    ~FakeHeldFile() override {
        const auto it = files.held.find(path);
        if (it != files.held.end()) {
            files.held.erase(it);
        }
    }

private:
    FakeFileSystem& files;
    std::wstring path;
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

bool FakeFileSystem::Step() {
    if (dead) {
        SetLastError(ERROR_NOT_READY);
        return false;
    }
    ++steps;
    if (steps == beforeStep && before) {
        const std::function<void()> action = std::move(before);
        before = nullptr;
        action();
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
    if (!Step()) {
        return INVALID_FILE_ATTRIBUTES;
    }
    const Operation operation([this] { Done(); });
    const File* file = Find(path);
    return file ? file->attributes : Fail(ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
}

bool FakeFileSystem::WithFile(const std::wstring& path, const std::function<void(File&)>& use) {
    if (!Step()) {
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
    return WithFile(path, [&](File& file) { file.attributes = attributes; });
}

std::unique_ptr<IHeldFile> FakeFileSystem::Hold(const std::wstring& path) {
    if (!Step()) {
        return nullptr;
    }
    const Operation operation([this] { Done(); });
    if (!Find(path)) {
        return Fail(ERROR_FILE_NOT_FOUND, std::unique_ptr<IHeldFile>());
    }
    if (held.count(path) != 0) {
        return Fail(ERROR_SHARING_VIOLATION, std::unique_ptr<IHeldFile>());
    }
    held.insert(path);
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
    if (!Step()) {
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
    if (!Step()) {
        return false;
    }
    const Operation operation([this] { Done(); });
    const auto it = Unheld(path);
    if (it == files.end()) {
        return false;
    }
    files.erase(it);
    return true;
}

bool FakeFileSystem::WriteNewFile(const std::wstring& path, const std::wstring& text) {
    if (!Step()) {
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
    if (!Step()) {
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
    if (!Step()) {
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
    return WithFile(path, [&](File& file) { size = file.data.size(); });
}

bool FakeFileSystem::FreeBytes(const std::wstring&, uint64_t& freeBytes) {
    if (!Step()) {
        return false;
    }
    const Operation operation([this] { Done(); });
    freeBytes = 1ull << 40;
    return true;
}

bool FakeFileSystem::CreateWithData(const std::wstring& path, const std::string& data) {
    if (!Step()) {
        return false;
    }
    const Operation operation([this] { Done(); });
    if (held.count(path) != 0) {
        return Fail(ERROR_SHARING_VIOLATION, false);
    }
    File& file = files[path];
    file.data = data;
    file.durable.clear();
    file.attributes = FILE_ATTRIBUTE_ARCHIVE;
    return true;
}

bool FakeFileSystem::Flush(const std::wstring& path) {
    return WithFile(path, [](File& file) { file.durable = file.data; });
}
