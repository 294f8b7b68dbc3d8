#include <doctest.h>

#include <windows.h>

#include <string>

#include "driver/files_met.h"
#include "platform/unique_handle.h"
#include "test_support.h"

TEST_CASE("FilesMet_AFileByItsIdentity_OneWithoutAnIdentityByItsFullPathInAnyCaseOrForm") {
    const FileIdentity a = {7, 0, 100};
    const FileIdentity unknown;
    // The meetings in turn: a path, the identity played for it, and whether it is the first.
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
    const FileIdentity* played = nullptr;
    FilesMet met([&played](const std::wstring&) { return *played; });
    for (const Meeting& meeting : meetings) {
        CAPTURE(meeting.path);
        played = &meeting.identity;
        CHECK(met.FirstMeeting(meeting.path) == meeting.first);
    }
}

TEST_CASE("FilesMet_TheSystemsIdentity_AFileByEachOfItsNamesEvenWhileACleaningHoldsIt") {
    const TempDir dir;
    const std::wstring source = dir / L"a.BRSK";
    const std::wstring inProgress = source + L".cleaning_77_by_ovix";
    const std::wstring secondName = dir / L"second name";
    WriteBytes(source, {1});
    FilesMet met;
    CHECK(met.FirstMeeting(source));
    REQUIRE(MoveFileW(source.c_str(), inProgress.c_str()));
    REQUIRE(CreateHardLinkW(secondName.c_str(), inProgress.c_str(), nullptr));
    {
        // As a cleaning holds its file: to read and delete it, sharing only reading.
        const UniqueFile held(CreateFileW(inProgress.c_str(), GENERIC_READ | DELETE,
                                          FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        REQUIRE(held);
        CHECK_FALSE(met.FirstMeeting(inProgress));
        CHECK_FALSE(met.FirstMeeting(secondName));
    }
    WriteBytes(source, {1});
    CHECK(met.FirstMeeting(source));
}
