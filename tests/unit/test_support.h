#pragma once

#include <windows.h>

#include <map>
#include <doctest.h>

#include <string>
#include <vector>

#include "backup/backup.h"

/// The log the unit tests write to; a test that reopens TheLogFile elsewhere reopens this after.
const std::wstring& ScratchLogPath();

/// A fresh directory under the temp directory, removed with its content at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& path() const { return root; }
    std::wstring operator/(const std::wstring& name) const { return root + L"\\" + name; }

private:
    std::wstring root;
};

/// Makes a directory the current one for a scope.
class CurrentDirectoryScope {
public:
    explicit CurrentDirectoryScope(const std::wstring& directory);
    ~CurrentDirectoryScope();

private:
    std::wstring previous;
};

std::vector<unsigned char> ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::vector<unsigned char>& bytes);
/// A UTF-16LE file's text after its byte-order mark.
std::wstring ReadUtf16Text(const std::wstring& path);
/// The names in a directory that match a pattern such as L"*.log".
std::vector<std::wstring> FindNames(const std::wstring& directory, const std::wstring& pattern);

/// Stands in for system functions that are found by name at run time, the table's among them: a
/// function given here replaces the real one, a missing one is not found, the others are found
/// as usual. Only one may exist at a time.
class FakeSystemFunctions {
public:
    FakeSystemFunctions();
    ~FakeSystemFunctions();
    FakeSystemFunctions(const FakeSystemFunctions&) = delete;
    FakeSystemFunctions& operator=(const FakeSystemFunctions&) = delete;

    template <typename Function> void Replace(const char* name, Function function) {
        Set(name, reinterpret_cast<FARPROC>(function));
    }
    void Remove(const char* name) { Set(name, nullptr); }

private:
    void Set(const char* name, FARPROC function);
};
/// Gives this process a private HKEY_CURRENT_USER (a fresh subkey of the real one) for a scope,
/// so tests of stored values meet neither each other nor the tool's real runs.
class PrivateCurrentUser {
public:
    PrivateCurrentUser();
    ~PrivateCurrentUser();
    PrivateCurrentUser(const PrivateCurrentUser&) = delete;
    PrivateCurrentUser& operator=(const PrivateCurrentUser&) = delete;
    /// The private root, usable while the override is in force.
    HKEY root() const { return key; }

private:
    std::wstring subkey;
    HKEY key = nullptr;
};

/// Sets the run's backup counter for a scope and restores it after.
class CounterScope {
public:
    explicit CounterScope(int32_t value) : saved(TheBackupCounter) { TheBackupCounter = value; }
    ~CounterScope() { TheBackupCounter = saved; }
    CounterScope(const CounterScope&) = delete;
    CounterScope& operator=(const CounterScope&) = delete;

private:
    int32_t saved;
};

/// UTF-8 text of a wide string, for doctest messages and arguments.
std::string Utf8(const std::wstring& text);

/// Creates an empty file (and nothing else) at the path.
void TouchFile(const std::wstring& path);

/// Lets doctest print wide strings in its messages.
namespace doctest {
template <> struct StringMaker<std::wstring> { static String convert(const std::wstring& text); };
} // namespace doctest
