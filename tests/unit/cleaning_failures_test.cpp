// Every failure of one file's cleaning, each made to happen by the fake volume failing one
// operation, with the exact lines it writes and where the encrypted content ends up.
#include <doctest.h>

#include <map>
#include <string>
#include <vector>

#include "backup/backup.h"
#include "backup/cleaning.h"
#include "fake_cleaning.h"
#include "log_capture.h"
#include "test_support.h"

namespace {

const std::wstring Source = L"C:\\d\\a.doc.BRSK";
const std::wstring Output = L"C:\\d\\a.doc";
const std::wstring Plain = L"plain text";
constexpr int32_t Counter = 5;
constexpr int32_t Earlier = 7;

std::wstring Own(OwnKind kind, int32_t counter = Counter) {
    return OwnNameOf(Source, kind, counter);
}

const std::wstring Rule(80, L'-');
const std::wstring Decrypting = L"INFO: Decrypting [" + Source + L"]";
const std::wstring NotCleaned = L"ERROR: Not cleaned";

std::wstring Gle(DWORD code) {
    wchar_t text[16];
    swprintf(text, 16, L"GLE(0x%08lx)", code);
    return text;
}

enum class Staged {
    /// A file of the family, to be cleaned anew.
    Decrypts,
    /// A file named as the family's whose content no key opens.
    Damaged,
    /// A file of the family, and the user's file at the output's name, in a forced run.
    ReplacesUsersFile,
    /// A file of the family that an earlier run left under its in-progress name.
    Interrupted,
};

/// The encrypted file's owner and access list: its owner's alone.
const std::string Permissions = "O:alice D:P(A;;FA;;;alice)";

std::string EncryptedContent() {
    return FakeMark + Bytes(Plain);
}

FakeFileSystem Stage(Staged staged) {
    FakeFileSystem files;
    const std::string content = staged == Staged::Damaged ? "damaged" : EncryptedContent();
    const std::wstring at =
        staged == Staged::Interrupted ? Own(OwnKind::Cleaning, Earlier) : Source;
    files.files[at].data = files.files[at].durable = content;
    files.files[at].security = Permissions;
    if (staged == Staged::ReplacesUsersFile) {
        files.files[Output].data = files.files[Output].durable = "the user's own";
    }
    return files;
}

/// The lines after "Cleaning file [", for one run over the staged file.
std::vector<std::wstring> RunOnce(FakeFileSystem& files, Staged staged) {
    const LogCapture log;
    Walk(files, staged == Staged::ReplacesUsersFile, Counter);
    std::vector<std::wstring> lines = log.Lines();
    REQUIRE(lines.size() >= 2);
    CHECK(lines[0].empty());
    CHECK(lines[1] == L"INFO: Cleaning file [" + Source + L"]");
    return std::vector<std::wstring>(lines.begin() + 2, lines.end());
}

/// The number (from 1) of the nth operation of that name on that path in a run where the
/// operation numbered failing (if any) fails.
int StepOf(Staged staged, const std::wstring& operation, int occurrence, int failing = 0) {
    FakeFileSystem files = Stage(staged);
    files.FailAt(failing, ERROR_ACCESS_DENIED);
    {
        const LogCapture quiet;
        Walk(files, staged == Staged::ReplacesUsersFile, Counter);
    }
    const std::vector<std::wstring>& operations = files.Operations();
    for (size_t i = 0; i < operations.size(); ++i) {
        if (operations[i] == operation && --occurrence == 0) {
            return static_cast<int>(i) + 1;
        }
    }
    FAIL("no operation ", Utf8(operation));
    return 0;
}

/// Where the encrypted content is.
std::vector<std::wstring> HoldersOf(const FakeFileSystem& files, const std::string& content) {
    std::vector<std::wstring> holders;
    for (const auto& [path, file] : files.files) {
        if (file.data == content) {
            holders.push_back(path);
        }
    }
    return holders;
}

} // namespace

TEST_CASE("CleaningFailures_EachOperationThatFails_ItsLinesAndTheFileBackWhereItCanBe") {
    const std::wstring backup = Own(OwnKind::Backup);
    const std::wstring inProgress = Own(OwnKind::Cleaning);
    const std::wstring partial = Own(OwnKind::Partial);
    const std::wstring kept = OwnNameOf(Output, OwnKind::Backup, Counter);
    const std::wstring resumed = Own(OwnKind::Cleaning, Earlier);
    const std::wstring resumedPartial = Own(OwnKind::Partial, Earlier);
    const std::wstring resuming =
        L"INFO: Resuming the cleaning of [" + Source + L"], interrupted in an earlier run.";
    const std::wstring inPlace = L"INFO: The decrypted file is in place at [" + Output +
                                 L"]; only the encrypted file's backup name is left, which the "
                                 L"next run gives it.";
    const std::wstring backupKept = L"INFO: Encrypted file kept as [" + backup + L"]";
    const auto closed = [&](DWORD code) {
        return L"WARNING: Can't copy the permissions of file [" + inProgress + L"], " + Gle(code) +
               L": [" + Output +
               L"] is open only to the administrators, the system and the user who ran the "
               L"tool: give it the permissions it should have.";
    };
    const std::wstring elsewhere =
        L"INFO: File [" + Source +
        L"] is open in another program; it is back under its own name: run the tool again once "
        L"that program has closed it.";
    struct Case {
        const char* what;
        Staged staged;
        std::wstring operation;
        int occurrence;
        DWORD error;
        std::vector<std::wstring> lines;
        /// Where the encrypted content is afterwards.
        std::wstring at;
        /// What the output's name holds afterwards; empty when nothing has it.
        std::string output;
        /// The output's access list, where it has one.
        std::string security = Permissions;
        /// A second operation that fails, where one does.
        std::wstring alsoOperation = std::wstring();
        DWORD alsoError = ERROR_SUCCESS;
    };
    const std::string plain = Bytes(Plain);
    const Case cases[] = {
        // Reading a name's attributes fails as if nothing had it: the move that follows finds
        // out.
        {"reading the backup name",
         Staged::Decrypts,
         L"Attributes " + backup,
         1,
         ERROR_ACCESS_DENIED,
         {Rule, Decrypting, backupKept, L"INFO: Cleaned"},
         backup,
         plain},
        {"the first move",
         Staged::Decrypts,
         L"Rename " + Source,
         1,
         ERROR_ACCESS_DENIED,
         {L"INFO: Can't move (backup) file [" + Source + L"] to [" + inProgress + L"], " + Gle(5),
          NotCleaned},
         Source,
         ""},
        {"holding the file",
         Staged::Decrypts,
         L"Hold " + Source,
         1,
         ERROR_ACCESS_DENIED,
         {L"INFO: Can't open file [" + Source + L"], " + Gle(5), NotCleaned},
         Source,
         ""},
        {"a program holds the file",
         Staged::Decrypts,
         L"Hold " + Source,
         1,
         ERROR_SHARING_VIOLATION,
         {elsewhere, NotCleaned},
         Source,
         ""},
        {"creating the partial output",
         Staged::Decrypts,
         L"CreateNew " + partial,
         1,
         ERROR_ACCESS_DENIED,
         {Rule, Decrypting, L"INFO: Can't create file [" + partial + L"], " + Gle(5), NotCleaned},
         Source,
         ""},
        {"writing the partial output",
         Staged::Decrypts,
         L"Write " + partial,
         2,
         ERROR_DISK_FULL,
         {Rule, Decrypting, L"INFO: Can't write data to file [" + partial + L"], " + Gle(0x70),
          NotCleaned},
         Source,
         ""},
        {"sizing the partial output",
         Staged::Decrypts,
         L"SetSize " + partial,
         1,
         ERROR_DISK_FULL,
         {Rule, Decrypting, L"INFO: Can't set size of file [" + partial + L"], " + Gle(0x70),
          NotCleaned},
         Source,
         ""},
        {"flushing the partial output",
         Staged::Decrypts,
         L"Flush " + partial,
         1,
         ERROR_DISK_FULL,
         {Rule, Decrypting, L"INFO: Can't flush file [" + partial + L"], " + Gle(0x70), NotCleaned},
         Source,
         ""},
        {"placing the output",
         Staged::Decrypts,
         L"Rename " + partial,
         1,
         ERROR_ACCESS_DENIED,
         {Rule, Decrypting, L"INFO: Can't move decrypted file to [" + Output + L"], " + Gle(5),
          NotCleaned},
         Source,
         ""},
        // The access list not passed over: the output is closed to others, and says so.
        {"reading the access list",
         Staged::Decrypts,
         L"Security " + inProgress,
         1,
         ERROR_ACCESS_DENIED,
         {Rule, Decrypting, closed(5), backupKept, L"INFO: Cleaned"},
         backup,
         plain,
         FakeFileSystem::Closed},
        {"giving the access list",
         Staged::Decrypts,
         L"SetSecurity " + partial,
         1,
         ERROR_INVALID_OWNER,
         {Rule, Decrypting, closed(0x51B), backupKept, L"INFO: Cleaned"},
         backup,
         plain,
         FakeFileSystem::Closed},
        {"giving the attributes",
         Staged::Decrypts,
         L"SetAttributes " + partial,
         1,
         ERROR_ACCESS_DENIED,
         {Rule, Decrypting, L"INFO: Can't set attributes of file [" + partial + L"], " + Gle(5),
          backupKept, L"INFO: Cleaned"},
         backup,
         plain},
        {"copying the streams",
         Staged::Decrypts,
         L"CopyStreams " + inProgress,
         1,
         ERROR_DISK_FULL,
         {Rule, Decrypting,
          L"INFO: Can't copy the streams of file [" + inProgress + L"] to [" + partial + L"], " +
              Gle(0x70),
          NotCleaned},
         Source,
         ""},
        {"reading the times",
         Staged::Decrypts,
         L"Times " + inProgress,
         1,
         ERROR_ACCESS_DENIED,
         {Rule, Decrypting,
          L"INFO: Can't copy the times of file [" + inProgress + L"] to [" + partial + L"], " +
              Gle(5),
          backupKept, L"INFO: Cleaned"},
         backup,
         plain},
        {"reading the attributes to copy",
         Staged::Decrypts,
         L"Attributes " + inProgress,
         2,
         ERROR_ACCESS_DENIED,
         {Rule, Decrypting, L"INFO: Can't read attributes of file [" + inProgress + L"], " + Gle(5),
          backupKept, L"INFO: Cleaned"},
         backup,
         plain},
        {"the backup name, the last step",
         Staged::Decrypts,
         L"Rename " + inProgress,
         1,
         ERROR_SHARING_VIOLATION,
         {Rule, Decrypting,
          L"INFO: Can't move (backup) file [" + inProgress + L"] to [" + backup + L"], " + Gle(32),
          inPlace, NotCleaned},
         inProgress,
         plain},
        {"removing the partial output of a failed decryption",
         Staged::Damaged,
         L"Remove " + partial,
         1,
         ERROR_ACCESS_DENIED,
         {Rule, Decrypting, L"INFO: Not valid Bristoke file.",
          L"INFO: Can't delete file [" + partial + L"], " + Gle(5), NotCleaned},
         Source,
         ""},
        {"putting the file back",
         Staged::Damaged,
         L"Rename " + inProgress,
         1,
         ERROR_ACCESS_DENIED,
         {Rule, Decrypting, L"INFO: Not valid Bristoke file.",
          L"INFO: Can't revert backup of file [" + Source + L"] from [" + inProgress + L"], " +
              Gle(5),
          NotCleaned},
         inProgress,
         ""},
        {"placing the output where the user's file was",
         Staged::ReplacesUsersFile,
         L"Rename " + partial,
         1,
         ERROR_ACCESS_DENIED,
         {Rule, Decrypting, L"INFO: Replaced file [" + Output + L"] kept as [" + kept + L"]",
          L"INFO: Can't move decrypted file to [" + Output + L"], " + Gle(5), NotCleaned},
         Source,
         "the user's own"},
        {"a program holds the interrupted file",
         Staged::Interrupted,
         L"Hold " + resumed,
         1,
         ERROR_SHARING_VIOLATION,
         {elsewhere, NotCleaned},
         Source,
         ""},
        {"placing the output of a resumed cleaning",
         Staged::Interrupted,
         L"Rename " + resumedPartial,
         1,
         ERROR_ACCESS_DENIED,
         {resuming, Rule, Decrypting,
          L"INFO: Can't move decrypted file to [" + Output + L"], " + Gle(5), NotCleaned},
         Source,
         ""},
    };
    for (const Case& c : cases) {
        INFO(std::string(c.what));
        const int step = StepOf(c.staged, c.operation, c.occurrence);
        FakeFileSystem files = Stage(c.staged);
        files.FailAt(step, c.error);
        if (!c.alsoOperation.empty()) {
            files.FailAt(StepOf(c.staged, c.alsoOperation, 1, step), c.alsoError);
        }
        const std::vector<std::wstring> lines = RunOnce(files, c.staged);
        CHECK_MESSAGE(lines == c.lines, Printable(lines));
        const std::string content =
            c.staged == Staged::Damaged ? std::string("damaged") : EncryptedContent();
        CHECK(HoldersOf(files, content) == std::vector<std::wstring>{c.at});
        const auto output = files.files.find(Output);
        CHECK((output == files.files.end() ? std::string() : output->second.data) == c.output);
        if (output != files.files.end() && output->second.data == Bytes(Plain)) {
            CHECK(output->second.security == c.security);
        }
        // Nothing of the cleaning is left but what the lines name.
        for (const auto& [path, file] : files.files) {
            if (IsOwnNameOfKind(path, OwnKind::Partial)) {
                CHECK_MESSAGE(c.operation == L"Remove " + partial, Utf8(path));
            }
        }
    }
}

TEST_CASE("CleaningFailures_AFileHeldElsewhere_AnotherRunToldFromAProgram") {
    const std::wstring resumed = Own(OwnKind::Cleaning, Earlier);
    const std::wstring busy = L"INFO: File [" + Source + L"] is being cleaned by another run.";
    const std::wstring back =
        L"INFO: File [" + Source +
        L"] is open in another program; it is back under its own name: run the tool again once "
        L"that program has closed it.";
    const std::wstring unmoved =
        L"INFO: File [" + resumed +
        L"] is open in another program, which keeps it from going back under its own name: run "
        L"the tool again once that program has closed it.";
    enum class Holder { AnotherRun, ProgramSharingDeletion, ProgramNotSharingDeletion };
    struct Case {
        const char* what;
        Staged staged;
        Holder holder;
        std::vector<std::wstring> lines;
        /// Where the encrypted content is afterwards.
        std::wstring at;
    };
    const Case cases[] = {
        {"another run, a file met anew",
         Staged::Decrypts,
         Holder::AnotherRun,
         {busy, NotCleaned},
         Source},
        {"another run, an interrupted file",
         Staged::Interrupted,
         Holder::AnotherRun,
         {busy, NotCleaned},
         resumed},
        {"a program, a file met anew",
         Staged::Decrypts,
         Holder::ProgramSharingDeletion,
         {back, NotCleaned},
         Source},
        {"a program sharing deletion, an interrupted file",
         Staged::Interrupted,
         Holder::ProgramSharingDeletion,
         {back, NotCleaned},
         Source},
        {"a program not sharing deletion, an interrupted file",
         Staged::Interrupted,
         Holder::ProgramNotSharingDeletion,
         {unmoved, NotCleaned},
         resumed},
    };
    for (const Case& c : cases) {
        INFO(std::string(c.what));
        const std::wstring held = c.staged == Staged::Interrupted ? resumed : Source;
        FakeFileSystem files = Stage(c.staged);
        if (c.holder == Holder::AnotherRun) {
            files.cleanedByAnotherRun.insert(held);
        } else {
            const int hold = StepOf(c.staged, L"Hold " + held, 1);
            files.FailAt(hold, ERROR_SHARING_VIOLATION);
            // Asked whether a run holds it, then moved back under its own name.
            if (c.holder == Holder::ProgramNotSharingDeletion) {
                files.FailAt(hold + 2, ERROR_SHARING_VIOLATION);
            }
        }
        const std::vector<std::wstring> lines = RunOnce(files, c.staged);
        CHECK_MESSAGE(lines == c.lines, Printable(lines));
        CHECK(HoldersOf(files, EncryptedContent()) == std::vector<std::wstring>{c.at});
    }
}
