#include <doctest.h>

#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "backup/backup.h"
#include "backup/cleaning.h"
#include "fake_cleaning.h"
#include "log_capture.h"
#include "test_support.h"

// Every cleaning path on a volume in memory, cut off after each of its file-system operations
// in turn, then recovered by plain re-runs; and the same paths with a second run that does all
// its work before each operation of the first.

namespace {

const std::wstring Directory = L"C:\\d\\";

struct Scenario {
    const char* what;
    std::wstring name;
    /// What the file decrypts to, layer by layer: the last is the plain content.
    std::vector<std::string> layers;
    /// The user's own file at the final output's name, if any.
    std::string existing;
    bool forced = false;
    /// The decryption fails, and a file takes the source's name meanwhile.
    bool restoreFails = false;
    /// A copy of the encrypted file that a cut-off run left under its in-progress name: two
    /// cleanings of one name, each with its own partial output.
    bool interruptedCopy = false;
    /// A volume that keeps no access lists and no streams (FAT32, exFAT).
    bool plainVolume = false;

    std::wstring Source() const { return Directory + name; }
    std::wstring Output() const {
        std::wstring output = Source();
        for (size_t i = 0; i < layers.size(); ++i) {
            output = OutputPathOf(output);
        }
        return output;
    }
    std::string Encrypted() const {
        std::string content = layers.back();
        for (size_t i = 0; i < layers.size(); ++i) {
            content = FakeMark + content;
        }
        return restoreFails ? "damaged" : content;
    }
    bool Replaces() const { return existing.empty() || forced; }
};

/// What the encrypted file carries beside its data: readable by its owner alone, dated long
/// before the runs, marked as downloaded, read-only.
FakeFileSystem::File Encrypted(const std::string& data) {
    FakeFileSystem::File file;
    file.data = file.durable = data;
    file.attributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY;
    file.security = "O:alice D:P(A;;FA;;;alice)";
    file.created = 20200102;
    file.written = 20200103;
    file.streams[L":Zone.Identifier:$DATA"] = "ZoneId=3";
    return file;
}

FakeFileSystem Staged(const Scenario& s) {
    FakeFileSystem files;
    files.keepsAccessLists = files.keepsStreams = !s.plainVolume;
    files.files[s.Source()] = Encrypted(s.Encrypted());
    if (!s.existing.empty()) {
        auto& user = files.files[s.Output()];
        user.data = user.durable = s.existing;
    }
    if (s.interruptedCopy) {
        files.files[OwnNameOf(s.Source(), OwnKind::Cleaning, 3)] = Encrypted(s.Encrypted());
    }
    return files;
}

std::string Snapshot(const FakeFileSystem& files) {
    std::string text;
    for (const auto& [path, file] : files.files) {
        text += Bytes(path) + "=" + file.data + " " + file.security + " " +
                std::to_string(file.created) + " " + std::to_string(file.written) + " " +
                std::to_string(file.attributes) + " " + std::to_string(file.streams.size()) + "\n";
    }
    return text;
}

/// The decrypted file carries what the encrypted one did, as far as the volume keeps it.
void CheckCarried(const FakeFileSystem::File& output, const Scenario& s) {
    const FakeFileSystem::File encrypted = Encrypted(s.Encrypted());
    CHECK(output.attributes == encrypted.attributes);
    CHECK(output.created == encrypted.created);
    CHECK(output.written == encrypted.written);
    if (s.plainVolume) {
        CHECK(output.security == FakeFileSystem::Inherited);
        CHECK(output.streams.empty());
    } else {
        CHECK_MESSAGE(output.security == encrypted.security, "the output is open to others");
        CHECK(output.streams == encrypted.streams);
    }
}

/// What must hold whatever happened: the encrypted content exists under a name a walk finds,
/// no output is partial, and the user's file exists where its name or the log says.
void CheckInvariants(const FakeFileSystem& files, const Scenario& s, const std::wstring& log) {
    bool encryptedKept = false;
    bool userKept = s.existing.empty();
    for (const auto& [path, file] : files.files) {
        if (file.data == s.Encrypted() && !IsOwnNameOfKind(path, OwnKind::Partial)) {
            encryptedKept = true;
        }
        if (!s.existing.empty() && file.data == s.existing &&
            (path == s.Output() || log.find(L"kept as [" + path + L"]") != std::wstring::npos)) {
            userKept = true;
        }
    }
    CHECK_MESSAGE(encryptedKept, "the encrypted content is lost");
    CHECK_MESSAGE(userKept, "the user's file is lost or no log names where it went");
    const auto output = files.files.find(s.Output());
    if (output != files.files.end()) {
        CHECK_MESSAGE((output->second.data == s.layers.back() || output->second.data == s.existing),
                      "a partial or wrong output has the output's name");
        if (output->second.data == s.layers.back()) {
            CheckCarried(output->second, s);
        }
    }
}

/// The end of every path once the runs are over: cleaned where the mode lets the output in,
/// and nothing of a cleaning left behind.
void CheckSettled(const FakeFileSystem& files, const Scenario& s) {
    for (const auto& [path, file] : files.files) {
        CHECK_MESSAGE(!IsOwnNameOfKind(path, OwnKind::Name), "a name note is left");
        // A file whose content no run can prove the family's stays as a cut-off run left it.
        if (!s.restoreFails) {
            CHECK_MESSAGE(!IsOwnNameOfKind(path, OwnKind::Partial), "a partial output is left");
            CHECK_MESSAGE(!IsOwnNameOfKind(path, OwnKind::Cleaning),
                          "a cleaning is left unfinished");
        }
    }
    const auto output = files.files.find(s.Output());
    if (s.restoreFails) {
        CHECK(output == files.files.end());
    } else if (s.Replaces()) {
        REQUIRE(output != files.files.end());
        CHECK(output->second.data == s.layers.back());
    } else {
        CHECK(output->second.data == s.existing);
        CHECK(files.files.at(s.Source()).data == s.Encrypted());
    }
}

std::vector<Scenario> Scenarios() {
    std::vector<Scenario> scenarios;
    const std::wstring longName = std::wstring(240, L'l') + L".pdf.BRSK";
    for (const auto& [what, name] :
         std::vector<std::pair<const char*, std::wstring>>{{"by extension", L"a.doc.BRSK"},
                                                           {"by extension", L"b.xls.QOVE"},
                                                           {"by extension", L"c.mp4.QOVY"},
                                                           {"by its footer", L"d.db.K7Q2WZ"},
                                                           {"a long name", longName}}) {
        scenarios.push_back({what, name, {"plain of " + Bytes(name)}, "", false, false});
    }
    for (const bool forced : {false, true}) {
        scenarios.push_back({forced ? "replacing the user's file" : "keeping the user's file",
                             L"e.txt.BRSK",
                             {"new plain"},
                             "the user's own",
                             forced,
                             false});
    }
    scenarios.push_back(
        {"encrypted twice", L"f.txt.BRSK.QOVY", {"middle", "plain"}, "", false, false});
    scenarios.push_back({"a restore that fails", L"g.txt.BRSK", {"plain"}, "", false, true});
    scenarios.push_back(
        {"a cut-off cleaning beside a new copy", L"h.txt.BRSK", {"plain"}, "", false, false, true});
    scenarios.push_back({"a volume without access lists or streams",
                         L"i.txt.BRSK",
                         {"plain"},
                         "",
                         false,
                         false,
                         false,
                         true});
    return scenarios;
}

/// For each path, each operation of its uncut first run: what runs there, then the checks of
/// everything that follows. runs is told the staged files, the step and the log.
void AtEveryStep(const char* what,
                 const std::function<void(FakeFileSystem&, const Scenario&, int)>& runs) {
    const std::vector<Scenario> scenarios = Scenarios();
    int count = 0;
    for (const Scenario& s : scenarios) {
        INFO(std::string(s.what), " ", Utf8(s.name.substr(0, 30)));
        FakeFileSystem whole = Staged(s);
        {
            const LogCapture quiet;
            Walk(whole, s.forced, 5, s.restoreFails);
        }
        for (int step = 1; step <= whole.Steps(); ++step) {
            INFO(std::string(what), " operation ", step, " of ", whole.Steps());
            FakeFileSystem files = Staged(s);
            const LogCapture log;
            runs(files, s, step);
            ++count;
            std::wstring text;
            for (const std::wstring& line : log.Lines()) {
                text += line + L"\n";
            }
            CheckInvariants(files, s, text);
            CheckSettled(files, s);
        }
    }
    std::printf("cleaning, %s: %zu paths, %d operations\n", what, scenarios.size(), count);
}

} // namespace

TEST_CASE("Cleaning_CutOffAfterEveryOperation_ReRunsRecoverAndChangeNothingAfter") {
    std::set<std::string> states;
    AtEveryStep("cut off after", [&](FakeFileSystem& files, const Scenario& s, int step) {
        files.CutAfter(step);
        Walk(files, s.forced, 5, s.restoreFails);
        REQUIRE(files.WasCut());
        files.PowerCycle();
        states.insert(Snapshot(files));
        Walk(files, s.forced, 6);
        const std::string recovered = Snapshot(files);
        Walk(files, s.forced, 7);
        CHECK_MESSAGE(Snapshot(files) == recovered, "a second recovery changed something");
    });
    std::printf("cleaning cut off: %zu states after a cut\n", states.size());
    // Every distinct state a cut can leave is one the re-runs were seen to settle: a step added
    // to or taken from the cleaning changes the number, and its new states deserve a look.
    CHECK(states.size() == 141);
}

TEST_CASE("Cleaning_SecondRunBeforeEveryOperation_OneCleaningAtATimeNothingWrong") {
    std::set<std::string> states;
    AtEveryStep("second run before", [&](FakeFileSystem& files, const Scenario& s, int step) {
        files.Before(step, [&] {
            Walk(files, s.forced, 6);
            states.insert(Snapshot(files));
        });
        Walk(files, s.forced, 5, s.restoreFails);
        // Whatever either run left to the other, a later run settles.
        Walk(files, s.forced, 7);
    });
    std::printf("cleaning interleaved: %zu states while the first run was at work\n",
                states.size());
    CHECK(states.size() == 131);
}
