#pragma once

#include <cstdint>
#include <string>

/// Log-line prefixes.
namespace prefix {
constexpr const wchar_t* None = L"";
constexpr const wchar_t* Info = L"INFO: ";
constexpr const wchar_t* Warning = L"WARNING: ";
constexpr const wchar_t* Error = L"ERROR: ";
} // namespace prefix

/// A log line that always reads the same: its prefix and its text.
struct LineText {
    const wchar_t* prefix;
    const wchar_t* text;
};

/// A log line with a name or a number inside: its prefix, then head + inner + tail.
struct FramedText {
    const wchar_t* prefix;
    const wchar_t* head;
    const wchar_t* tail;

    std::wstring With(const std::wstring& inner) const { return head + inner + tail; }
};

/// The lines of the log that tell a run's story: the tool writes them, and the fleet report
/// reads runs by them, so both take them from here.
namespace log_text {

// The run's frame.
constexpr LineText Begin = {prefix::None, L"Begin"};
constexpr LineText End = {prefix::None, L"End"};
constexpr LineText EndAfterCrash = {prefix::None, L"End (crash)"};
constexpr LineText FatalError = {prefix::Error, L"Fatal error occured, consult support."};
/// After FatalError: what crashed, where (module and offset, for the release's symbols) and
/// the tool's version.
constexpr FramedText CrashDetails = {prefix::Info, L"Crash: ", L""};

// Before the walk.
constexpr FramedText Os = {prefix::Info, L"OS: ", L""};
constexpr FramedText ProductType = {prefix::Info, L"Product Type: ", L""};
constexpr FramedText Wow64 = {prefix::Info, L"WoW64: ", L""};
constexpr FramedText MachineGuid = {prefix::Info, L"Machine guid: ", L""};
constexpr FramedText ComputerName = {prefix::Info, L"Computer name: ", L""};
constexpr LineText SilentMode = {prefix::Warning, L"SilentMode Enabled"};
constexpr LineText ForcedMode = {prefix::Warning, L"ForcedMode Enabled"};
constexpr LineText DebugMode = {prefix::Warning, L"DebugMode Enabled"};
constexpr LineText ListOnlyMode = {prefix::Warning, L"NoCleaningMode Enabled"};
constexpr LineText Usage = {prefix::None, L"Usage:"};
constexpr LineText UnsupportedWindows = {prefix::Error,
                                         L"Sorry but this Windows version is not supported!"};
constexpr LineText EnvironmentRefused = {prefix::Error,
                                         L"The user stopped the run at the environment check."};
constexpr LineText InitFailed = {prefix::Error, L"Cleaner initialization failed!"};
/// "Keys loaded: 3 of 3, key set 0123456789abcdef": the fingerprint tells one release's keys
/// from another's.
constexpr FramedText KeysLoaded = {prefix::Info, L"Keys loaded: ", L""};
constexpr LineText WalkStarts = {prefix::Info, L"Looking for infected files..."};
/// A path given that names nothing, or whose files could not be looked at, as it was given.
constexpr FramedText InvalidPath = {prefix::Warning, L"Invalid Path [", L"]"};
/// An argument that reads as a switch the tool does not know and names no file either.
constexpr FramedText UnknownSwitch = {prefix::Warning, L"Unknown switch [", L"]"};

// One file.
constexpr FramedText Listed = {prefix::Info, L"Skipping [", L"]..."};
constexpr FramedText ListedInterrupted = {prefix::Info, L"Skipping [", L"]... (interrupted)"};
constexpr FramedText NotOfTheFamily = {prefix::Info, L"Left as it is, not a file of the family [",
                                       L"]"};
/// A forced run's word on a file the tool made itself (a backup, a cleaning's own file).
constexpr FramedText OwnFile = {prefix::Info, L"Left as it is, a file of the tool's own [", L"]"};
constexpr FramedText InternalError = {prefix::Error, L"Internal error while cleaning ", L""};
constexpr FramedText CleaningFile = {prefix::Info, L"Cleaning file [", L"]"};
constexpr FramedText Resuming = {prefix::Info, L"Resuming the cleaning of [",
                                 L"], interrupted in an earlier run."};
constexpr FramedText Decrypting = {prefix::Info, L"Decrypting [", L"]"};
/// Follows a refusal because a file has a name the cleaning needs.
constexpr FramedText InTheWay = {prefix::Info, L"File [",
                                 L"] is in the way: move it elsewhere, then run the tool again."};
constexpr FramedText BeingCleaned = {prefix::Info, L"File [",
                                     L"] is being cleaned by another run."};
constexpr FramedText OpenElsewhere = {
    prefix::Info, L"File [",
    L"] is open in another program; it is back under its own name: run the tool again once that "
    L"program has closed it."};
/// A file a cut-off run left under its in-progress name, which a program holds without letting
/// it be renamed.
constexpr FramedText OpenElsewhereUnmoved = {
    prefix::Info, L"File [",
    L"] is open in another program, which keeps it from going back under its own name: run the "
    L"tool again once that program has closed it."};
/// A cleaning whose decrypted file took its name but whose encrypted file could not take its
/// backup name: the next run finishes it.
constexpr FramedText OnlyBackupNameLeft = {
    prefix::Info, L"The decrypted file is in place at [",
    L"]; only the encrypted file's backup name is left, which the next run gives it."};
constexpr FramedText BackupKept = {prefix::Info, L"Encrypted file kept as [", L"]"};
/// The encrypted file's access list could not be given to its decrypted file, which was closed
/// to others instead.
constexpr FramedText PermissionsNotCopied = {
    prefix::Warning, L"Can't copy the permissions of file [",
    L" is open only to the administrators, the system and the user who ran the tool: give it "
    L"the permissions it should have."};
/// A file whose name is one the tool gives its own files, whose content does not prove it.
constexpr FramedText NotProvenOwn = {
    prefix::Info, L"Left as it is, named like the tool's own files but not proven one [", L"]"};
/// A file of the tool's own that a cut-off cleaning left and that is proven of no more use.
constexpr FramedText LeftoverRemoved = {prefix::Info, L"Removed [",
                                        L"], left by a cleaning that was cut off."};
/// Asked on the console as it stands; logged with the path and the answer.
constexpr const wchar_t* OverwriteQuestion = L"Do you want to overwrite the following file?";
/// Around the path in the logged question; the answer follows.
constexpr FramedText OverwriteAsked = {prefix::Info, L" [", L"] "};
constexpr const wchar_t* AnswerYes = L"Yes";
constexpr const wchar_t* AnswerNo = L"No";
constexpr FramedText OverwriteRefused = {prefix::Info, L"User doesn't allow modification of file [",
                                         L"]"};
/// Names the file that gave way to a decrypted one, then where it was kept.
constexpr FramedText ReplacedFile = {prefix::Info, L"Replaced file [", L"] kept as ["};
constexpr LineText Cleaned = {prefix::Info, L"Cleaned"};
constexpr LineText NotCleaned = {prefix::Error, L"Not cleaned"};

// After the walk.
constexpr FramedText InfectedFound = {prefix::Info, L"", L" infected files found."};
constexpr FramedText FilesCleaned = {prefix::Info, L"", L" file(s) cleaned."};

/// "Do you want to overwrite the following file? [path] No (silent mode)".
inline std::wstring OverwriteAnswer(const std::wstring& path, bool yes,
                                    const std::wstring& answeredBy) {
    return OverwriteQuestion + OverwriteAsked.With(path) + (yes ? AnswerYes : AnswerNo) + L" (" +
           answeredBy + L")";
}

/// The inner text of KeysLoaded.
inline std::wstring KeysLoadedText(uint32_t loaded, uint32_t records,
                                   const std::wstring& fingerprint) {
    return std::to_wstring(loaded) + L" of " + std::to_wstring(records) + L", key set " +
           fingerprint;
}

/// "Can't copy the permissions of file [from], GLE(...): [output] is open only to ...".
inline std::wstring PermissionsNotCopiedTo(const std::wstring& from, const std::wstring& error,
                                           const std::wstring& output) {
    return PermissionsNotCopied.With(from + L"], " + error + L": [" + output + L"]");
}

/// "Replaced file [output] kept as [kept]".
inline std::wstring ReplacedFileKept(const std::wstring& output, const std::wstring& kept) {
    return ReplacedFile.With(output) + kept + L"]";
}

} // namespace log_text

/// Lines the fleet report reads that the tool spells where it writes them, kept here so that the
/// report takes them from the tool's own header; report/tests/tool_lines_test.cpp runs the
/// tool's writers and checks that they agree.
namespace log_text {

/// A cleaning refused because its file's backup name is taken; the path follows, without
/// brackets.
constexpr FramedText BackupNameTaken = {prefix::Info, L"Can't get backup filename of file ", L""};

/// The banner's row with the tool's version, after its block letters: "... Version: 1.0.0.0".
constexpr FramedText BannerVersion = {prefix::None, L"Version: ", L""};

} // namespace log_text
