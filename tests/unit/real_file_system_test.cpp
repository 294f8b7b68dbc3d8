#include <doctest.h>

#include <string>
#include <vector>

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
