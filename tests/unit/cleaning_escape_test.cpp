// A user who can write the walked folder acts right before each file-system operation of a
// cleaning, in turn: the folder is moved away and another (a link to a protected folder, as far
// as the names go) put in its place, or one of the names the cleaning uses is given to a file
// with another name outside (a hard link). Whatever the moment, nothing outside is changed, the
// encrypted content stays under some name in the folder the run opened, and "Cleaned" is said
// only of an output that is there.
#include <doctest.h>

#include <functional>
#include <string>
#include <vector>

#include "backup/backup.h"
#include "backup/cleaning.h"
#include "fake_cleaning.h"
#include "log_capture.h"
#include "test_support.h"

namespace {

const std::wstring Folder = L"C:\\d";
const std::wstring Moved = L"C:\\moved";
const std::wstring Source = Folder + L"\\a.doc.BRSK";
const std::wstring Output = Folder + L"\\a.doc";
const std::string Plain = "plain text of the file";
constexpr int32_t Counter = 5;
constexpr int32_t Earlier = 7;

enum class Staged {
    /// A file of the family, to be cleaned anew.
    Decrypts,
    /// A file of the family, and the user's file at the output's name, in a forced run.
    ReplacesUsersFile,
    /// A file a cut-off run left under its in-progress name, with the partial output it had
    /// begun: the run removes that partial once its bytes prove it its own.
    Interrupted,
};

std::string Encrypted() {
    return FakeMark + Plain;
}

FakeFileSystem Stage(Staged staged) {
    FakeFileSystem files;
    const std::wstring at =
        staged == Staged::Interrupted ? OwnNameOf(Source, OwnKind::Cleaning, Earlier) : Source;
    files.files[at].data = files.files[at].durable = Encrypted();
    if (staged == Staged::ReplacesUsersFile) {
        files.files[Output].data = files.files[Output].durable = "the user's own";
    }
    if (staged == Staged::Interrupted) {
        const std::wstring partial = OwnNameOf(Source, OwnKind::Partial, Earlier);
        files.files[partial].data = files.files[partial].durable = Plain.substr(0, 5) + "\0\0\0";
    }
    return files;
}

/// Runs the walk over the staged folder, quietly; the lines it logged.
std::vector<std::wstring> Run(FakeFileSystem& files, Staged staged) {
    const LogCapture log;
    Walk(files, staged == Staged::ReplacesUsersFile, Counter);
    return log.Lines();
}

int OperationCount(Staged staged) {
    FakeFileSystem files = Stage(staged);
    Run(files, staged);
    return files.Steps();
}

bool Under(const std::wstring& folder, const std::wstring& path) {
    return path.compare(0, folder.size() + 1, folder + L"\\") == 0;
}

bool Said(const std::vector<std::wstring>& lines, const std::wstring& line) {
    for (const std::wstring& said : lines) {
        if (said == line) {
            return true;
        }
    }
    return false;
}

/// What a protected folder holds, under the names the cleaning uses and one of its own.
FakeFileSystem::Files Protected() {
    FakeFileSystem::Files outside;
    for (const std::wstring& name : {std::wstring(L"a.doc"), std::wstring(L"system.dll"),
                                     FileNameOf(OwnNameOf(Source, OwnKind::Backup, Counter))}) {
        FakeFileSystem::File& file = outside[Folder + L"\\" + name];
        file.data = file.durable = "protected " + Bytes(name);
        file.attributes = FILE_ATTRIBUTE_READONLY;
        file.security = "O:SY D:P(A;;FA;;;SY)";
    }
    return outside;
}

bool SameFile(const FakeFileSystem::File& a, const FakeFileSystem::File& b) {
    return a.data == b.data && a.attributes == b.attributes && a.security == b.security &&
           a.written == b.written;
}

} // namespace

TEST_CASE("CleaningEscape_FolderSwappedBeforeEachOperation_NothingOutsideChanges") {
    for (const Staged staged : {Staged::Decrypts, Staged::ReplacesUsersFile, Staged::Interrupted}) {
        const int count = OperationCount(staged);
        REQUIRE(count > 10);
        for (int step = 1; step <= count; ++step) {
            INFO("scenario ", static_cast<int>(staged), ", before operation ", step);
            FakeFileSystem files = Stage(staged);
            const FakeFileSystem::Files outside = Protected();
            files.Before(step, [&] {
                files.MoveFolder(Folder, Moved);
                for (const auto& [path, file] : outside) {
                    files.files[path] = file;
                }
            });
            const std::vector<std::wstring> lines = Run(files, staged);
            // The protected folder: the same files, each as it was.
            std::vector<std::wstring> under;
            for (const auto& [path, file] : files.files) {
                if (Under(Folder, path)) {
                    under.push_back(path);
                    const auto original = outside.find(path);
                    CHECK_MESSAGE(original != outside.end(), Utf8(path));
                    if (original != outside.end()) {
                        CHECK_MESSAGE(SameFile(file, original->second), Utf8(path));
                    }
                }
            }
            CHECK(under.size() == outside.size());
            // The encrypted content, or its decrypted data, is in the folder the run opened.
            bool kept = false;
            bool decrypted = false;
            for (const auto& [path, file] : files.files) {
                kept = kept || (Under(Moved, path) && file.data == Encrypted());
                decrypted = decrypted || (path == Moved + L"\\a.doc" && file.data == Plain);
            }
            CHECK(kept);
            CHECK(decrypted == Said(lines, L"INFO: Cleaned"));
        }
    }
}

TEST_CASE("CleaningEscape_NameGivenToAFileWithAnotherName_ThatFileNeverChanges") {
    const std::vector<std::wstring> names = {
        Source,
        OwnNameOf(Source, OwnKind::Cleaning, Counter),
        OwnNameOf(Source, OwnKind::Partial, Counter),
        OwnNameOf(Source, OwnKind::Backup, Counter),
        OwnNameOf(Source, OwnKind::Partial, Earlier),
        OwnNameOf(Source, OwnKind::Cleaning, Earlier),
        Output,
        OwnNameOf(Output, OwnKind::Backup, Counter),
    };
    for (const Staged staged : {Staged::Decrypts, Staged::ReplacesUsersFile, Staged::Interrupted}) {
        const int count = OperationCount(staged);
        for (const std::wstring& name : names) {
            for (int step = 1; step <= count; ++step) {
                INFO("scenario ", static_cast<int>(staged), ", ", Utf8(name), ", before ", step);
                FakeFileSystem files = Stage(staged);
                FakeFileSystem::File planted;
                planted.data = planted.durable = "outside";
                planted.attributes = FILE_ATTRIBUTE_READONLY;
                planted.security = "O:SY D:P(A;;FA;;;SY)";
                planted.linked = true;
                bool done = false;
                files.Before(step, [&] {
                    // A name the run holds cannot be taken from it; a file that has the name
                    // is moved aside first.
                    if (files.IsHeld(name)) {
                        return;
                    }
                    const auto existing = files.files.find(name);
                    if (existing != files.files.end()) {
                        files.files[name + L".aside"] = existing->second;
                    }
                    files.files[name] = planted;
                    done = true;
                });
                const std::vector<std::wstring> lines = Run(files, staged);
                if (!done) {
                    continue;
                }
                const auto it = files.files.find(name);
                REQUIRE(it != files.files.end());
                CHECK(SameFile(it->second, planted));
                bool kept = false;
                for (const auto& [path, file] : files.files) {
                    kept = kept || file.data == Encrypted() ||
                           (path == Output && file.data == Plain);
                }
                CHECK(kept);
                // A user may move even a finished output aside.
                if (Said(lines, L"INFO: Cleaned")) {
                    const auto output = files.files.find(name == Output ? Output + L".aside"
                                                                         : Output);
                    REQUIRE(output != files.files.end());
                    CHECK(output->second.data == Plain);
                }
            }
        }
    }
}
