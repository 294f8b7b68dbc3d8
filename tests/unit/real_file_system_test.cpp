#include <doctest.h>

#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "platform/unique_handle.h"
#include "streams/file_system.h"
#include "streams/folder.h"
#include "test_support.h"

namespace {

bool Exists(const std::wstring& path) {
    return GetFileAttributesW((L"\\\\?\\" + path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

/// The test's folder, held as a walk holds it.
std::shared_ptr<HeldFolder> Held(const std::wstring& path) {
    std::shared_ptr<HeldFolder> folder = HeldFolder::OpenPath(path);
    REQUIRE(static_cast<bool>(folder));
    return folder;
}

} // namespace

TEST_CASE("RealFileSystem_MoveNeverReplacesWhatHasTheName") {
    IFileSystem& files = RealFileSystem();
    const TempDir dir;
    const auto folder = Held(dir.path());
    const std::wstring source = L"a.txt.BRSK";
    const std::wstring target = L"a.txt.BRSK.cleaning_3_by_ovix";
    WriteBytes(dir / source, {1});

    SUBCASE("name free: moved") {
        CHECK(files.Move(*folder, source, target));
        CHECK_FALSE(Exists(dir / source));
        CHECK(ReadBytes(dir / target) == std::vector<unsigned char>{1});
    }
    SUBCASE("a file has the name: both stay") {
        WriteBytes(dir / target, {2});
        CHECK_FALSE(files.Move(*folder, source, target));
        CHECK(GetLastError() == ERROR_ALREADY_EXISTS);
        CHECK(ReadBytes(dir / source) == std::vector<unsigned char>{1});
        CHECK(ReadBytes(dir / target) == std::vector<unsigned char>{2});
    }
    SUBCASE("a directory has the name: both stay") {
        REQUIRE(CreateDirectoryW((dir / target).c_str(), nullptr));
        CHECK_FALSE(files.Move(*folder, source, target));
        CHECK(ReadBytes(dir / source) == std::vector<unsigned char>{1});
    }
    SUBCASE("a name with a separator or a parent is refused") {
        for (const wchar_t* name : {L"..\\x", L"..", L"sub\\x", L"sub/x"}) {
            CHECK_FALSE(files.Move(*folder, source, name));
            CHECK(GetLastError() == ERROR_INVALID_NAME);
        }
        CHECK(ReadBytes(dir / source) == std::vector<unsigned char>{1});
    }
}

TEST_CASE("RealFileSystem_PathLongerThanMaxPath") {
    IFileSystem& files = RealFileSystem();
    const TempDir dir;
    std::wstring directory = dir.path();
    for (int i = 0; i < 4; ++i) {
        directory += L"\\" + std::wstring(70, static_cast<wchar_t>(L'a' + i));
        REQUIRE(CreateDirectoryW((L"\\\\?\\" + directory).c_str(), nullptr));
    }
    const std::wstring source = L"a.txt.BRSK";
    const std::wstring target = source + L".cleaning_by_ovix";
    REQUIRE(directory.size() + source.size() > MAX_PATH);
    WriteBytes(L"\\\\?\\" + directory + L"\\" + source, {9});
    {
        const auto folder = Held(directory);
        REQUIRE(files.Move(*folder, source, target));
        bool same = false;
        CHECK(files.SameContent(*folder, target, target, same));
        CHECK(same);
        REQUIRE(files.Move(*folder, target, source));
        CHECK(ReadBytes(L"\\\\?\\" + directory + L"\\" + source) ==
              std::vector<unsigned char>{9});
        // TempDir cannot remove what lies beyond MAX_PATH.
        CHECK(files.Delete(*folder, source));
    }
    for (std::wstring d = directory; d.size() > dir.path().size(); d.resize(d.rfind(L'\\'))) {
        RemoveDirectoryW((L"\\\\?\\" + d).c_str());
    }
}

TEST_CASE("RealFileSystem_HoldKeepsOtherHoldersMovesAndDeletesOutNotReaders") {
    IFileSystem& files = RealFileSystem();
    const TempDir dir;
    const auto folder = Held(dir.path());
    const std::wstring name = L"a.doc.BRSK.cleaning_by_ovix";
    WriteBytes(dir / name, {1, 2, 3});
    std::unique_ptr<IHeldFile> held = files.Hold(*folder, name);
    REQUIRE(held);
    CHECK_FALSE(files.Hold(*folder, name));
    CHECK(GetLastError() == ERROR_SHARING_VIOLATION);
    CHECK_FALSE(files.Move(*folder, name, L"elsewhere"));
    CHECK_FALSE(files.Delete(*folder, name));
    CHECK(ReadBytes(dir / name) == std::vector<unsigned char>{1, 2, 3});
    // Moved through the hold, it stays held under its new name, and its data is read through it.
    REQUIRE(held->Rename(L"renamed"));
    CHECK(held->Name() == L"renamed");
    CHECK(held->Path() == dir / L"renamed");
    CHECK_FALSE(files.Hold(*folder, L"renamed"));
    UniqueFile data = held->OpenData();
    REQUIRE(data);
    unsigned char bytes[4] = {};
    DWORD got = 0;
    REQUIRE(ReadFile(data.get(), bytes, sizeof bytes, &got, nullptr));
    CHECK(got == 3);
    CHECK(bytes[2] == 3);
    data.reset();
    held.reset();
    CHECK(files.Hold(*folder, L"renamed"));
    CHECK_FALSE(files.Hold(*folder, L"missing"));
    CHECK(GetLastError() == ERROR_FILE_NOT_FOUND);
}

// A file with another name elsewhere would carry every change there: it is read at most.
TEST_CASE("RealFileSystem_AFileWithAnotherName_NeverChanged") {
    IFileSystem& files = RealFileSystem();
    const TempDir dir;
    const TempDir outside;
    WriteBytes(outside / L"protected.dll", {4, 5});
    REQUIRE(CreateHardLinkW((dir / L"a.doc.BRSK").c_str(), (outside / L"protected.dll").c_str(),
                            nullptr));
    const auto folder = Held(dir.path());
    CHECK_FALSE(files.Hold(*folder, L"a.doc.BRSK"));
    CHECK(GetLastError() == NotPlainError);
    CHECK_FALSE(files.Move(*folder, L"a.doc.BRSK", L"b"));
    CHECK(GetLastError() == NotPlainError);
    CHECK_FALSE(files.Delete(*folder, L"a.doc.BRSK"));
    CHECK(GetLastError() == NotPlainError);
    CHECK_FALSE(files.OpenToRead(*folder, L"a.doc.BRSK"));
    CHECK(GetLastError() == NotPlainError);
    CHECK(ReadBytes(outside / L"protected.dll") == std::vector<unsigned char>{4, 5});
    CHECK(Exists(dir / L"a.doc.BRSK"));
}

TEST_CASE("RealFileSystem_SameContentAndSmallFiles") {
    IFileSystem& files = RealFileSystem();
    const TempDir dir;
    const auto folder = Held(dir.path());
    // Past the comparison's block, so that a difference in a later block counts.
    std::vector<unsigned char> big((1 << 20) + 5, 7);
    WriteBytes(dir / L"a", big);
    WriteBytes(dir / L"b", big);
    big.back() = 8;
    WriteBytes(dir / L"c", big);
    WriteBytes(dir / L"d", {7});
    struct Case {
        const wchar_t* other;
        bool same;
    };
    for (const Case c : {Case{L"b", true}, Case{L"c", false}, Case{L"d", false}}) {
        bool same = !c.same;
        CHECK(files.SameContent(*folder, L"a", c.other, same));
        CHECK(same == c.same);
    }
    bool same = false;
    CHECK_FALSE(files.SameContent(*folder, L"a", L"missing", same));

    const std::wstring note = L"n.name_by_ovix";
    CHECK(files.WriteNewFile(*folder, note, L"report.docx.BRSK"));
    CHECK_FALSE(files.WriteNewFile(*folder, note, L"other"));
    std::wstring text;
    CHECK(files.ReadSmallFile(*folder, note, 255, text));
    CHECK(text == L"report.docx.BRSK");
    CHECK_FALSE(files.ReadSmallFile(*folder, note, 5, text));
}

namespace {

/// The owner and access list of a file as text.
std::wstring SecurityText(const std::wstring& path) {
    DWORD needed = 0;
    GetFileSecurityW(path.c_str(), OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                     nullptr, 0, &needed);
    SecurityBytes security(needed);
    REQUIRE(GetFileSecurityW(path.c_str(), OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                             security.data(), needed, &needed));
    LPWSTR text = nullptr;
    REQUIRE(ConvertSecurityDescriptorToStringSecurityDescriptorW(
        security.data(), SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
        &text, nullptr));
    const UniqueLocal owned(text);
    return text;
}

/// Gives a file an access list written as text.
void SetSecurityText(const std::wstring& path, const std::wstring& text) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    REQUIRE(ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1,
                                                                 &descriptor, nullptr));
    const UniqueLocal owned(descriptor);
    REQUIRE(SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor));
}

} // namespace

// What Wine keeps of a file besides its bytes: its last-write time, and access lists as Unix
// permissions (an entry for Everyone is what makes a file readable by others). It keeps no
// creation time of its own and no streams. Everything is read through the hold and given
// through the new file's own handle.
TEST_CASE("RealFileSystem_WhatAFileCarries_ReadAndGivenToAnother") {
    IFileSystem& files = RealFileSystem();
    const TempDir dir;
    const auto folder = Held(dir.path());
    const std::wstring from = L"a.txt.BRSK";
    WriteBytes(dir / from, {1});
    SetSecurityText(dir / from, L"D:(A;;FA;;;SY)(A;;FA;;;WD)");

    // A new file is closed to others from its first moment, whatever its folder passes down.
    std::unique_ptr<IOutputFile> to = files.CreateNew(*folder, L"a.txt.partial_by_ovix");
    REQUIRE(to);
    CHECK(SecurityText(to->Path()).find(L";WD)") == std::wstring::npos);
    CHECK_FALSE(files.CreateNew(*folder, L"a.txt.partial_by_ovix"));
    CHECK(GetLastError() == ERROR_FILE_EXISTS);
    std::unique_ptr<IHeldFile> held = files.Hold(*folder, from);
    REQUIRE(held);

    SUBCASE("times") {
        FileTimes dated;
        SYSTEMTIME day = {2020, 1, 4, 2, 10, 20, 30, 0};
        REQUIRE(SystemTimeToFileTime(&day, &dated.created));
        day.wHour = 11;
        REQUIRE(SystemTimeToFileTime(&day, &dated.written));
        REQUIRE(to->SetTimes(dated));
        to.reset();
        FileTimes given;
        const UniqueFile reopened(CreateFileW((dir / L"a.txt.partial_by_ovix").c_str(),
                                              GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
        REQUIRE(ReadTimes(reopened.get(), given));
        CHECK(CompareFileTime(&given.written, &dated.written) == 0);
        FileTimes read;
        CHECK(held->Times(read));
    }
    SUBCASE("an access list for the owner alone") {
        // The owner of every file here, as Wine names the Unix user.
        const std::wstring text = SecurityText(dir / from);
        const std::wstring owner = text.substr(2, text.find(L"D:") - 2);
        held.reset();
        SetSecurityText(dir / from, L"D:(A;;FA;;;SY)(A;;FA;;;" + owner + L")");
        held = files.Hold(*folder, from);
        REQUIRE(held);
        SecurityBytes security;
        REQUIRE(held->Security(security));
        REQUIRE(to->SetSecurity(security));
        CHECK(SecurityText(to->Path()) == SecurityText(dir / from));
    }
    SUBCASE("attributes, the name, and removal whatever the attributes") {
        REQUIRE(to->SetAttributes(FILE_ATTRIBUTE_READONLY));
        REQUIRE(to->Rename(L"a.txt"));
        CHECK(to->Path() == dir / L"a.txt");
        CHECK((GetFileAttributesW((dir / L"a.txt").c_str()) & FILE_ATTRIBUTE_READONLY) != 0);
        REQUIRE(to->Remove());
        to.reset();
        CHECK_FALSE(Exists(dir / L"a.txt"));
    }
    SUBCASE("the volume keeps access lists, and no streams") {
        bool accessLists = false;
        bool streams = true;
        REQUIRE(to->VolumeKeeps(accessLists, streams));
        CHECK(accessLists);
        CHECK_FALSE(streams);
    }
}
