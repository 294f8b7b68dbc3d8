#include <doctest.h>

#include <windows.h>

#include <cwctype>
#include <string>
#include <vector>

#include "cleaner/filecoder_cleaner.h"
#include "key_set.h"
#include "log_capture.h"
#include "test_support.h"

namespace {

const std::wstring DetectionName = L"Win32/Filecoder.Ostrel";
const std::wstring LoadingLine = L"INFO: Loading keys, please wait...";
const std::wstring ExtensionsLine =
    L"INFO: Supported file extensions : .BRSK, .QOVE, .QOVY, .%RandomChars%";

/// The registry key under which the backup layer keeps its counter for a detection name.
std::wstring CounterKeyFor(std::wstring name) {
    for (wchar_t& c : name) {
        c = (c == L'/' || c == L'.' || c == L'-') ? L'_' : static_cast<wchar_t>(std::towlower(c));
    }
    return L"SOFTWARE\\OVIX\\Korvalines\\" + name;
}

bool KeyExists(HKEY root, const std::wstring& subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

/// Puts a handle of a deleted key in place of HKEY_CURRENT_USER for a scope: the hive of a user
/// that no key can be created in.
class DeletedCurrentUser {
public:
    explicit DeletedCurrentUser(const PrivateCurrentUser& user) : live(user.root()) {
        REQUIRE(RegCreateKeyExW(live, L"deleted", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &deleted,
                                nullptr) == ERROR_SUCCESS);
        REQUIRE(RegDeleteKeyW(live, L"deleted") == ERROR_SUCCESS);
        RegOverridePredefKey(HKEY_CURRENT_USER, deleted);
    }
    ~DeletedCurrentUser() {
        RegOverridePredefKey(HKEY_CURRENT_USER, live);
        RegCloseKey(deleted);
    }
    DeletedCurrentUser(const DeletedCurrentUser&) = delete;
    DeletedCurrentUser& operator=(const DeletedCurrentUser&) = delete;

private:
    HKEY live;
    HKEY deleted = nullptr;
};

} // namespace

TEST_CASE("FilecoderCleaner_GetName_DetectionNameBeforeAndAfterInit") {
    const PrivateCurrentUser user;
    const CounterScope notInitialised(BackupNotInitialised);
    FilecoderCleaner cleaner;
    CHECK(cleaner.GetName() == DetectionName);

    REQUIRE(cleaner.Init());
    CHECK(cleaner.GetName() == DetectionName);
    // The backup layer keeps its own copy of the name: the counter must land under this one.
    CHECK(KeyExists(user.root(), CounterKeyFor(cleaner.GetName())));
}

TEST_CASE("FilecoderCleaner_CheckArguments_TrueExactlyWhenAPathIsGiven") {
    struct Case {
        const char* what;
        std::vector<std::wstring> paths;
        bool accepted;
    };
    const Case cases[] = {
        {"no path", {}, false},
        {"an empty argument counts as a path", {L""}, true},
        {"one path", {L"C:\\data"}, true},
        {"several paths", {L"C:\\data", L"D:\\more", L"C:\\data"}, true},
    };
    FilecoderCleaner cleaner;
    for (Case c : cases) {
        INFO(c.what);
        const std::vector<std::wstring> given = c.paths;
        CHECK(cleaner.CheckArguments(c.paths) == c.accepted);
        CHECK(c.paths == given); // the driver walks the list it handed over
    }
}

TEST_CASE("FilecoderCleaner_Init_BackupLayerRefused_FailsAfterTheExtensionsLine") {
    const PrivateCurrentUser user;
    const CounterScope notInitialised(BackupNotInitialised);
    const DeletedCurrentUser deleted(user);
    FilecoderCleaner cleaner;
    const LogCapture log;
    CHECK_FALSE(cleaner.Init());
    const std::string keySet = BRISTOKE_KEY_SET;
    const std::wstring keys = std::to_wstring(cleaner.KeyCount());
    const std::wstring keysLine = L"INFO: Keys loaded: " + keys + L" of " + keys + L", " +
                                  std::wstring(keySet.begin(), keySet.end());
    CHECK(log.Lines() == std::vector<std::wstring>{LoadingLine, keysLine, ExtensionsLine,
                                                   L"ERROR: Can't init backup."});
    CHECK(TheBackupCounter == BackupNotInitialised);
}
