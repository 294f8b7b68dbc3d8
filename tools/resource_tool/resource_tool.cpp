// Reads, replaces or removes the key database resource (RCDATA 101) of an executable, so that
// tests and benchmarks can run copies of a program with other key databases.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/unique_handle.h"
#include "streams/path_helpers.h"

namespace {

constexpr WORD KeyResourceId = 101;

struct FreeLibraryTraits {
    using Handle = HMODULE;
    static Handle Empty() { return nullptr; }
    static void Release(Handle h) { FreeLibrary(h); }
};
using UniqueModule = UniqueHandle<FreeLibraryTraits>;

/// A resource type or name: a number, or a string when it has one.
struct ResourceId {
    WORD number = 0;
    std::wstring text;

    explicit ResourceId(LPCWSTR id) {
        if (IS_INTRESOURCE(id)) {
            number = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(id));
        } else {
            text = id;
        }
    }
    LPWSTR get() const {
        return text.empty() ? MAKEINTRESOURCEW(number) : const_cast<LPWSTR>(text.c_str());
    }
};

struct Resource {
    ResourceId type;
    ResourceId name;
    WORD language;
    std::vector<BYTE> data;
};

struct Collection {
    HMODULE module;
    std::vector<Resource> kept;
    bool failed = false;
};

int Fail(const std::wstring& what) {
    const std::wstring error = FormatLastError();
    fwprintf(stderr, L"BristokeResourceTool: %ls failed, %ls\n", what.c_str(), error.c_str());
    return 1;
}

bool IsKeyDatabase(const ResourceId& type, const ResourceId& name) {
    return type.text.empty() && type.number == 10 && name.text.empty() &&
           name.number == KeyResourceId;
}

BOOL CALLBACK CollectLanguage(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language,
                              LONG_PTR context) {
    Collection& collection = *reinterpret_cast<Collection*>(context);
    Resource resource{ResourceId(type), ResourceId(name), language, {}};
    if (IsKeyDatabase(resource.type, resource.name)) {
        return TRUE;
    }
    const HRSRC found = FindResourceExW(module, type, name, language);
    const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (data == nullptr) {
        collection.failed = true;
        return FALSE;
    }
    resource.data.assign(data, data + SizeofResource(module, found));
    collection.kept.push_back(std::move(resource));
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR context) {
    return EnumResourceLanguagesW(module, type, name, CollectLanguage, context) ||
           !reinterpret_cast<Collection*>(context)->failed;
}

BOOL CALLBACK CollectType(HMODULE module, LPWSTR type, LONG_PTR context) {
    return EnumResourceNamesW(module, type, CollectName, context) ||
           !reinterpret_cast<Collection*>(context)->failed;
}

bool ReadWholeFile(const std::wstring& path, std::vector<BYTE>& bytes) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr));
    LARGE_INTEGER size;
    if (!file || !GetFileSizeEx(file.get(), &size) || size.HighPart != 0) {
        return false;
    }
    bytes.resize(size.LowPart);
    DWORD got = 0;
    return bytes.empty() ||
           (ReadFile(file.get(), bytes.data(), size.LowPart, &got, nullptr) && got == size.LowPart);
}

bool WriteWholeFile(const std::wstring& path, const void* data, DWORD size) {
    UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), data, size, &written, nullptr) && written == size;
}

int Get(const std::wstring& exe, const std::wstring& output) {
    UniqueModule module(LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) {
        return Fail(L"LoadLibraryExW " + exe);
    }
    const HRSRC found = FindResourceW(module.get(), MAKEINTRESOURCEW(KeyResourceId), RT_RCDATA);
    const HGLOBAL loaded = found ? LoadResource(module.get(), found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        return Fail(L"reading RCDATA 101 of " + exe);
    }
    if (!WriteWholeFile(output, data, SizeofResource(module.get(), found))) {
        return Fail(L"writing " + output);
    }
    return 0;
}

/// Rewrites the resources with RCDATA 101 replaced by content, or removed when content is null.
/// Every other resource is written back: Wine's UpdateResourceW does not remove resources that
/// the file already holds, so the update starts from an empty resource section.
int Put(const std::wstring& exe, const std::vector<BYTE>* content) {
    Collection collection;
    {
        UniqueModule module(LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (!module) {
            return Fail(L"LoadLibraryExW " + exe);
        }
        collection.module = module.get();
        EnumResourceTypesW(module.get(), CollectType, reinterpret_cast<LONG_PTR>(&collection));
        if (collection.failed) {
            return Fail(L"reading the resources of " + exe);
        }
    }
    if (content != nullptr) {
        collection.kept.push_back({ResourceId(RT_RCDATA),
                                   ResourceId(MAKEINTRESOURCEW(KeyResourceId)),
                                   MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), *content});
    }
    const HANDLE update = BeginUpdateResourceW(exe.c_str(), TRUE);
    if (update == nullptr) {
        return Fail(L"BeginUpdateResourceW " + exe);
    }
    for (Resource& resource : collection.kept) {
        if (!UpdateResourceW(update, resource.type.get(), resource.name.get(), resource.language,
                             resource.data.data(), static_cast<DWORD>(resource.data.size()))) {
            const int result = Fail(L"UpdateResourceW " + exe);
            EndUpdateResourceW(update, TRUE);
            return result;
        }
    }
    if (!EndUpdateResourceW(update, FALSE)) {
        return Fail(L"EndUpdateResourceW " + exe);
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"get" && argc == 4) {
        return Get(argv[2], argv[3]);
    }
    if (command == L"set" && argc == 4) {
        std::vector<BYTE> content;
        if (!ReadWholeFile(argv[3], content)) {
            return Fail(L"reading " + std::wstring(argv[3]));
        }
        return Put(argv[2], &content);
    }
    if (command == L"delete" && argc == 3) {
        return Put(argv[2], nullptr);
    }
    fwprintf(stderr, L"usage: BristokeResourceTool get EXE OUTPUT | set EXE FILE | delete EXE\n");
    return 2;
}
