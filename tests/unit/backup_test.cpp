#include <doctest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "backup/backup.h"
#include "logging/console_handler.h"
#include "log_capture.h"
#include "test_support.h"

namespace {

constexpr const wchar_t* CounterKey = L"SOFTWARE\\OVIX\\Korvalines\\win32_filecoder_ostrel";

/// Sets the console's prompt switches for a scope and clears them after.
class PromptModeScope {
public:
    PromptModeScope(bool silent, bool forced) {
        TheConsole.SetSilent(silent);
        TheConsole.SetForced(forced);
    }
    ~PromptModeScope() {
        TheConsole.SetSilent(false);
        TheConsole.SetForced(false);
    }
};

void StoreCounter(HKEY root, DWORD type, const std::vector<uint8_t>& data) {
    HKEY key = nullptr;
    REQUIRE(RegCreateKeyExW(root, CounterKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) == ERROR_SUCCESS);
    REQUIRE(RegSetValueExW(key, L"BackupCounter", 0, type, data.data(),
                           static_cast<DWORD>(data.size())) == ERROR_SUCCESS);
    RegCloseKey(key);
}

/// The stored counter as REG_DWORD; fails the test for any other type.
DWORD StoredCounter(HKEY root) {
    HKEY key = nullptr;
    REQUIRE(RegOpenKeyExW(root, CounterKey, 0, KEY_READ, &key) == ERROR_SUCCESS);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG result = RegQueryValueExW(key, L"BackupCounter", nullptr, &type,
                                         reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    REQUIRE(result == ERROR_SUCCESS);
    REQUIRE(type == REG_DWORD);
    return value;
}

} // namespace

TEST_CASE("InitBackup_FirstRunCreatesTheKeyAndTheNextRunCountsOn") {
    const PrivateCurrentUser user;
    const CounterScope notInitialised(BackupNotInitialised);

    LogCapture firstRun;
    REQUIRE(InitBackup());
    CHECK(TheBackupCounter == 0);
    CHECK(StoredCounter(user.root()) == 0);
    CHECK(firstRun.Lines() == std::vector<std::wstring>{L"INFO: Backup: 0"});

    // Once per run: a second call changes nothing.
    LogCapture again;
    CHECK_FALSE(InitBackup());
    CHECK(TheBackupCounter == 0);
    CHECK(StoredCounter(user.root()) == 0);
    CHECK(again.Text().empty());

    TheBackupCounter = BackupNotInitialised; // the next run
    LogCapture nextRun;
    REQUIRE(InitBackup());
    CHECK(TheBackupCounter == 1);
    CHECK(StoredCounter(user.root()) == 1);
    CHECK(nextRun.Lines() == std::vector<std::wstring>{L"INFO: Backup: 1"});
}

TEST_CASE("InitBackup_StoredCounters") {
    struct Case {
        const char* what;
        DWORD type;
        std::vector<uint8_t> stored;
        int32_t counter;
    };
    const Case cases[] = {
        {"REG_DWORD", REG_DWORD, {41, 0, 0, 0}, 42},
        {"REG_QWORD restarts", REG_QWORD, {41, 0, 0, 0, 0, 0, 0, 0}, 0},
        {"long REG_SZ restarts", REG_SZ, {'4', 0, '1', 0, 0, 0}, 0},
        // A one-character string is read as its 4 bytes, like any value the read accepts.
        {"REG_SZ of one character", REG_SZ, {'7', 0, 0, 0}, 0x38},
        {"largest value wraps", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}, 0},
        // Its successor would be the "not initialised" mark, which fails every backup.
        {"successor would be the mark", REG_DWORD, {0xFE, 0xFF, 0xFF, 0xFF}, 0},
        {"signed overflow", REG_DWORD, {0xFF, 0xFF, 0xFF, 0x7F}, INT32_MIN},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        const PrivateCurrentUser user;
        const CounterScope notInitialised(BackupNotInitialised);
        StoreCounter(user.root(), c.type, c.stored);
        LogCapture log;
        REQUIRE(InitBackup());
        CHECK(TheBackupCounter == c.counter);
        CHECK(StoredCounter(user.root()) == static_cast<DWORD>(c.counter));
        CHECK(log.Lines() ==
              std::vector<std::wstring>{L"INFO: Backup: " + std::to_wstring(c.counter)});
    }
}

TEST_CASE("MakeBackupName_TheFilesDirectoryTheCounterAndTheMarker") {
    struct Case {
        int32_t counter;
        const wchar_t* source;
        const wchar_t* backup;
    };
    const Case cases[] = {
        {0, L"a.txt.BRSK", L"a.txt.BRSK.backup_by_ovix"},
        {1, L"a.txt.BRSK", L"a.txt.BRSK.backup_1_by_ovix"},
        {12, L"report.docx.BRSK", L"report.docx.BRSK.backup_12_by_ovix"},
    };
    for (const Case& c : cases) {
        INFO(c.backup);
        const TempDir dir;
        const CounterScope counter(c.counter);
        std::wstring backup;
        REQUIRE(MakeBackupName(dir / c.source, backup));
        CHECK(backup == dir / c.backup);
    }
}

TEST_CASE("MakeBackupName_NamesNearTheLimitKeepTheirStartAndTag") {
    // (name length, counter): the whole name fits up to 255 characters with its suffix.
    struct Case {
        size_t length;
        int32_t counter;
        bool whole;
    };
    const Case cases[] = {
        {236, 0, true},    {240, 0, true},  {241, 0, false},          {237, 99, true},
        {237, 100, false}, {250, 1, false}, {255, 2147483647, false}, {229, 2147483647, true},
    };
    for (const Case& c : cases) {
        INFO(c.length << " characters, counter " << c.counter);
        const CounterScope counter(c.counter);
        const std::wstring name = std::wstring(c.length - 5, L'n') + L".BRSK";
        std::wstring backup;
        REQUIRE(MakeBackupName(L"C:\\data\\" + name, backup));
        REQUIRE(backup.rfind(L"C:\\data\\", 0) == 0);
        const std::wstring backupName = FileNameOf(backup);
        CHECK(backupName.size() <= MaxFileNameLength);
        CHECK(IsBackupName(backupName));
        CHECK(IsOwnFileName(backupName));
        if (c.whole) {
            CHECK(backupName.rfind(name + L".backup_", 0) == 0);
        } else {
            // The start of the name, its tag, and the suffix that makes it a backup.
            const std::wstring tagged = TagOf(name) + L".backup_";
            const size_t at = backupName.find(tagged);
            REQUIRE(at != std::wstring::npos);
            CHECK(name.rfind(backupName.substr(0, at), 0) == 0);
            CHECK(at > 200);
        }
    }
}

TEST_CASE("MakeBackupName_Refusals") {
    const TempDir dir;
    const std::wstring source = dir / L"a.txt.BRSK";
    const std::wstring backupName = dir / L"a.txt.BRSK.backup_3_by_ovix";
    std::wstring backup;

    SUBCASE("not initialised") {
        const CounterScope counter(BackupNotInitialised);
        CHECK_FALSE(MakeBackupName(source, backup));
    }
    SUBCASE("backup name taken by a file") {
        const CounterScope counter(3);
        TouchFile(backupName);
        CHECK_FALSE(MakeBackupName(source, backup));
    }
    SUBCASE("backup name taken by a directory: the name is given, the move will say why") {
        const CounterScope counter(3);
        REQUIRE(CreateDirectoryW(backupName.c_str(), nullptr));
        CHECK(MakeBackupName(source, backup));
        CHECK(backup == backupName);
    }
}

TEST_CASE("IsBackupName") {
    struct Case {
        const wchar_t* path;
        bool backup;
    };
    const Case cases[] = {
        {L"C:\\d\\a.txt.BRSK.backup_by_ovix", true},
        {L"C:\\d\\a.txt.BRSK.backup_7_by_ovix", true},
        {L"a.backup_12_by_ovix", true},
        {L"C:\\d\\a.tx~0123ABCD.backup_3_by_ovix", true},
        {L"C:\\d\\a.txt.by_ovix", false},
        {L"C:\\d\\a.txt.backup_x", false},
        {L"C:\\d\\a.txt.BACKUP_by_ovix", false},
        {L"C:\\d\\a.txt.backup_BY_OVIX", false},
        {L"C:\\d\\a.txt.backup_by_ovi", false},
        {L"C:\\d.backup_by_ovix\\a.txt", false},
        {L"C:\\d\\a.txt", false},
        {L"C:\\d\\noextension", false},
    };
    for (const Case& c : cases) {
        INFO(std::wstring(c.path));
        CHECK(IsBackupName(c.path) == c.backup);
    }
}

TEST_CASE("OwnNames_EachKindWithItsCounterReadBackAndRecognised") {
    const std::wstring longName = std::wstring(250, L'x') + L".BRSK";
    struct Case {
        OwnKind kind;
        int32_t counter;
        const wchar_t* suffix;
    };
    const Case cases[] = {
        {OwnKind::Backup, 0, L".backup_by_ovix"},
        {OwnKind::Cleaning, 12, L".cleaning_12_by_ovix"},
        {OwnKind::Partial, -3, L".partial_-3_by_ovix"},
        {OwnKind::Name, 7, L".name_7_by_ovix"},
    };
    for (const Case& c : cases) {
        INFO(c.suffix);
        const std::wstring name = OwnNameOf(L"C:\\d\\a.doc.BRSK", c.kind, c.counter);
        CHECK(name == std::wstring(L"C:\\d\\a.doc.BRSK") + c.suffix);
        CHECK(IsOwnFileName(FileNameOf(name)));
        std::wstring base;
        int32_t counter = 99;
        bool shortened = true;
        REQUIRE(ParseOwnName(name, c.kind, base, counter, shortened));
        CHECK(base == L"C:\\d\\a.doc.BRSK");
        CHECK(counter == c.counter);
        CHECK_FALSE(shortened);
        // A name at the limit keeps its start and gets its tag.
        const std::wstring cut = OwnNameOf(L"C:\\d\\" + longName, c.kind, c.counter);
        CHECK(FileNameOf(cut).size() == MaxFileNameLength);
        CHECK(FileNameOf(cut).find(TagOf(longName) + c.suffix) != std::wstring::npos);
        REQUIRE(ParseOwnName(cut, c.kind, base, counter, shortened));
        CHECK(shortened);
        CHECK(counter == c.counter);
    }
    // The letters' case does not count, as on the file systems; anything else does.
    CHECK(TagOf(L"Report.Docx.BRSK") == TagOf(L"report.docx.brsk"));
    CHECK(TagOf(L"a.BRSK") != TagOf(L"b.BRSK"));
    CHECK(TagOf(L"a.BRSK") != TagOf(L"a.BRSK "));
    struct Own {
        const wchar_t* name;
        bool own;
    };
    const Own names[] = {
        {L"a.doc.BRSK.cleaning_by_ovix", true},
        {L"a.doc.BRSK.cleaning_5_by_ovix", true},
        {L"a.doc.BRSK.partial_5_by_ovix", true},
        {L"a.doc.BRSK.name_5_by_ovix", true},
        {L"a.doc.BRSK.backup_12_by_ovix", true},
        // Scan's rule for backups: both markers anywhere in the last extension.
        {L"a.doc.xbackup_by_ovixy", false},
        {L"a.doc.y.backup_x_by_ovix_z", true},
        // Other kinds only in the form the tool writes.
        {L"a.doc.cleaning_05_by_ovix", false},
        {L"a.doc.cleaning_x_by_ovix", false},
        {L"a.doc.cleaning_0_by_ovix", false},
        {L".cleaning_5_by_ovix", false},
        {L"a.doc.cleaning_5_by_ovix.BRSK", false},
        {L"report.partial_decryption", false},
        {L"a.doc.BRSK", false},
    };
    for (const Own& c : names) {
        INFO(std::wstring(c.name));
        CHECK(IsOwnFileName(c.name) == c.own);
    }
}

TEST_CASE("SiblingOwnName_TheSameSourcesNameOfAnotherKind_WhereItCanBeKnown") {
    // Names at and past the limit, one of them cut right after a high surrogate.
    const std::wstring longName = L"C:\\d\\" + std::wstring(250, L'x') + L".BRSK";
    const std::wstring surrogates =
        L"C:\\d\\" + std::wstring(220, L'y') + std::wstring(20, L'\xD83D') + L".pdf.BRSK";
    struct Case {
        const char* what;
        std::wstring source;
        OwnKind from;
        OwnKind to;
        bool known;
    };
    const Case cases[] = {
        {"a short name, a longer suffix", L"C:\\d\\a.doc.BRSK", OwnKind::Partial, OwnKind::Cleaning,
         true},
        {"a short name, a shorter suffix", L"C:\\d\\a.doc.BRSK", OwnKind::Cleaning, OwnKind::Name,
         true},
        {"a long name, a longer suffix", longName, OwnKind::Partial, OwnKind::Cleaning, true},
        {"a long name, from the note", longName, OwnKind::Name, OwnKind::Backup, true},
        // The longer name keeps more of the source than the shorter one has.
        {"a long name, a shorter suffix", longName, OwnKind::Cleaning, OwnKind::Partial, false},
        {"a cut by a surrogate pair", surrogates, OwnKind::Partial, OwnKind::Cleaning, true},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        for (const int32_t counter : {0, 7, 123456}) {
            std::wstring sibling;
            CHECK(SiblingOwnName(OwnNameOf(c.source, c.from, counter), c.from, c.to, sibling) ==
                  c.known);
            if (c.known) {
                CHECK(sibling == OwnNameOf(c.source, c.to, counter));
            }
        }
    }
    std::wstring sibling;
    CHECK_FALSE(SiblingOwnName(L"C:\\d\\a.doc.BRSK", OwnKind::Partial, OwnKind::Cleaning, sibling));
}

TEST_CASE("FileNameOf_And_ExtensionOf") {
    CHECK(FileNameOf(L"C:\\d\\a.txt") == L"a.txt");
    CHECK(FileNameOf(L"a.txt") == L"a.txt");
    CHECK(FileNameOf(L"C:\\d\\") == L"");
    CHECK(ExtensionOf(L"a.txt.BRSK") == L"BRSK");
    CHECK(ExtensionOf(L"a") == L"");
    CHECK(ExtensionOf(L"a.") == L"");
    CHECK(ExtensionOf(L"C:\\d.x\\a") == L"x\\a");
}

TEST_CASE("MayOverwrite") {
    const TempDir dir;
    const std::wstring existing = dir / L"a.txt";
    TouchFile(existing);

    SUBCASE("missing path: yes without a prompt (silent would have said no)") {
        const PromptModeScope silent(true, false);
        LogCapture log;
        CHECK(MayOverwrite(dir / L"missing.txt"));
        CHECK(MayOverwrite(dir / L"nodir\\missing.txt"));
        CHECK(log.Text().empty());
    }
    SUBCASE("directory: yes without a prompt") {
        const PromptModeScope silent(true, false);
        CHECK(MayOverwrite(dir.path()));
    }
    SUBCASE("silent: no, with the question and its line") {
        const PromptModeScope silent(true, false);
        LogCapture log;
        CHECK_FALSE(MayOverwrite(existing));
        CHECK(log.Lines() ==
              std::vector<std::wstring>{L"INFO: Do you want to overwrite the following file? [" +
                                            existing + L"] No (silent mode)",
                                        L"INFO: User doesn't allow modification of file [" +
                                            existing + L"]"});
    }
    SUBCASE("forced, also with silent: yes, and the log says who answered") {
        for (const bool silent : {false, true}) {
            const PromptModeScope forced(silent, true);
            LogCapture log;
            CHECK(MayOverwrite(existing));
            CHECK(log.Lines() == std::vector<std::wstring>{
                                     L"INFO: Do you want to overwrite the following file? [" +
                                     existing + L"] Yes (forced mode)"});
        }
    }
}
