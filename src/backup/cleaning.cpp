#include "backup/cleaning.h"

#include "backup/backup.h"
#include "backup/stale_partial.h"
#include "logging/lines.h"
#include "streams/path_helpers.h"

namespace {

/// What the name of a file being cleaned says: the path before its marks, the counter its own
/// names carry, and, where the name had to be shortened, the note beside it that keeps the
/// source's name (the in-progress name with the shorter marker of a note; empty otherwise).
struct InProgressName {
    std::wstring base;
    int32_t counter = 0;
    std::wstring note;
};

bool ParseInProgress(const std::wstring& path, InProgressName& name) {
    bool shortened = false;
    if (!ParseOwnName(path, OwnKind::Cleaning, name.base, name.counter, shortened)) {
        return false;
    }
    name.note = shortened ? name.base + OwnNameOf(L"x", OwnKind::Name, name.counter).substr(1)
                          : std::wstring();
    return true;
}

bool Exists(IFileSystem& files, const std::wstring& path) {
    return files.Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

/// Removes one of the tool's own files; one that is already gone is no failure.
void RemoveOwnFile(IFileSystem& files, const std::wstring& path) {
    if (!files.Delete(path) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        LogLine(prefix::Info, L"Can't delete file [" + path + L"], " + FormatLastError());
    }
}

/// Removes a partial output, which may carry the encrypted file's attributes by now.
void RemovePartial(IFileSystem& files, const std::wstring& path) {
    files.SetAttributes(path, FILE_ATTRIBUTE_NORMAL);
    RemoveOwnFile(files, path);
}

} // namespace

/// The names one cleaning of a source gives its files.
struct Cleaning::Names {
    Names(const std::wstring& source, const std::wstring& inProgress, int32_t counter)
        : source(source), inProgress(inProgress),
          partial(OwnNameOf(source, OwnKind::Partial, counter)),
          backup(OwnNameOf(source, OwnKind::Backup, counter)) {
        InProgressName parsed;
        ParseInProgress(inProgress, parsed);
        note = parsed.note;
    }

    std::wstring source;
    std::wstring inProgress;
    std::wstring partial;
    std::wstring backup;
    /// Empty where the in-progress name holds the source's whole name.
    std::wstring note;
};

/// What a failed cleaning undoes, gathered step by step as the cleaning goes: a file of the
/// output's name moved aside, the partial output it created, its hold on the in-progress file,
/// the move to the in-progress name and the note that names it. Once the decrypted file has
/// taken the output's name the cleaning is committed, and nothing is undone: the next run
/// finishes what is left.
class Cleaning::PutBack {
public:
    explicit PutBack(IFileSystem& files) : files(files) {}

    /// A note this cleaning stands for: removed when the file is back under its own name.
    void Note(const std::wstring& path) { note = path; }
    void Moved(const std::wstring& from, const std::wstring& to) {
        source = from;
        inProgress = to;
    }
    void Held(std::unique_ptr<IHeldFile> file) { held = std::move(file); }
    void Created(const std::wstring& path) { partial = path; }
    void Kept(const std::wstring& from, const std::wstring& to) {
        output = from;
        kept = to;
    }
    void Commit() {
        committed = true;
        held.reset();
    }

    /// Puts everything back that can go back; what cannot is named.
    void Undo() {
        if (committed) {
            return;
        }
        if (!kept.empty() && !files.Move(kept, output)) {
            const std::wstring error = FormatLastError();
            LogLine(prefix::Info,
                    L"Can't move file [" + kept + L"] back to [" + output + L"], " + error);
        }
        if (!partial.empty()) {
            RemovePartial(files, partial);
        }
        held.reset();
        // No replacing: a file that has appeared under the source name stays, and so does the
        // in-progress name, which the next run takes up.
        if (!inProgress.empty() && !files.Move(inProgress, source)) {
            const std::wstring error = FormatLastError();
            LogLine(prefix::Info, L"Can't revert backup of file [" + source + L"] from [" +
                                      inProgress + L"], " + error);
            return;
        }
        if (!note.empty()) {
            RemoveOwnFile(files, note);
        }
    }

private:
    IFileSystem& files;
    std::wstring note;
    std::wstring source;
    std::wstring inProgress;
    std::unique_ptr<IHeldFile> held;
    std::wstring partial;
    std::wstring output;
    std::wstring kept;
    bool committed = false;
};

std::wstring InterruptedSourceOf(IFileSystem& files, const std::wstring& path) {
    InProgressName parsed;
    if (!ParseInProgress(path, parsed)) {
        return std::wstring();
    }
    if (parsed.note.empty()) {
        return parsed.base;
    }
    // The note is trusted only for what the tool's own naming gives back: a plain name in the
    // note's directory whose in-progress name is exactly this one.
    std::wstring name;
    if (!files.ReadSmallFile(parsed.note, MaxFileNameLength, name) || name.empty() ||
        name.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos) {
        return std::wstring();
    }
    const std::wstring source = DirectoryPartOf(path) + name;
    return OwnNameOf(source, OwnKind::Cleaning, parsed.counter) == path ? source : std::wstring();
}

CleaningResult Cleaning::Run(const std::wstring& path, bool resumed) {
    std::wstring file = resumed ? InterruptedSourceOf(files, path) : path;
    for (;;) {
        LogLine(prefix::None, std::wstring());
        LogLine(log_text::CleaningFile, file.empty() ? path : file);
        PutBack putBack(files);
        Failure failure;
        std::wstring output;
        if (!(resumed ? Resume(path, putBack, output, failure)
                      : Start(file, putBack, output, failure))) {
            // The one place a failed cleaning is told and undone.
            LogFailure(failure);
            putBack.Undo();
            LogLine(log_text::NotCleaned);
            return CleaningResult::Failed;
        }
        LogLine(log_text::Cleaned);
        // An output that is itself one of the family's files is cleaned in turn, each layer
        // keeping its backup.
        if (!steps.IsFamilyFile(FileNameOf(output), output)) {
            return CleaningResult::Cleaned;
        }
        file = output;
        resumed = false;
    }
}

bool Cleaning::Start(const std::wstring& source, PutBack& putBack, std::wstring& output,
                     Failure& failure) {
    const Names names(source, OwnNameOf(source, OwnKind::Cleaning, counter), counter);
    // Every name the cleaning will give is free before anything moves.
    if (Exists(files, names.backup)) {
        failure = Failure::InTheWay(L"Can't get backup filename of file " + source, names.backup);
        return false;
    }
    if (Exists(files, names.inProgress)) {
        failure = Failure(L"Can't move (backup) file [" + source + L"] to [" + names.inProgress +
                          L"], the name is taken.");
        return false;
    }
    if (Exists(files, names.partial)) {
        failure = Failure::InTheWay(
            L"Can't create file [" + names.partial + L"], the name is taken.", names.partial);
        return false;
    }
    // Durable before the file leaves its name: the note is all that names it afterwards.
    if (!names.note.empty()) {
        if (!files.WriteNewFile(names.note, FileNameOf(source))) {
            failure = Failure::WithLastError(L"Can't create file [" + names.note + L"]");
            return false;
        }
        putBack.Note(names.note);
    }
    if (!files.Move(source, names.inProgress)) {
        failure = Failure::WithLastError(L"Can't move (backup) file [" + source + L"] to [" +
                                         names.inProgress + L"]");
        return false;
    }
    putBack.Moved(source, names.inProgress);
    std::unique_ptr<IHeldFile> held = files.Hold(names.inProgress);
    if (!held) {
        // Moments after this run renamed it, whoever holds it shares its deletion: a program
        // does that, a run never.
        failure = GetLastError() == ERROR_SHARING_VIOLATION
                      ? Failure(log_text::OpenElsewhere.With(source))
                      : Failure::WithLastError(L"Can't open file [" + names.inProgress + L"]");
        return false;
    }
    putBack.Held(std::move(held));
    return Finish(names, false, putBack, output, failure);
}

bool Cleaning::Resume(const std::wstring& path, PutBack& putBack, std::wstring& output,
                      Failure& failure) {
    const std::wstring source = InterruptedSourceOf(files, path);
    InProgressName parsed;
    if (source.empty() || !ParseInProgress(path, parsed)) {
        failure = Failure(L"Can't find the name of the file that [" + path + L"] holds.");
        return false;
    }
    const Names names(source, path, parsed.counter);
    std::unique_ptr<IHeldFile> held = files.Hold(path);
    if (!held && GetLastError() == ERROR_SHARING_VIOLATION) {
        // A run holds it without sharing its deletion, a program (an indexer, a backup agent)
        // with: only then can it go back under its own name.
        if (files.Move(path, source)) {
            if (!names.note.empty()) {
                RemoveOwnFile(files, names.note);
            }
            failure = Failure(log_text::OpenElsewhere.With(source));
        } else if (GetLastError() == ERROR_SHARING_VIOLATION) {
            failure = Failure(log_text::BeingCleaned.With(source));
        } else {
            // A file has come back under its own name: whoever holds this one stays unknown.
            failure = Failure(L"Can't open file [" + path + L"]", ERROR_SHARING_VIOLATION);
        }
        return false;
    }
    if (!held) {
        failure = Failure::WithLastError(L"Can't open file [" + path + L"]");
        return false;
    }
    LogLine(log_text::Resuming, source);
    // Held, it cannot change: only the family's content is taken up, or put back.
    if (!steps.ProvesFamily(FileNameOf(source), path)) {
        failure = Failure(log_text::NotProvenOwn.With(path));
        return false;
    }
    if (Exists(files, names.backup)) {
        failure = Failure::InTheWay(L"Can't get backup filename of file " + source, names.backup);
        return false;
    }
    putBack.Moved(source, path);
    putBack.Note(names.note);
    putBack.Held(std::move(held));
    return ClearStalePartial(names, failure) && Finish(names, true, putBack, output, failure);
}

bool Cleaning::ClearStalePartial(const Names& names, Failure& failure) {
    if (!Exists(files, names.partial)) {
        return true;
    }
    // Only a run that held this in-progress file wrote a partial output of this name; a file
    // of someone else's may have it all the same, so the bytes decide.
    std::unique_ptr<IReadFile> stale = files.OpenToRead(names.partial);
    bool own = false;
    if (stale) {
        StalePartialCheck check(names.partial, std::move(stale));
        Failure stopped;
        steps.Decrypt(names.source, names.inProgress, check, OutputPathOf(names.source), stopped);
        own = check.Proven();
    }
    // It may carry the encrypted file's attributes already.
    if (own && files.SetAttributes(names.partial, FILE_ATTRIBUTE_NORMAL) &&
        files.Delete(names.partial)) {
        LogLine(log_text::LeftoverRemoved, names.partial);
        return true;
    }
    failure = Failure::InTheWay(L"Can't create file [" + names.partial + L"], the name is taken.",
                                names.partial);
    return false;
}

bool Cleaning::Finish(const Names& names, bool resumed, PutBack& putBack, std::wstring& output,
                      Failure& failure) {
    LogRule();
    LogLine(log_text::Decrypting, names.source);
    output = OutputPathOf(names.source);
    if (output.empty()) {
        failure = Failure(L"Can't get output filename.");
        return false;
    }
    // A new cleaning settles before decrypting whether a file that has the output's name may
    // go; a resumed one first sees whether that file is its own finished output.
    bool replace = false;
    if (!resumed && Exists(files, output)) {
        if (!MayReplaceOutput(output, failure)) {
            return false;
        }
        replace = true;
    }
    std::unique_ptr<IWrittenFile> partial = files.CreateNew(names.partial);
    if (!partial) {
        failure = Failure::WithLastError(L"Can't create file [" + names.partial + L"]");
        return false;
    }
    putBack.Created(names.partial);
    if (!steps.Decrypt(names.source, names.inProgress, *partial, output, failure)) {
        return false;
    }
    // On the disk before it takes the output's name: after a power loss the name must not
    // stand for data that never got there.
    if (!partial->Flush()) {
        failure = Failure::WithLastError(L"Can't flush file [" + names.partial + L"]");
        return false;
    }
    partial.reset();
    bool finished = false;
    if (resumed && Exists(files, output)) {
        bool same = false;
        if (!IsDirectory(files.Attributes(output)) &&
            files.SameContent(output, names.partial, same) && same) {
            finished = true;
        } else if (!MayReplaceOutput(output, failure)) {
            return false;
        } else {
            replace = true;
        }
    }
    // A finished output got all the encrypted file carries before it took its name.
    if (finished) {
        RemovePartial(files, names.partial);
    } else if (!CopyWhatItCarries(names, output, failure) ||
               !PlaceOutput(names, output, replace, putBack, failure)) {
        return false;
    }
    putBack.Commit();
    // The last step: its name says the cleaning is over. Where it fails, the next run checks
    // the output again and takes the name then.
    if (!files.Move(names.inProgress, names.backup)) {
        failure = Failure::WithLastError(L"Can't move (backup) file [" + names.inProgress +
                                         L"] to [" + names.backup + L"]");
        failure.next = log_text::OnlyBackupNameLeft.With(output);
        return false;
    }
    if (!names.note.empty()) {
        RemoveOwnFile(files, names.note);
    }
    LogLine(log_text::BackupKept, names.backup);
    return true;
}

bool Cleaning::CopyWhatItCarries(const Names& names, const std::wstring& output, Failure& failure) {
    const std::wstring& from = names.inProgress;
    const std::wstring& to = names.partial;
    bool accessLists = true;
    bool streams = true;
    // A volume that cannot say what it keeps is asked for both: a failure then says so.
    if (!files.VolumeKeeps(to, accessLists, streams)) {
        accessLists = streams = true;
    }
    // A stream such as the mark of the web keeps a downloaded file under the system's watch.
    if (streams && !files.CopyStreams(from, to)) {
        failure = Failure::WithLastError(L"Can't copy the streams of file [" + from + L"] to [" +
                                         to + L"]");
        return false;
    }
    FileTimes times;
    if (!files.Times(from, times) || !files.SetTimes(to, times)) {
        const std::wstring error = FormatLastError();
        LogLine(prefix::Info,
                L"Can't copy the times of file [" + from + L"] to [" + to + L"], " + error);
    }
    const DWORD attributes = files.Attributes(from);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const std::wstring error = FormatLastError();
        LogLine(prefix::Info, L"Can't read attributes of file [" + from + L"], " + error);
    } else {
        files.SetAttributes(to, attributes);
    }
    // Last: the copied access list may leave the run no right to change the rest.
    SecurityBytes security;
    if (accessLists && !(files.Security(from, security) && files.SetSecurity(to, security))) {
        const std::wstring error = FormatLastError();
        // Never more open than the encrypted file: where its access list does not pass over,
        // the output is closed to all but those who may open any file.
        if (!files.CloseToOthers(to)) {
            failure = Failure::WithLastError(L"Can't set the permissions of file [" + to + L"]");
            return false;
        }
        LogLine(log_text::PermissionsNotCopied.prefix,
                log_text::PermissionsNotCopiedTo(from, error, output));
    }
    return true;
}

bool Cleaning::MayReplaceOutput(const std::wstring& output, Failure& failure) {
    if (IsDirectory(files.Attributes(output))) {
        failure =
            Failure(L"Can't write the decrypted file to [" + output + L"], it is a directory.");
        return false;
    }
    // Its only copy may be that file: it is cleaned on its own turn, never replaced.
    const std::wstring name = FileNameOf(output);
    if (IsOwnFileName(name) || steps.IsFamilyFile(name, output)) {
        failure = Failure(L"Can't replace [" + output + L"], it is an encrypted file too.");
        return false;
    }
    // A refusal is told by the question's own lines.
    return steps.MayReplace(output);
}

bool Cleaning::PlaceOutput(const Names& names, const std::wstring& output, bool replace,
                           PutBack& putBack, Failure& failure) {
    if (replace && Exists(files, output)) {
        const std::wstring kept = OwnNameOf(output, OwnKind::Backup, counter);
        if (Exists(files, kept)) {
            failure = Failure::InTheWay(L"Can't get backup filename of file " + output, kept);
            return false;
        }
        // Named before it moves: a run cut off right after still says where the file went.
        LogLine(log_text::ReplacedFile.prefix, log_text::ReplacedFileKept(output, kept));
        // Moved, never rewritten: the file keeps its content and its attributes.
        if (!files.Move(output, kept)) {
            failure =
                Failure::WithLastError(L"Can't move file [" + output + L"] to [" + kept + L"]");
            return false;
        }
        putBack.Kept(output, kept);
    }
    // No replacing: a file that took the name meanwhile, unasked, stays.
    if (!files.Move(names.partial, output)) {
        failure = Failure::WithLastError(L"Can't move decrypted file to [" + output + L"]");
        return false;
    }
    return true;
}

void Cleaning::TidyNote(const std::wstring& path, bool mayRemove) {
    // A note is the tool's when it names a file whose shortened in-progress name is the one
    // beside this note.
    std::wstring base;
    int32_t noteCounter = 0;
    bool shortened = false;
    InProgressName inProgress;
    std::wstring source;
    if (ParseOwnName(path, OwnKind::Name, base, noteCounter, shortened)) {
        const std::wstring inProgressPath =
            base + OwnNameOf(L"x", OwnKind::Cleaning, noteCounter).substr(1);
        if (ParseInProgress(inProgressPath, inProgress) && inProgress.note == path) {
            source = InterruptedSourceOf(files, inProgressPath);
        }
    }
    if (source.empty()) {
        LogLine(log_text::NotProvenOwn, path);
        return;
    }
    const std::wstring inProgressPath = OwnNameOf(source, OwnKind::Cleaning, noteCounter);
    if (!mayRemove || Exists(files, inProgressPath)) {
        return;
    }
    // A run between writing such a note and moving the file away has the file under its own
    // name still: while this run holds it, no run can move it, so the check above stands.
    const std::unique_ptr<IHeldFile> held = files.Hold(source);
    if (!held && GetLastError() != ERROR_FILE_NOT_FOUND) {
        return;
    }
    if (Exists(files, inProgressPath)) {
        return;
    }
    if (files.Delete(path)) {
        LogLine(log_text::LeftoverRemoved, path);
    } else {
        LogLine(prefix::Info, L"Can't delete file [" + path + L"], " + FormatLastError());
    }
}
