#include <doctest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "logging/log_file.h"
#include "log_capture.h"
#include "streams/path_helpers.h"
#include "test_support.h"
#include "walker/dir_walker.h"

namespace {

/// root: a.txt, hidden.txt (hidden), system.bin (system), y.doc, empty\, sub\b.doc,
/// sub\deeper\c.txt, and x.doc\inner.txt (a directory whose name matches *.doc).
class WalkTree {
public:
    WalkTree() {
        for (const wchar_t* directory : {L"empty", L"sub", L"sub\\deeper", L"x.doc"}) {
            REQUIRE(CreateDirectoryW((dir / directory).c_str(), nullptr));
        }
        for (const wchar_t* file : {L"a.txt", L"hidden.txt", L"system.bin", L"y.doc", L"sub\\b.doc",
                                    L"sub\\deeper\\c.txt", L"x.doc\\inner.txt"}) {
            TouchFile(dir / file);
        }
        REQUIRE(SetFileAttributesW((dir / L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
        REQUIRE(SetFileAttributesW((dir / L"system.bin").c_str(), FILE_ATTRIBUTE_SYSTEM));
        REQUIRE((GetFileAttributesW((dir / L"hidden.txt").c_str()) & FILE_ATTRIBUTE_HIDDEN) != 0);
        REQUIRE((GetFileAttributesW((dir / L"system.bin").c_str()) & FILE_ATTRIBUTE_SYSTEM) != 0);
    }
    const std::wstring& root() const { return dir.path(); }
    std::wstring operator/(const std::wstring& name) const { return dir / name; }

private:
    TempDir dir;
};

bool IsDotName(const std::wstring& path) {
    const std::wstring name = path.substr(path.rfind(L'\\') + 1);
    return name == L"." || name == L"..";
}

std::vector<WalkEntry> Walk(const std::wstring& argument) {
    DirWalker walker;
    REQUIRE(walker.Prepare(argument));
    std::vector<WalkEntry> entries;
    const DirWalkerIterator end = walker.end();
    for (DirWalkerIterator it = walker.begin(); it != end; ++it) {
        entries.push_back(*it);
    }
    return entries;
}

std::multiset<std::wstring> PathsOf(const std::vector<WalkEntry>& entries) {
    std::multiset<std::wstring> paths;
    for (const WalkEntry& entry : entries) {
        paths.insert(entry.path);
    }
    return paths;
}

/// Each entry must lie directly in the latest directory that is still open: a directory comes
/// before its content, and its content is not interleaved with its siblings'.
void CheckDepthFirstPreOrder(const std::vector<WalkEntry>& entries, const std::wstring& root) {
    std::vector<std::wstring> open{root};
    for (const WalkEntry& entry : entries) {
        const std::wstring parent = entry.path.substr(0, entry.path.rfind(L'\\'));
        while (!open.empty() && open.back() != parent) {
            open.pop_back();
        }
        INFO("out of order: ", entry.path);
        REQUIRE(!open.empty());
        if (entry.isDirectory && !IsDotName(entry.path)) {
            open.push_back(entry.path);
        }
    }
}

} // namespace

TEST_CASE("DirWalker_DirectoryRoot_DepthFirstPreOrderOfEverything") {
    const WalkTree tree;
    LogCapture log;
    const std::vector<WalkEntry> entries = Walk(tree.root());

    const std::wstring r = tree.root() + L"\\";
    const std::multiset<std::wstring> expected = {r + L".",
                                                  r + L"..",
                                                  r + L"a.txt",
                                                  r + L"hidden.txt",
                                                  r + L"system.bin",
                                                  r + L"y.doc",
                                                  r + L"empty",
                                                  r + L"empty\\.",
                                                  r + L"empty\\..",
                                                  r + L"sub",
                                                  r + L"sub\\.",
                                                  r + L"sub\\..",
                                                  r + L"sub\\b.doc",
                                                  r + L"sub\\deeper",
                                                  r + L"sub\\deeper\\.",
                                                  r + L"sub\\deeper\\..",
                                                  r + L"sub\\deeper\\c.txt",
                                                  r + L"x.doc",
                                                  r + L"x.doc\\.",
                                                  r + L"x.doc\\..",
                                                  r + L"x.doc\\inner.txt"};
    CHECK(PathsOf(entries) == expected);
    CheckDepthFirstPreOrder(entries, tree.root());

    const std::set<std::wstring> directories = {r + L"empty", r + L"sub", r + L"sub\\deeper",
                                                r + L"x.doc"};
    for (size_t i = 0; i < entries.size(); ++i) {
        const WalkEntry& entry = entries[i];
        CHECK(entry.isValid);
        CHECK(entry.isDirectory == (IsDotName(entry.path) || directories.count(entry.path) == 1));
        if (directories.count(entry.path) == 1) {
            // A directory's own "." and ".." follow it at once; they are never descended.
            REQUIRE(i + 2 < entries.size());
            CHECK(entries[i + 1].path == entry.path + L"\\.");
            CHECK(entries[i + 2].path == entry.path + L"\\..");
        }
    }
    CHECK(entries[0].path == r + L".");
    CHECK(entries[1].path == r + L"..");
    CHECK(log.Text().empty());
}

TEST_CASE("DirWalker_Entries_SizeAndIdentityFromTheListing") {
    const TempDir dir;
    WriteBytes(dir / L"data.bin", std::vector<unsigned char>(1234, 7));
    REQUIRE(CreateHardLinkW((dir / L"second name").c_str(), (dir / L"data.bin").c_str(), nullptr));
    std::vector<WalkEntry> files;
    for (const WalkEntry& entry : Walk(dir.path())) {
        if (!entry.isDirectory) {
            files.push_back(entry);
        }
    }
    REQUIRE(files.size() == 2);
    for (const WalkEntry& entry : files) {
        CAPTURE(entry.path);
        CHECK(entry.size == 1234);
        CHECK(entry.identity.Known());
        CHECK(entry.identity.SameAs(IdentityOf(ToSystemPath(dir / L"data.bin"))));
    }
}

TEST_CASE("DirWalker_PatternRoot_FiltersTopLevelOnlyAndWalksMatchingDirectoriesWhole") {
    const WalkTree tree;
    const std::vector<WalkEntry> entries = Walk(tree / L"*.doc");
    const std::wstring r = tree.root() + L"\\";
    CHECK(PathsOf(entries) == std::multiset<std::wstring>{r + L"x.doc", r + L"x.doc\\.",
                                                          r + L"x.doc\\..", r + L"x.doc\\inner.txt",
                                                          r + L"y.doc"});
    CheckDepthFirstPreOrder(entries, tree.root());
}

TEST_CASE("DirWalker_SingleRoots_YieldTheirOneEntry") {
    const WalkTree tree;
    const CurrentDirectoryScope inTree(tree.root());
    std::wstring slashed = tree.root();
    std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    struct Case {
        const char* what;
        std::wstring argument;
        std::vector<std::wstring> paths;
    };
    const Case cases[] = {
        // The name as the file system spells it, after the directory part as given.
        {"file path in another letter case", tree / L"A.TXT", {tree / L"a.txt"}},
        {"file path with trailing backslash", tree / L"a.txt\\", {tree / L"a.txt"}},
        {"bare file name", L"a.txt", {L"a.txt"}},
        {"bare directory name",
         L"sub\\deeper",
         {L"sub\\deeper\\.", L"sub\\deeper\\..", L"sub\\deeper\\c.txt"}},
        {"directory with \\*",
         tree / L"sub\\deeper\\*",
         {tree / L"sub\\deeper\\.", tree / L"sub\\deeper\\..", tree / L"sub\\deeper\\c.txt"}},
        // "/" separates as "\\" does, and a doubled separator names what a single one does;
        // the directory part stays as given.
        {"file path with forward slashes", slashed + L"/sub/b.doc", {slashed + L"/sub\\b.doc"}},
        {"file path with mixed separators", tree / L"sub/b.doc", {tree / L"sub\\b.doc"}},
        {"file path with a doubled separator", tree / L"sub\\\\b.doc", {tree / L"sub\\\\b.doc"}},
        {"relative file path with a forward slash", L"sub/b.doc", {L"sub\\b.doc"}},
        {"directory with /*",
         slashed + L"/sub/deeper/*",
         {slashed + L"/sub/deeper\\.", slashed + L"/sub/deeper\\..",
          slashed + L"/sub/deeper\\c.txt"}},
        {"directory with a trailing /",
         L"sub/deeper/",
         {L"sub/deeper\\.", L"sub/deeper\\..", L"sub/deeper\\c.txt"}},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        const std::vector<WalkEntry> entries = Walk(c.argument);
        REQUIRE(entries.size() == c.paths.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            CHECK(entries[i].path == c.paths[i]);
            CHECK(entries[i].isValid);
        }
    }
}

TEST_CASE("DirWalker_Prepare_RefusesEmptyAndLoneStar") {
    DirWalker walker;
    CHECK_FALSE(walker.Prepare(L""));
    CHECK_FALSE(walker.Prepare(L"\\*"));
    CHECK_FALSE(walker.Prepare(L"/*"));
    CHECK(walker.Prepare(L"\\\\"));
    CHECK(walker.Prepare(L"C:\\"));
}

TEST_CASE("DirWalker_DriveRoot_IsWalkedAsTheDriveWithoutDoubleBackslash") {
    // C:\ is prepared to C: and searched as C:\*; the walk is abandoned after a few entries.
    // The drive's root lists no "." and "..", so the first entry is a real one in the root.
    DirWalker walker;
    REQUIRE(walker.Prepare(L"C:\\"));
    std::vector<std::wstring> seen;
    const DirWalkerIterator end = walker.end();
    for (DirWalkerIterator it = walker.begin(); it != end && seen.size() < 4; ++it) {
        seen.push_back((*it).path);
    }
    std::wstring all;
    for (const std::wstring& path : seen) {
        all += path + L"|";
    }
    INFO(all);
    REQUIRE(seen.size() == 4);
    for (const std::wstring& path : seen) {
        INFO(path);
        CHECK(path.rfind(L"C:\\", 0) == 0);
        CHECK(path.find(L"\\\\") == std::wstring::npos);
    }
    CHECK(seen[0].find(L'\\', 3) == std::wstring::npos);
    CHECK(GetFileAttributesW(seen[0].c_str()) != INVALID_FILE_ATTRIBUTES);
}

TEST_CASE("DirWalker_RootsThatCannotBeSearched_OneInvalidEntry") {
    const WalkTree tree;
    struct Case {
        const char* what;
        std::wstring argument;
        std::wstring path;
        std::wstring logged;
    };
    const Case cases[] = {
        // Reported through its directory, which exists: the log says so.
        {"missing file in an existing directory", tree / L"missing.txt", tree.root(),
         L"ERROR: consistency error: 00000010"},
        {"missing file in a missing directory", tree / L"nodir\\missing.txt", tree / L"nodir", L""},
        {"backslashes only", L"\\\\\\", L"", L""},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        LogCapture log;
        const std::vector<WalkEntry> entries = Walk(c.argument);
        REQUIRE(entries.size() == 1);
        CHECK(entries[0].path == c.path);
        CHECK_FALSE(entries[0].isValid);
        CHECK_FALSE(entries[0].isDirectory);
        const std::vector<std::wstring> lines = log.Lines();
        CHECK(lines == (c.logged.empty() ? std::vector<std::wstring>{}
                                         : std::vector<std::wstring>{c.logged}));
    }
}

TEST_CASE("DirWalker_SubdirectoryThatVanishes_SkippedWithAWarning") {
    const WalkTree tree;
    REQUIRE(CreateDirectoryW((tree / L"gone").c_str(), nullptr));
    TouchFile(tree / L"gone\\lost.txt");
    LogCapture log;
    DirWalker walker;
    REQUIRE(walker.Prepare(tree.root()));
    std::vector<WalkEntry> entries;
    const DirWalkerIterator end = walker.end();
    for (DirWalkerIterator it = walker.begin(); it != end; ++it) {
        entries.push_back(*it);
        if (entries.back().path == tree / L"gone") {
            // Vanishes between being listed and being searched.
            REQUIRE(DeleteFileW((tree / L"gone\\lost.txt").c_str()));
            REQUIRE(RemoveDirectoryW((tree / L"gone").c_str()));
        }
    }
    const std::multiset<std::wstring> paths = PathsOf(entries);
    CHECK(paths.count(tree / L"gone") == 1);
    CHECK(paths.count(tree / L"gone\\.") == 0);
    CHECK(paths.count(tree / L"gone\\lost.txt") == 0);
    // Its siblings are all still walked.
    CHECK(paths.count(tree / L"sub\\deeper\\c.txt") == 1);
    CHECK(paths.count(tree / L"x.doc\\inner.txt") == 1);
    CHECK(paths.size() == 22);
    const std::vector<std::wstring> lines = log.Lines();
    CHECK(lines == std::vector<std::wstring>{L"WARNING: Can't search directory [" + tree / L"gone" +
                                             L"], GLE(0x00000003)"});
}

TEST_CASE("DirWalker_SubdirectoryReplacedAfterItsListing_SkippedWithAWarning") {
    // Another folder takes the name between the listing that named it and its opening: the
    // walk does not enter a folder it did not list.
    const WalkTree tree;
    REQUIRE(CreateDirectoryW((tree / L"swapped").c_str(), nullptr));
    TouchFile(tree / L"swapped\\listed.txt");
    LogCapture log;
    std::vector<WalkEntry> entries;
    DirWalker walker;
    REQUIRE(walker.Prepare(tree.root()));
    const DirWalkerIterator end = walker.end();
    for (DirWalkerIterator it = walker.begin(); it != end; ++it) {
        entries.push_back(*it);
        if (entries.back().path == tree / L"swapped") {
            REQUIRE(MoveFileW((tree / L"swapped").c_str(), (tree / L"moved away").c_str()));
            REQUIRE(CreateDirectoryW((tree / L"swapped").c_str(), nullptr));
            TouchFile(tree / L"swapped\\planted.txt");
        }
    }
    const std::multiset<std::wstring> paths = PathsOf(entries);
    CHECK(paths.count(tree / L"swapped\\planted.txt") == 0);
    CHECK(paths.count(tree / L"sub\\deeper\\c.txt") == 1);
    const std::vector<std::wstring> lines = log.Lines();
    CHECK(lines == std::vector<std::wstring>{
                       L"WARNING: Not descending into [" + tree / L"swapped" +
                       L"], another folder took its name while the walk was listing its parent"});
}

TEST_CASE("DirWalker_FoldersItIsIn_HeldSoThatNoneCanBeMovedOrRemoved") {
    const WalkTree tree;
    DirWalker walker;
    REQUIRE(walker.Prepare(tree.root()));
    DirWalkerIterator it = walker.begin();
    while ((*it).path != tree / L"sub\\deeper\\c.txt") {
        ++it;
    }
    {
        // The entry holds its folder too, as the driver's work on it does.
        const WalkEntry entry = *it;
        REQUIRE(entry.file.folder);
        CHECK(entry.file.name == L"c.txt");
        CHECK(entry.file.Path() == entry.path);
        for (const wchar_t* folder : {L"sub\\deeper", L"sub"}) {
            CAPTURE(std::wstring(folder));
            CHECK_FALSE(MoveFileW((tree / folder).c_str(), (tree / L"elsewhere").c_str()));
        }
    }
    // Once the walk has left them, they are free again.
    while (it != walker.end()) {
        ++it;
    }
    CHECK(MoveFileW((tree / L"sub").c_str(), (tree / L"elsewhere").c_str()));
}

TEST_CASE("DirWalker_AbandonedWalk_LogsEachOpenSearchFromTheRoot") {
    const WalkTree tree;
    LogCapture log;
    {
        DirWalker walker;
        REQUIRE(walker.Prepare(tree.root()));
        DirWalkerIterator it = walker.begin();
        while ((*it).path != tree / L"sub\\deeper\\c.txt") {
            ++it;
        }
    }
    const std::vector<std::wstring> lines = log.Lines();
    REQUIRE(lines.size() == 3);
    const std::wstring head = L"INFO: DirWalkerIterator::cleanup('";
    const std::wstring expected[] = {tree.root() + L"', 'sub', ", tree / L"sub', 'deeper', ",
                                     tree / L"sub\\deeper', 'c.txt', "};
    // A search handle is a pointer, all of whose digits are shown.
    const std::wregex handle(L"[0-9A-F]{" + std::to_wstring(2 * sizeof(void*)) + L"}\\)");
    for (size_t i = 0; i < 3; ++i) {
        INFO(lines[i]);
        CHECK(lines[i].rfind(head + expected[i], 0) == 0);
        CHECK(std::regex_match(lines[i].substr(head.size() + expected[i].size()), handle));
    }
}

TEST_CASE("DirWalker_AbandonedByAnExceptionWhileTheLogRefuses_TheFirstExceptionGoesOn") {
    // The cleanup lines cannot be written, but the searches must still be closed and the
    // exception that abandoned the walk must reach its handler instead of ending the process.
    const WalkTree tree;
    TheLogFile.Close();
    bool caught = false;
    try {
        DirWalker walker;
        REQUIRE(walker.Prepare(tree.root()));
        for (DirWalkerIterator it = walker.begin(); it != walker.end(); ++it) {
            if ((*it).path == tree / L"sub\\b.doc") {
                throw std::runtime_error("abandon");
            }
        }
    } catch (const std::runtime_error&) {
        caught = true;
    }
    REQUIRE(TheLogFile.Open(ScratchLogPath()));
    CHECK(caught);
}

TEST_CASE("DirWalker_TreeFarDeeperThanPlainPaths_EveryEntryInTheCallersForm") {
    // Levels of 120-character names reach about 2,300 characters; each level holds a file. The
    // names end in a dot or a space, which only the "\\?\" form keeps: the system drops them
    // from a plain path.
    const TempDir dir;
    const std::wstring level =
        L"\u0423\u0440\u043E\u0432\u0435\u043D\u044C \u6DF1\u3044 " + std::wstring(109, L'd');
    std::wstring relative = L"deep";
    std::multiset<std::wstring> expected;
    REQUIRE(CreateDirectoryW(ToExtendedLengthPath(dir / relative).c_str(), nullptr));
    for (int depth = 0; depth < 20; ++depth) {
        expected.insert(relative + L"\\.");
        expected.insert(relative + L"\\..");
        expected.insert(relative + L"\\file " + std::to_wstring(depth) + L".txt");
        TouchFile(
            ToExtendedLengthPath(dir / relative + L"\\file " + std::to_wstring(depth) + L".txt"));
        if (depth < 19) {
            relative += L"\\" + level + (depth % 2 == 0 ? L"." : L" ");
            expected.insert(relative);
            REQUIRE(CreateDirectoryW(ToExtendedLengthPath(dir / relative).c_str(), nullptr));
        }
    }
    REQUIRE((dir / relative).size() > 2300);

    struct Case {
        const char* what;
        std::wstring root;
        std::wstring prefix;
    };
    const Case cases[] = {
        {"absolute root", dir / L"deep", dir.path() + L"\\"},
        {"relative root", L"deep", L""},
        {"root with dot components", dir.path() + L"\\deep\\..\\.\\deep",
         dir.path() + L"\\deep\\..\\.\\"},
    };
    const CurrentDirectoryScope inDir(dir.path());
    for (const Case& c : cases) {
        INFO(c.what);
        std::multiset<std::wstring> expectedPaths;
        for (const std::wstring& path : expected) {
            expectedPaths.insert(c.prefix + path);
        }
        LogCapture log;
        const std::vector<WalkEntry> entries = Walk(c.root);
        CHECK(PathsOf(entries) == expectedPaths);
        for (const WalkEntry& entry : entries) {
            CHECK(entry.isValid);
        }
        CHECK(log.Text().empty());
    }
}

TEST_CASE("FileIdentity_FileIndexOfZeros_UnknownAndMatchingNone") {
    // A file system without file indexes reports zeros for every directory: taken as known,
    // every subdirectory would look like the root and be skipped as a circle.
    const DWORD volume = 0x1234ABCD;
    const FileIdentity zeros = IdentityFrom(volume, 0);
    CHECK_FALSE(zeros.Known());
    CHECK_FALSE(zeros.SameAs(IdentityFrom(volume, 0)));
    CHECK_FALSE(IdentityFrom(0, 0).Known());
    // Either half of the index makes it known; a volume without a serial number does not
    // matter.
    for (const uint64_t index : {5ull, 7ull << 32}) {
        CAPTURE(index);
        const FileIdentity identity = IdentityFrom(volume, index);
        CHECK(identity.Known());
        CHECK(identity.SameAs(IdentityFrom(volume, index)));
        CHECK_FALSE(identity.SameAs(IdentityFrom(volume, index + 1)));
        CHECK_FALSE(identity.SameAs(IdentityFrom(volume + 1, index)));
        CHECK(IdentityFrom(0, index).SameAs(IdentityFrom(0, index)));
    }
}

TEST_CASE("FileIdentity_SameDirectoryByAnyPath_AndAnUnknownOneMatchesNone") {
    const WalkTree tree;
    const CurrentDirectoryScope inTree(tree.root());
    const FileIdentity sub = IdentityOf(ToSystemPath(tree / L"sub"));
    REQUIRE(sub.Known());
    CHECK(sub.SameAs(IdentityOf(L"sub")));
    CHECK(sub.SameAs(IdentityOf(ToSystemPath(L"sub\\deeper\\.."))));
    CHECK_FALSE(sub.SameAs(IdentityOf(ToSystemPath(tree / L"sub\\deeper"))));
    CHECK_FALSE(sub.SameAs(IdentityOf(ToSystemPath(tree.root()))));
    // Directories that cannot be opened are no circle: skipping them would lose their files.
    const FileIdentity missing = IdentityOf(ToSystemPath(tree / L"missing"));
    CHECK_FALSE(missing.Known());
    CHECK_FALSE(missing.SameAs(missing));
    CHECK_FALSE(missing.SameAs(IdentityOf(ToSystemPath(tree / L"also missing"))));
}
