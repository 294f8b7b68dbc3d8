// States that users, other programs and earlier runs leave around a file's names, each met by
// plain runs on the fake volume: the tool touches only what its content or the cleaning at work
// proves its own, and says what stands in the way.
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

using Contents = std::map<std::wstring, std::string, FakeFileSystem::NoCase>;

const std::wstring Directory = L"C:\\d\\";
const std::wstring Source = Directory + L"x.doc.BRSK";
const std::wstring Output = Directory + L"x.doc";
const std::wstring LongSource = Directory + std::wstring(240, L'l') + L".pdf.BRSK";
const std::wstring LongOutput = Directory + std::wstring(240, L'l') + L".pdf";
const std::string Plain = "plain";
const std::string Encrypted = FakeMark + Plain;

std::wstring Own(const std::wstring& source, OwnKind kind, int32_t counter) {
    return OwnNameOf(source, kind, counter);
}

/// The note beside a shortened in-progress name: its start and tag, with a note's marker.
std::wstring NoteOf(const std::wstring& source, int32_t counter) {
    const std::wstring inProgress = Own(source, OwnKind::Cleaning, counter);
    const std::wstring marker = L".cleaning_" + std::to_wstring(counter) + L"_by_ovix";
    return inProgress.substr(0, inProgress.size() - marker.size()) + L".name_" +
           std::to_wstring(counter) + L"_by_ovix";
}

std::string NoteText(const std::wstring& source) {
    const std::wstring name = FileNameOf(source);
    return std::string(reinterpret_cast<const char*>(name.data()), name.size() * sizeof(wchar_t));
}

} // namespace

TEST_CASE("CleaningStates_WhatUsersProgramsAndEarlierRunsLeave_TouchedOnlyWhenProvenOwn") {
    const std::wstring partial3 = Own(Source, OwnKind::Partial, 3);
    const std::wstring inTheWay3 = L"INFO: File [" + partial3 +
                                   L"] is in the way: move it elsewhere, then run the tool again.";
    const std::string Locked = FakeLockedMark + Plain;
    const std::wstring stranded =
        L"INFO: File [" + Own(Source, OwnKind::Cleaning, 7) +
        L"] looks like an interrupted cleaning of [" + Source +
        L"] that no key the tool carries opens; renaming it back to that name restores the "
        L"state before the run.";
    struct Case {
        const char* what;
        Contents staged;
        /// The counters of the runs made one after the other.
        std::vector<int32_t> runs;
        Contents after;
        /// Lines the runs must have written, in this order among the others.
        std::vector<std::wstring> lines;
    };
    const Case cases[] = {
        {"an interrupted cleaning's partial output, whole",
         {{Own(Source, OwnKind::Cleaning, 3), Encrypted}, {partial3, Plain}},
         {9},
         {{Output, Plain}, {Own(Source, OwnKind::Backup, 3), Encrypted}},
         {L"INFO: Resuming the cleaning of [" + Source + L"], interrupted in an earlier run.",
          L"INFO: Removed [" + partial3 + L"], left by a cleaning that was cut off.",
          L"INFO: Cleaned"}},
        {"an interrupted cleaning's partial output, its end zeros as after a power loss",
         {{Own(Source, OwnKind::Cleaning, 3), Encrypted}, {partial3, std::string("pl\0\0", 4)}},
         {9},
         {{Output, Plain}, {Own(Source, OwnKind::Backup, 3), Encrypted}},
         {L"INFO: Removed [" + partial3 + L"], left by a cleaning that was cut off.",
          L"INFO: Cleaned"}},
        // The first run puts the file back; the next one cleans it with names of its own.
        {"a user's file under an interrupted cleaning's partial name",
         {{Own(Source, OwnKind::Cleaning, 3), Encrypted}, {partial3, "the user's own"}},
         {9, 10},
         {{Output, Plain},
          {Own(Source, OwnKind::Backup, 10), Encrypted},
          {partial3, "the user's own"}},
         {L"INFO: Can't create file [" + partial3 + L"], the name is taken.", inTheWay3,
          L"ERROR: Not cleaned", L"INFO: Cleaned"}},
        {"the data's start under the partial name, then other bytes",
         {{Own(Source, OwnKind::Cleaning, 3), Encrypted}, {partial3, "plXin"}},
         {9},
         {{Source, Encrypted}, {partial3, "plXin"}},
         {inTheWay3, L"ERROR: Not cleaned"}},
        {"a user's plain file under an in-progress name, beside the file of that name",
         {{Source, Encrypted}, {Own(Source, OwnKind::Cleaning, 3), "the user's notes"}},
         {9},
         {{Output, Plain},
          {Own(Source, OwnKind::Backup, 9), Encrypted},
          {Own(Source, OwnKind::Cleaning, 3), "the user's notes"}},
         {L"INFO: Cleaned"}},
        {"the backup name taken, as a run of another account with the same counter leaves it",
         {{Source, Encrypted}, {Own(Source, OwnKind::Backup, 10), "an earlier backup"}},
         {10},
         {{Source, Encrypted}, {Own(Source, OwnKind::Backup, 10), "an earlier backup"}},
         {L"INFO: Can't get backup filename of file " + Source,
          L"INFO: File [" + Own(Source, OwnKind::Backup, 10) +
              L"] is in the way: move it elsewhere, then run the tool again.",
          L"ERROR: Not cleaned"}},
        {"an interrupted cleaning whose backup name is taken stays for a later run",
         {{Own(Source, OwnKind::Cleaning, 3), Encrypted},
          {Output, Plain},
          {Own(Source, OwnKind::Backup, 3), "an earlier backup"}},
         {9},
         {{Own(Source, OwnKind::Cleaning, 3), Encrypted},
          {Output, Plain},
          {Own(Source, OwnKind::Backup, 3), "an earlier backup"}},
         {L"INFO: Can't get backup filename of file " + Source, L"ERROR: Not cleaned"}},
        {"a file renamed back by hand after a cut, beside its partial output",
         {{Source, Encrypted}, {Own(Source, OwnKind::Partial, 7), "pla"}},
         {8},
         {{Output, Plain},
          {Own(Source, OwnKind::Backup, 8), Encrypted},
          {Own(Source, OwnKind::Partial, 7), "pla"}},
         {L"INFO: Cleaned"}},
        {"a name note written just before a cut, the file under its own name",
         {{LongSource, Encrypted}, {NoteOf(LongSource, 7), NoteText(LongSource)}},
         {8},
         {{LongOutput, Plain}, {Own(LongSource, OwnKind::Backup, 8), Encrypted}},
         {L"INFO: Removed [" + NoteOf(LongSource, 7) + L"], left by a cleaning that was cut off."}},
        {"a name note left after the last move",
         {{LongOutput, Plain},
          {Own(LongSource, OwnKind::Backup, 7), Encrypted},
          {NoteOf(LongSource, 7), NoteText(LongSource)}},
         {8},
         {{LongOutput, Plain}, {Own(LongSource, OwnKind::Backup, 7), Encrypted}},
         {L"INFO: Removed [" + NoteOf(LongSource, 7) + L"], left by a cleaning that was cut off."}},
        {"a cut-off cleaning that no key opens, beside an empty partial output, met twice",
         {{Own(Source, OwnKind::Cleaning, 7), Locked}, {Own(Source, OwnKind::Partial, 7), ""}},
         {8, 9},
         {{Own(Source, OwnKind::Cleaning, 7), Locked}},
         {stranded, L"INFO: Removed [" + Own(Source, OwnKind::Partial, 7) +
                        L"], left by a cleaning that was cut off.",
          L"ERROR: Not cleaned", stranded, L"ERROR: Not cleaned"}},
        {"a cut-off cleaning that no key opens, beside a partial output with bytes",
         {{Own(Source, OwnKind::Cleaning, 7), Locked}, {Own(Source, OwnKind::Partial, 7), "pla"}},
         {8},
         {{Own(Source, OwnKind::Cleaning, 7), Locked}, {Own(Source, OwnKind::Partial, 7), "pla"}},
         {stranded,
          L"INFO: Left as it is, named like the tool's own files but not proven one [" +
              Own(Source, OwnKind::Partial, 7) + L"]",
          L"ERROR: Not cleaned"}},
        {"an empty name note, left by a run cut off as it wrote it",
         {{NoteOf(LongSource, 7), ""}},
         {8},
         {},
         {L"INFO: Removed [" + NoteOf(LongSource, 7) + L"], left by a cleaning that was cut off."}},
        {"a name note that names another file",
         {{NoteOf(LongSource, 7), NoteText(Directory + L"other.pdf.BRSK")}},
         {8},
         {{NoteOf(LongSource, 7), NoteText(Directory + L"other.pdf.BRSK")}},
         {L"INFO: Left as it is, named like the tool's own files but not proven one [" +
          NoteOf(LongSource, 7) + L"]"}},
    };
    for (const Case& c : cases) {
        INFO(std::string(c.what));
        FakeFileSystem files;
        for (const auto& [path, content] : c.staged) {
            files.files[path].data = files.files[path].durable = content;
        }
        const LogCapture log;
        for (const int32_t counter : c.runs) {
            Walk(files, false, counter);
        }
        Contents after;
        for (const auto& [path, file] : files.files) {
            after[path] = file.data;
        }
        CHECK(after == c.after);
        const std::vector<std::wstring> lines = log.Lines();
        auto from = lines.begin();
        for (const std::wstring& expected : c.lines) {
            from = std::find(from, lines.end(), expected);
            CHECK_MESSAGE(from != lines.end(), Utf8(expected), "\n", Printable(lines));
        }
    }
}
