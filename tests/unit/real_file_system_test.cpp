#include <doctest.h>

#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "platform/unique_handle.h"
#include "streams/file_system.h"
#include "test_support.h"

namespace {

bool Exists(const std::wstring& path) {
    return GetFileAttributesW((L"\\\\?\\" + path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

TEST_CASE("RealFileSystem_MoveNeverReplacesWhatHasTheName") {
    IFileSystem& files = RealFileSystem();
    const TempDir dir;
    const std::wstring source = dir / L"a.txt.BRSK";
    const std::wstring target = dir / L"a.txt.BRSK.cleaning_3_by_ovix";
    WriteBytes(source, {1});

    SUBCASE("name free: moved") {
        CHECK(files.Move(source, target));
        CHECK_FALSE(Exists(source));
        CHECK(ReadBytes(target) == std::vector<unsigned char>{1});
    }
    SUBCASE("a file has the name: both stay") {
        WriteBytes(target, {2});
        CHECK_FALSE(files.Move(source, target));
        CHECK(GetLastError() == ERROR_ALREADY_EXISTS);
        CHECK(ReadBytes(source) == std::vector<unsigned char>{1});
        CHECK(ReadBytes(target) == std::vector<unsigned char>{2});
    }
    SUBCASE("a directory has the name: both stay") {
        REQUIRE(CreateDirectoryW(target.c_str(), nullptr));
        CHECK_FALSE(files.Move(source, target));
        CHECK(ReadBytes(source) == std::vector<unsigned char>{1});
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
    const std::wstring source = directory + L"\\a.txt.BRSK";
    const std::wstring target = source + L".cleaning_by_ovix";
    REQUIRE(source.size() > MAX_PATH);
    WriteBytes(L"\\\\?\\" + source, {9});
    REQUIRE(files.Move(source, target));
    bool same = false;
    CHECK(files.SameContent(target, target, same));
    CHECK(same);
    REQUIRE(files.Move(target, source));
    CHECK(ReadBytes(L"\\\\?\\" + source) == std::vector<unsigned char>{9});
    // TempDir cannot remove what lies beyond MAX_PATH.
    CHECK(files.Delete(source));
    for (std::wstring d = directory; d.size() > dir.path().size(); d.resize(d.rfind(L'\\'))) {
        RemoveDirectoryW((L"\\\\?\\" + d).c_str());
    }
}

TEST_CASE("RealFileSystem_HoldKeepsOtherHoldersMovesAndDeletesOutNotReaders") {
    IFileSystem& files = RealFileSystem();
    const TempDir dir;
    const std::wstring path = dir / L"a.doc.BRSK.cleaning_by_ovix";
    WriteBytes(path, {1, 2, 3});
    std::unique_ptr<IHeldFile> held = files.Hold(path);
    REQUIRE(held);
    CHECK_FALSE(files.Hold(path));
    CHECK(GetLastError() == ERROR_SHARING_VIOLATION);
    CHECK_FALSE(files.Move(path, dir / L"elsewhere"));
    CHECK_FALSE(files.Delete(path));
    CHECK(ReadBytes(path) == std::vector<unsigned char>{1, 2, 3});
    held.reset();
    CHECK(files.Hold(path));
    CHECK_FALSE(files.Hold(dir / L"missing"));
    CHECK(GetLastError() == ERROR_FILE_NOT_FOUND);
}

TEST_CASE("RealFileSystem_SameContentAndSmallFiles") {
    IFileSystem& files = RealFileSystem();
    const TempDir dir;
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
        CHECK(files.SameContent(dir / L"a", dir / c.other, same));
        CHECK(same == c.same);
    }
    bool same = false;
    CHECK_FALSE(files.SameContent(dir / L"a", dir / L"missing", same));

    const std::wstring note = dir / L"n.name_by_ovix";
    CHECK(files.WriteNewFile(note, L"report.docx.BRSK"));
    CHECK_FALSE(files.WriteNewFile(note, L"other"));
    std::wstring text;
    CHECK(files.ReadSmallFile(note, 255, text));
    CHECK(text == L"report.docx.BRSK");
    CHECK_FALSE(files.ReadSmallFile(note, 5, text));
}

namespace {

/// The owner and access list of a file as text.
std::wstring SecurityText(const std::wstring& path) {
    SecurityBytes security;
    REQUIRE(RealFileSystem().Security(path, security));
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
// creation time of its own and no streams.
TEST_CASE("RealFileSystem_WhatAFileCarries_ReadAndGivenToAnother") {
    IFileSystem& files = RealFileSystem();
    const TempDir dir;
    const std::wstring from = dir / L"a.txt.BRSK";
    const std::wstring to = dir / L"a.txt";
    WriteBytes(from, {1});
    WriteBytes(to, {2});

    SUBCASE("times") {
        FileTimes dated;
        SYSTEMTIME day = {2020, 1, 4, 2, 10, 20, 30, 0};
        REQUIRE(SystemTimeToFileTime(&day, &dated.created));
        day.wHour = 11;
        REQUIRE(SystemTimeToFileTime(&day, &dated.written));
        REQUIRE(files.SetTimes(from, dated));
        FileTimes read;
        REQUIRE(files.Times(from, read));
        REQUIRE(files.SetTimes(to, read));
        FileTimes given;
        REQUIRE(files.Times(to, given));
        // Wine reads a file's creation as its last write: the two files agree all the same.
        CHECK(CompareFileTime(&given.created, &read.created) == 0);
        CHECK(CompareFileTime(&given.written, &dated.written) == 0);
    }
    SUBCASE("an access list for the owner alone") {
        // The owner of every file here, as Wine names the Unix user.
        const std::wstring owner = SecurityText(from).substr(2, SecurityText(from).find(L"D:") - 2);
        SetSecurityText(from, L"D:(A;;FA;;;SY)(A;;FA;;;" + owner + L")");
        REQUIRE(SecurityText(to).find(L";WD)") != std::wstring::npos);
        SecurityBytes security;
        REQUIRE(files.Security(from, security));
        REQUIRE(files.SetSecurity(to, security));
        CHECK(SecurityText(to) == SecurityText(from));
        CHECK(SecurityText(to).find(L";WD)") == std::wstring::npos);
    }
    SUBCASE("closed to others") {
        REQUIRE(SecurityText(to).find(L";WD)") != std::wstring::npos);
        REQUIRE(files.CloseToOthers(to));
        CHECK(SecurityText(to).find(L";WD)") == std::wstring::npos);
    }
    SUBCASE("the volume keeps access lists, and no streams") {
        bool accessLists = false;
        bool streams = true;
        REQUIRE(files.VolumeKeeps(to, accessLists, streams));
        CHECK(accessLists);
        CHECK_FALSE(streams);
    }
}
