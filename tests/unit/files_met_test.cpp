#include <doctest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "driver/files_met.h"
#include "platform/unique_handle.h"
#include "test_support.h"
#include "walker/dir_walker.h"

namespace {

using QueryDirectory = LONG(WINAPI*)(HANDLE, HANDLE, PVOID, PVOID, void*, PVOID, ULONG, int,
                                     BOOLEAN, void*, BOOLEAN);

/// As Windows 2000 answers the listing with file indexes: an unknown information class.
LONG WINAPI QueryWithoutFileIndexes(HANDLE a, HANDLE b, PVOID c, PVOID d, void* e, PVOID f, ULONG g,
                                    int informationClass, BOOLEAN i, void* j, BOOLEAN k) {
    constexpr int FileIdBothDirectoryInformationClass = 37;
    if (informationClass == FileIdBothDirectoryInformationClass) {
        return static_cast<LONG>(0xC0000003);
    }
    const auto real = reinterpret_cast<QueryDirectory>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryDirectoryFile"));
    return real(a, b, c, d, e, f, g, informationClass, i, j, k);
}

/// Every file of a walk of root, in the walk's order, as the driver meets them.
std::vector<WalkEntry> FilesOf(const std::wstring& root) {
    DirWalker walker;
    REQUIRE(walker.Prepare(root));
    std::vector<WalkEntry> files;
    const DirWalkerIterator end = walker.end();
    for (DirWalkerIterator it = walker.begin(); it != end; ++it) {
        if ((*it).isValid && !(*it).isDirectory) {
            files.push_back(*it);
        }
    }
    return files;
}

} // namespace

TEST_CASE("FilesMet_AFileByItsIdentity_OneWithoutAnIdentityByItsFullPathInAnyCaseOrForm") {
    const FileIdentity a = {7, 0, 100};
    const FileIdentity unknown;
    // The meetings in turn: a path, the identity its listing gave, and whether it is the first.
    struct Meeting {
        const wchar_t* path;
        FileIdentity identity;
        bool first;
    };
    const Meeting meetings[] = {
        {L"C:\\data\\a.BRSK", a, true},
        {L"C:\\data\\a.BRSK.cleaning_77_by_ovix", a, false},
        {L"D:\\link\\a.BRSK", a, false},
        {L"C:\\data\\b.BRSK", {7, 0, 101}, true},
        {L"C:\\data\\b.BRSK", {8, 0, 100}, true},
        {L"C:\\data\\b.BRSK", {7, 1, 100}, true},
        {L"C:\\data\\c.BRSK", unknown, true},
        {L"c:\\DATA\\C.brsk", unknown, false},
        {L"C:/data/sub/..\\.\\\\c.BRSK", unknown, false},
        {L"C:\\data\\c.BRSK.cleaning_77_by_ovix", unknown, true},
        {L"D:\\data\\c.BRSK", unknown, true},
    };
    FilesMet met;
    for (const Meeting& meeting : meetings) {
        CAPTURE(meeting.path);
        CHECK(met.FirstMeeting(meeting.path, meeting.identity) == meeting.first);
    }
}

TEST_CASE("FilesMet_IdentitiesFromTheListing_AFileByEachOfItsNamesEvenWhileACleaningHoldsIt") {
    // One file by two names in one folder, and in another folder reached by a second argument;
    // a cleaning holds it, sharing only reading, so nothing could open it to ask who it is.
    const TempDir dir;
    REQUIRE(CreateDirectoryW((dir / L"data").c_str(), nullptr));
    REQUIRE(CreateDirectoryW((dir / L"other").c_str(), nullptr));
    const std::wstring inProgress = dir / L"data\\a.BRSK.cleaning_77_by_ovix";
    WriteBytes(inProgress, {1});
    REQUIRE(CreateHardLinkW((dir / L"data\\second name").c_str(), inProgress.c_str(), nullptr));
    REQUIRE(CreateHardLinkW((dir / L"other\\third").c_str(), inProgress.c_str(), nullptr));
    WriteBytes(dir / L"data\\another file", {2});
    const UniqueFile held(CreateFileW(inProgress.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    REQUIRE(held);
    struct Case {
        const char* what;
        bool withFileIndexes;
        size_t firstMeetings;
    };
    // Without file indexes (Windows 2000), each name is a file of its own.
    const Case cases[] = {{"listing with file indexes", true, 2},
                          {"listing without file indexes", false, 4}};
    for (const Case& c : cases) {
        INFO(c.what);
        FakeSystemFunctions fake;
        if (!c.withFileIndexes) {
            fake.Replace("NtQueryDirectoryFile", QueryWithoutFileIndexes);
        }
        FilesMet met;
        size_t first = 0;
        for (const std::wstring& root : {dir / L"data", dir / L"other"}) {
            for (const WalkEntry& entry : FilesOf(root)) {
                CHECK(entry.identity.Known() == c.withFileIndexes);
                first += met.FirstMeeting(entry.path, entry.identity);
            }
        }
        CHECK(first == c.firstMeetings);
        // Each name once more: met before, with or without an identity.
        for (const WalkEntry& entry : FilesOf(dir / L"data")) {
            CHECK_FALSE(met.FirstMeeting(entry.path, entry.identity));
        }
    }
}
