#include "test_support.h"

#include <shlwapi.h>

#include <fstream>
#include <iterator>

#include "platform/system_functions.h"
#include "platform/system_lookup.h"
#include "streams/path_helpers.h"

namespace {

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring child = path + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &data));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

} // namespace

TempDir::TempDir() {
    static unsigned counter = 0;
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    root = std::wstring(base) + L"bristoke_unit_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
           std::to_wstring(++counter);
    CreateDirectoryW(root.c_str(), nullptr);
}

TempDir::~TempDir() {
    // The "\\?\" form: tests build trees deeper than a plain path can reach.
    RemoveTree(ToExtendedLengthPath(root));
}

CurrentDirectoryScope::CurrentDirectoryScope(const std::wstring& directory) {
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    previous = current;
    SetCurrentDirectoryW(directory.c_str());
}

CurrentDirectoryScope::~CurrentDirectoryScope() {
    SetCurrentDirectoryW(previous.c_str());
}

std::vector<unsigned char> ReadBytes(const std::wstring& path) {
    std::vector<unsigned char> bytes;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    unsigned char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    CloseHandle(file);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::vector<unsigned char>& bytes) {
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::wstring ReadUtf16Text(const std::wstring& path) {
    const std::vector<unsigned char> bytes = ReadBytes(path);
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return text;
}

std::vector<std::wstring> FindNames(const std::wstring& directory, const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW((directory + L"\\" + pattern).c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            names.push_back(data.cFileName);
        } while (FindNextFileW(search, &data));
        FindClose(search);
    }
    return names;
}

namespace {

std::map<std::string, FARPROC> fakeFunctions;
SystemFunctionLookup realLookup = nullptr;

FARPROC FakeLookup(HMODULE module, const char* name) {
    const auto fake = fakeFunctions.find(name);
    return fake != fakeFunctions.end() ? fake->second : realLookup(module, name);
}

} // namespace

FakeSystemFunctions::FakeSystemFunctions() {
    realLookup = ReplaceSystemFunctionLookup(FakeLookup);
}

FakeSystemFunctions::~FakeSystemFunctions() {
    ReplaceSystemFunctionLookup(realLookup);
    fakeFunctions.clear();
}

void FakeSystemFunctions::Set(const char* name, FARPROC function) {
    fakeFunctions[name] = function;
    // The table may have resolved the function since the fake took over the lookup.
    ResetSystemFunctions();
}

PrivateCurrentUser::PrivateCurrentUser() {
    static unsigned counter = 0;
    subkey = L"Software\\BristokeUnitTests\\" + std::to_wstring(GetCurrentProcessId()) + L"_" +
             std::to_wstring(++counter);
    RegCreateKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, key);
}

PrivateCurrentUser::~PrivateCurrentUser() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(key);
    SHDeleteKeyW(HKEY_CURRENT_USER, subkey.c_str());
    // Fails while another test process still has its key there, which is as it should be.
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\BristokeUnitTests");
}

void TouchFile(const std::wstring& path) {
    WriteBytes(path, {});
}

std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), narrow.data(),
                        size, nullptr, nullptr);
    return narrow;
}

doctest::String doctest::StringMaker<std::wstring>::convert(const std::wstring& text) {
    return Utf8(text).c_str();
}
