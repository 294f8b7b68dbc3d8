#include <doctest.h>

#include <cstring>

#include "backup/backup.h"
#include "platform/system_functions.h"
#include "test_support.h"

namespace {

uintptr_t Address(FARPROC function) {
    return reinterpret_cast<uintptr_t>(function);
}

uintptr_t SlotOf(const DynamicImportEntry& entry) {
    FARPROC target;
    std::memcpy(&target, entry.slot, sizeof target);
    return Address(target);
}

/// A registry call of the kind the backup layer makes: open a key that every profile has.
LONG OpenAndCloseSoftwareKey() {
    HKEY key = nullptr;
    const LONG result = sys::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &key);
    if (result == ERROR_SUCCESS) {
        sys::RegCloseKey(key);
    }
    return result;
}

/// Puts a library of the table back to its state at start for the scope of a test, and
/// again after it, so the process goes on with the real library.
class FreshLibrary {
public:
    explicit FreshLibrary(SystemLibrary library)
        : module(ImportModuleOf(library)), fileName(module.fileName) {
        UnloadModule(module);
    }
    ~FreshLibrary() {
        module.fileName = fileName;
        UnloadModule(module);
    }
    DynamicImportModule& module;

private:
    const wchar_t* fileName;
};

} // namespace

TEST_CASE("SystemFunctions_FirstRegistryCall_ResolvesAllAdvapi32SlotsAndTheSecondLoadsNothing") {
    FreshLibrary advapi32(SystemLibrary::advapi32);
    DynamicImportModule& module = advapi32.module;
    for (const DynamicImportEntry* entry = module.entries; entry->name; ++entry) {
        CHECK(SlotOf(*entry) == Address(entry->stub));
    }

    CHECK(OpenAndCloseSoftwareKey() == ERROR_SUCCESS);

    const HMODULE loaded = GetModuleHandleW(L"advapi32.dll");
    CHECK(module.resolved);
    CHECK(module.handle == loaded);
    for (const DynamicImportEntry* entry = module.entries; entry->name; ++entry) {
        INFO(entry->name);
        CHECK(SlotOf(*entry) == Address(GetProcAddress(loaded, entry->name)));
    }

    // Were the second call to resolve or load anything, it would now meet a library that
    // cannot be loaded and fail with the fallback's ERROR_INVALID_FUNCTION.
    module.fileName = L"bristoke_no_such_library.dll";
    module.handle = reinterpret_cast<HMODULE>(-1);
    module.resolved = false;
    CHECK(OpenAndCloseSoftwareKey() == ERROR_SUCCESS);
    CHECK(module.handle == reinterpret_cast<HMODULE>(-1));
}

TEST_CASE("SystemFunctions_LibraryThatCannotBeLoaded_EveryFunctionGivesItsFallback") {
    FreshLibrary advapi32(SystemLibrary::advapi32);
    advapi32.module.fileName = L"bristoke_no_such_library.dll";

    HKEY key = nullptr;
    DWORD disposition = 0;
    CHECK(OpenAndCloseSoftwareKey() == ERROR_INVALID_FUNCTION);
    CHECK(advapi32.module.handle == nullptr);
    for (const DynamicImportEntry* entry = advapi32.module.entries; entry->name; ++entry) {
        INFO(entry->name);
        CHECK(SlotOf(*entry) == Address(entry->fallback));
    }
    CHECK(sys::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software", 0, nullptr, 0, KEY_READ, nullptr,
                               &key, &disposition) == ERROR_INVALID_FUNCTION);
    CHECK(sys::RegQueryValueExW(HKEY_CURRENT_USER, L"x", nullptr, nullptr, nullptr, nullptr) ==
          ERROR_INVALID_FUNCTION);
    CHECK(sys::RegSetValueExW(HKEY_CURRENT_USER, L"x", 0, REG_DWORD, nullptr, 0) ==
          ERROR_INVALID_FUNCTION);
    CHECK(sys::RegCloseKey(HKEY_CURRENT_USER) == ERROR_INVALID_FUNCTION);
    CHECK(key == nullptr);

    // The backup layer therefore cannot start, and stays uninitialised.
    const int32_t counter = TheBackupCounter;
    TheBackupCounter = BackupNotInitialised;
    CHECK_FALSE(InitBackup());
    CHECK(TheBackupCounter == BackupNotInitialised);
    TheBackupCounter = counter;
}

TEST_CASE("SystemFunctions_SubstitutesStandInForMissingFunctions") {
    FreshLibrary kernel32(SystemLibrary::kernel32);
    kernel32.module.fileName = L"bristoke_no_such_library.dll";

    int value = 0;
    CHECK(sys::EncodePointer(&value) == &value);
    CHECK(sys::DecodePointer(&value) == &value);
    CRITICAL_SECTION section;
    CHECK(sys::InitializeCriticalSectionAndSpinCount(&section, 4000));
    EnterCriticalSection(&section);
    LeaveCriticalSection(&section);
    DeleteCriticalSection(&section);
    HMODULE module = nullptr;
    CHECK(sys::GetModuleHandleExW(0, L"kernel32.dll", &module));
    CHECK(module == GetModuleHandleW(L"kernel32.dll"));
    CHECK(sys::CreateFileW(L"x", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr) == INVALID_HANDLE_VALUE);
}

TEST_CASE("SystemFunctions_TheTableLooksItsFunctionsUpThroughTheOneReplaceableLookup") {
    static int calls = 0;
    struct Fake {
        static LONG WINAPI RegCloseKey(HKEY) {
            ++calls;
            return ERROR_SUCCESS;
        }
    };
    {
        FakeSystemFunctions fakes;
        fakes.Replace("RegCloseKey", &Fake::RegCloseKey);
        fakes.Remove("IsWow64Process");
        CHECK(OpenAndCloseSoftwareKey() == ERROR_SUCCESS);
        CHECK(calls == 1);
        // A function the lookup does not find is no more available than on a release without it.
        CHECK_FALSE(IsAvailable(&sys::IsWow64Process));
        BOOL wow64 = TRUE;
        CHECK_FALSE(sys::IsWow64Process(GetCurrentProcess(), &wow64));
        CHECK(IsAvailable(&sys::RegOpenKeyExW));
    }
    // The real functions once the fake has gone.
    CHECK(OpenAndCloseSoftwareKey() == ERROR_SUCCESS);
    CHECK(calls == 1);
    CHECK(IsAvailable(&sys::IsWow64Process));
}
