#include "backup/cleaning.h"

#include "backup/backup.h"
#include "backup/stale_partial.h"
#include "logging/lines.h"
#include "streams/path_helpers.h"

namespace {

/// What the name of a file being cleaned says: the name before its marks, the counter its own
/// names carry, and, where the name had to be shortened, the note beside it that keeps the
/// source's name (the in-progress name with the shorter marker of a note; empty otherwise).
struct InProgressName {
    std::wstring base;
    int32_t counter = 0;
    std::wstring note;
};

bool ParseInProgress(const std::wstring& name, InProgressName& parsed) {
    bool shortened = false;
    if (!ParseOwnName(name, OwnKind::Cleaning, parsed.base, parsed.counter, shortened)) {
        return false;
    }
    parsed.note = shortened ? parsed.base + OwnNameOf(L"x", OwnKind::Name, parsed.counter).substr(1)
                            : std::wstring();
    return true;
}

bool Exists(IFileSystem& files, const IFolder& folder, const std::wstring& name) {
    return files.Attributes(folder, name) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

/// A failed call on a name the cleaning needs: where the entry is not a plain file of one name,
/// it stays as it is, and the second line names it.
Failure Refused(std::wstring text, const std::wstring& path) {
    Failure failure = Failure::WithLastError(std::move(text));
    if (failure.error == NotPlainError) {
        failure.next = log_text::InTheWay.With(path);
    }
    return failure;
}

/// Removes one of the tool's own files; one that is already gone is no failure.
void RemoveOwnFile(IFileSystem& files, const IFolder& folder, const std::wstring& name) {
    if (!files.Delete(folder, name) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        const std::wstring error = FormatLastError();
        LogLine(prefix::Info, L"Can't delete file [" + folder.PathOf(name) + L"], " + error);
    }
}

/// Removes a plain file of the folder that holds no bytes, through the handle that found it
/// empty: one that holds any stays.
bool RemoveIfEmpty(IFileSystem& files, const IFolder& folder, const std::wstring& name) {
    const std::unique_ptr<IReadFile> file = files.OpenToRead(folder, name);
    char first = 0;
    uint32_t got = 0;
    return file && file->Read(&first, 1, got) && got == 0 && file->Remove();
}

} // namespace

/// The names one cleaning of a source gives its files, all in the source's folder.
struct Cleaning::Names {
    Names(const IFolder& folder, const std::wstring& source, const std::wstring& inProgress,
          int32_t counter)
        : folder(folder), source(source), inProgress(inProgress),
          partial(OwnNameOf(source, OwnKind::Partial, counter)),
          backup(OwnNameOf(source, OwnKind::Backup, counter)) {
        InProgressName parsed;
        ParseInProgress(inProgress, parsed);
        note = parsed.note;
    }
    std::wstring PathOf(const std::wstring& name) const { return folder.PathOf(name); }

    const IFolder& folder;
    std::wstring source;
    std::wstring inProgress;
    std::wstring partial;
    std::wstring backup;
    /// Empty where the in-progress name holds the source's whole name.
    std::wstring note;
};

/// What a failed cleaning undoes, gathered step by step as the cleaning goes: a file of the
/// output's name moved aside, the partial output it created, its hold on the encrypted file
/// and the in-progress name given through it, and the note that names it. Once the decrypted
/// file has taken the output's name the cleaning is committed, and nothing is undone: the next
/// run finishes what is left.
class Cleaning::PutBack {
public:
    PutBack(IFileSystem& files, const IFolder& folder) : files(files), folder(folder) {}

    /// A note this cleaning stands for: removed when the file is back under its own name.
    void Note(const std::wstring& name) { note = name; }
    /// The encrypted file, held, and the name it goes back to.
    void Held(std::unique_ptr<IHeldFile> file, const std::wstring& sourceName) {
        held = std::move(file);
        source = sourceName;
    }
    IHeldFile& HeldFile() { return *held; }
    void Created(std::unique_ptr<IOutputFile> file) { partial = std::move(file); }
    IOutputFile& Partial() { return *partial; }
    void Kept(const std::wstring& from, const std::wstring& to) {
        output = from;
        kept = to;
    }
    /// The partial output is gone, or has taken the output's name.
    void PartialDone() { partial.reset(); }
    void Commit() {
        committed = true;
        partial.reset();
    }

    /// Puts everything back that can go back; what cannot is named.
    void Undo() {
        if (committed) {
            return;
        }
        if (!kept.empty() && !files.Move(folder, kept, output)) {
            const std::wstring error = FormatLastError();
            LogLine(prefix::Info, L"Can't move file [" + folder.PathOf(kept) + L"] back to [" +
                                      folder.PathOf(output) + L"], " + error);
        }
        if (partial && !partial->Remove()) {
            const std::wstring error = FormatLastError();
            LogLine(prefix::Info, L"Can't delete file [" + partial->Path() + L"], " + error);
        }
        partial.reset();
        if (!held) {
            RemoveNote();
            return;
        }
        // No replacing: a file that has appeared under the source name stays, and so does the
        // in-progress name, which the next run takes up.
        const std::wstring inProgress = held->Name();
        if (inProgress != source && !held->Rename(source)) {
            const std::wstring error = FormatLastError();
            LogLine(prefix::Info, L"Can't revert backup of file [" + folder.PathOf(source) +
                                      L"] from [" + folder.PathOf(inProgress) + L"], " + error);
            return;
        }
        held.reset();
        RemoveNote();
    }

private:
    void RemoveNote() {
        if (!note.empty()) {
            RemoveOwnFile(files, folder, note);
        }
    }

    IFileSystem& files;
    const IFolder& folder;
    std::wstring note;
    std::unique_ptr<IHeldFile> held;
    std::wstring source;
    std::unique_ptr<IOutputFile> partial;
    std::wstring output;
    std::wstring kept;
    bool committed = false;
};

std::wstring InterruptedSourceOf(IFileSystem& files, const IFolder& folder,
                                 const std::wstring& name) {
    InProgressName parsed;
    if (!ParseInProgress(name, parsed)) {
        return std::wstring();
    }
    if (parsed.note.empty()) {
        return parsed.base;
    }
    // The note is trusted only for what the tool's own naming gives back: a plain name in the
    // note's folder whose in-progress name is exactly this one.
    std::wstring source;
    if (!files.ReadSmallFile(folder, parsed.note, MaxFileNameLength, source) || source.empty() ||
        source.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos) {
        return std::wstring();
    }
    return OwnNameOf(source, OwnKind::Cleaning, parsed.counter) == name ? source : std::wstring();
}

CleaningResult Cleaning::Run(const FolderEntry& file, bool resumed) {
    const IFolder& folder = *file.folder;
    std::wstring name = file.name;
    for (;;) {
        const std::wstring source =
            resumed ? InterruptedSourceOf(files, folder, name) : std::wstring(name);
        LogLine(prefix::None, std::wstring());
        LogLine(log_text::CleaningFile, folder.PathOf(source.empty() ? name : source));
        PutBack putBack(files, folder);
        Failure failure;
        std::wstring output;
        bool done = false;
        if (resumed) {
            InProgressName parsed;
            if (source.empty() || !ParseInProgress(name, parsed)) {
                failure = Failure(L"Can't find the name of the file that [" + folder.PathOf(name) +
                                  L"] holds.");
            } else {
                done =
                    Resume(Names(folder, source, name, parsed.counter), putBack, output, failure);
            }
        } else {
            done = Start(Names(folder, name, OwnNameOf(name, OwnKind::Cleaning, counter), counter),
                         putBack, output, failure);
        }
        if (!done) {
            // The one place a failed cleaning is told and undone.
            LogFailure(failure);
            putBack.Undo();
            LogLine(log_text::NotCleaned);
            return CleaningResult::Failed;
        }
        LogLine(log_text::Cleaned);
        placed.push_back(folder.PathOf(output));
        // An output that is itself one of the family's files is cleaned in turn, each layer
        // keeping its backup.
        if (!steps.IsFamilyFile(folder, output)) {
            return CleaningResult::Cleaned;
        }
        name = output;
        resumed = false;
    }
}

bool Cleaning::Start(const Names& names, PutBack& putBack, std::wstring& output, Failure& failure) {
    const std::wstring sourcePath = names.PathOf(names.source);
    const std::wstring inProgressPath = names.PathOf(names.inProgress);
    // Every name the cleaning will give is free before anything moves.
    if (Exists(files, names.folder, names.backup)) {
        failure = Failure::InTheWay(L"Can't get backup filename of file " + sourcePath,
                                    names.PathOf(names.backup));
        return false;
    }
    if (Exists(files, names.folder, names.inProgress)) {
        failure = Failure(L"Can't move (backup) file [" + sourcePath + L"] to [" + inProgressPath +
                          L"], the name is taken.");
        return false;
    }
    if (Exists(files, names.folder, names.partial)) {
        const std::wstring partialPath = names.PathOf(names.partial);
        failure = Failure::InTheWay(L"Can't create file [" + partialPath + L"], the name is taken.",
                                    partialPath);
        return false;
    }
    // Held before it moves, and moved through the hold: what is renamed, read and given its
    // backup name is the file that was checked, whatever happens to its names meanwhile.
    std::unique_ptr<IHeldFile> held = files.Hold(names.folder, names.source);
    if (!held) {
        if (GetLastError() != ERROR_SHARING_VIOLATION) {
            failure = Refused(L"Can't open file [" + sourcePath + L"]", sourcePath);
        } else if (files.IsBeingCleaned(names.folder, names.source)) {
            failure = Failure(log_text::BeingCleaned.With(sourcePath));
        } else {
            failure = Failure(log_text::OpenElsewhere.With(sourcePath));
        }
        return false;
    }
    // Durable before the file leaves its name: the note is all that names it afterwards.
    if (!names.note.empty()) {
        if (!files.WriteNewFile(names.folder, names.note, names.source)) {
            failure =
                Failure::WithLastError(L"Can't create file [" + names.PathOf(names.note) + L"]");
            return false;
        }
        putBack.Note(names.note);
    }
    putBack.Held(std::move(held), names.source);
    if (!putBack.HeldFile().Rename(names.inProgress)) {
        failure = Failure::WithLastError(L"Can't move (backup) file [" + sourcePath + L"] to [" +
                                         inProgressPath + L"]");
        return false;
    }
    return Finish(names, false, putBack, output, failure);
}

bool Cleaning::Resume(const Names& names, PutBack& putBack, std::wstring& output,
                      Failure& failure) {
    const std::wstring path = names.PathOf(names.inProgress);
    const std::wstring sourcePath = names.PathOf(names.source);
    std::unique_ptr<IHeldFile> held = files.Hold(names.folder, names.inProgress);
    if (!held && GetLastError() == ERROR_SHARING_VIOLATION) {
        if (files.IsBeingCleaned(names.folder, names.inProgress)) {
            failure = Failure(log_text::BeingCleaned.With(sourcePath));
            return false;
        }
        // A program holds it: one that shares its deletion (an indexer, a backup agent) lets
        // it go back under its own name.
        if (files.Move(names.folder, names.inProgress, names.source)) {
            if (!names.note.empty()) {
                RemoveOwnFile(files, names.folder, names.note);
            }
            failure = Failure(log_text::OpenElsewhere.With(sourcePath));
        } else if (GetLastError() == ERROR_SHARING_VIOLATION) {
            failure = Failure(log_text::OpenElsewhereUnmoved.With(path));
        } else {
            // A file has come back under its own name: whoever holds this one stays unknown.
            failure = Failure(L"Can't open file [" + path + L"]", ERROR_SHARING_VIOLATION);
        }
        return false;
    }
    if (!held) {
        failure = Refused(L"Can't open file [" + path + L"]", path);
        return false;
    }
    LogLine(log_text::Resuming, sourcePath);
    // Held, it cannot change: only the family's content is taken up, or put back.
    const Proof proof = steps.ProofOf(names.source, *held);
    if (proof == Proof::NoKey) {
        // Nothing this run can do for it; the user can, and is told how.
        failure = Failure(L"File [" + path + L"] looks like an interrupted cleaning of [" +
                          sourcePath +
                          L"] that no key the tool carries opens; renaming it back to that name "
                          L"restores the state before the run.");
        failure.next = SettleStrandedPartial(names);
        return false;
    }
    if (proof != Proof::Family) {
        failure = Failure(log_text::NotProvenOwn.With(path));
        return false;
    }
    if (Exists(files, names.folder, names.backup)) {
        failure = Failure::InTheWay(L"Can't get backup filename of file " + sourcePath,
                                    names.PathOf(names.backup));
        return false;
    }
    putBack.Held(std::move(held), names.source);
    putBack.Note(names.note);
    return ClearStalePartial(names, putBack.HeldFile(), failure) &&
           Finish(names, true, putBack, output, failure);
}

std::wstring Cleaning::SettleStrandedPartial(const Names& names) {
    if (!Exists(files, names.folder, names.partial)) {
        return std::wstring();
    }
    const std::wstring partialPath = names.PathOf(names.partial);
    // Without a key there is no telling what bytes are whose: only an empty file, which holds
    // nobody's data, goes.
    return RemoveIfEmpty(files, names.folder, names.partial)
               ? log_text::LeftoverRemoved.With(partialPath)
               : log_text::NotProvenOwn.With(partialPath);
}

bool Cleaning::ClearStalePartial(const Names& names, IHeldFile& held, Failure& failure) {
    if (!Exists(files, names.folder, names.partial)) {
        return true;
    }
    const std::wstring partialPath = names.PathOf(names.partial);
    // Only a run that held this in-progress file wrote a partial output of this name; a file
    // of someone else's may have it all the same, so the bytes decide, and what is removed is
    // the file whose bytes were read.
    std::unique_ptr<IReadFile> stale = files.OpenToRead(names.folder, names.partial);
    if (stale) {
        StalePartialCheck check(partialPath, std::move(stale));
        // The check decides, whichever way the decryption ends: it ends it once decided.
        Failure stopped;
        steps.Decrypt(names.PathOf(names.source), held, check,
                      names.PathOf(OutputPathOf(names.source)), stopped);
        if (check.Proven() && check.File().Remove()) {
            LogLine(log_text::LeftoverRemoved, partialPath);
            return true;
        }
    }
    failure = Failure::InTheWay(L"Can't create file [" + partialPath + L"], the name is taken.",
                                partialPath);
    return false;
}

bool Cleaning::Finish(const Names& names, bool resumed, PutBack& putBack, std::wstring& output,
                      Failure& failure) {
    const std::wstring sourcePath = names.PathOf(names.source);
    LogRule();
    LogLine(log_text::Decrypting, sourcePath);
    output = OutputPathOf(names.source);
    if (output.empty()) {
        failure = Failure(L"Can't get output filename.");
        return false;
    }
    const std::wstring outputPath = names.PathOf(output);
    // A new cleaning settles before decrypting whether a file that has the output's name may
    // go; a resumed one first sees whether that file is its own finished output.
    bool replace = false;
    if (!resumed && Exists(files, names.folder, output)) {
        if (!MayReplaceOutput(names, output, failure)) {
            return false;
        }
        replace = true;
    }
    std::unique_ptr<IOutputFile> created = files.CreateNew(names.folder, names.partial);
    if (!created) {
        failure =
            Failure::WithLastError(L"Can't create file [" + names.PathOf(names.partial) + L"]");
        return false;
    }
    putBack.Created(std::move(created));
    IOutputFile& partial = putBack.Partial();
    IHeldFile& held = putBack.HeldFile();
    if (!steps.Decrypt(sourcePath, held, partial, outputPath, failure)) {
        return false;
    }
    // On the disk before it takes the output's name: after a power loss the name must not
    // stand for data that never got there.
    if (!partial.Flush()) {
        failure = Failure::WithLastError(L"Can't flush file [" + partial.Path() + L"]");
        return false;
    }
    bool finished = false;
    if (resumed && Exists(files, names.folder, output)) {
        bool same = false;
        if (!IsDirectory(files.Attributes(names.folder, output)) &&
            files.SameContent(names.folder, output, names.partial, same) && same) {
            finished = true;
        } else if (!MayReplaceOutput(names, output, failure)) {
            return false;
        } else {
            replace = true;
        }
    }
    // A finished output got all the encrypted file carries before it took its name.
    if (finished) {
        if (!partial.Remove()) {
            const std::wstring error = FormatLastError();
            LogLine(prefix::Info, L"Can't delete file [" + partial.Path() + L"], " + error);
        }
        putBack.PartialDone();
    } else if (!CopyWhatItCarries(names, held, partial, outputPath, failure) ||
               !PlaceOutput(names, output, replace, putBack, failure)) {
        return false;
    }
    putBack.Commit();
    // The last step: its name says the cleaning is over. Where it fails, the next run checks
    // the output again and takes the name then.
    if (!held.Rename(names.backup)) {
        failure =
            Failure::WithLastError(L"Can't move (backup) file [" + names.PathOf(names.inProgress) +
                                   L"] to [" + names.PathOf(names.backup) + L"]");
        failure.next = log_text::OnlyBackupNameLeft.With(outputPath);
        return false;
    }
    if (!names.note.empty()) {
        RemoveOwnFile(files, names.folder, names.note);
    }
    LogLine(log_text::BackupKept, names.PathOf(names.backup));
    return true;
}

bool Cleaning::CopyWhatItCarries(const Names& names, IHeldFile& held, IOutputFile& partial,
                                 const std::wstring& output, Failure& failure) {
    const std::wstring from = names.PathOf(names.inProgress);
    const std::wstring& to = partial.Path();
    bool accessLists = true;
    bool streams = true;
    // A volume that cannot say what it keeps is asked for both: a failure then says so.
    if (!partial.VolumeKeeps(accessLists, streams)) {
        accessLists = streams = true;
    }
    // A stream such as the mark of the web keeps a downloaded file under the system's watch.
    if (streams && !files.CopyStreams(held, partial)) {
        failure = Failure::WithLastError(L"Can't copy the streams of file [" + from + L"] to [" +
                                         to + L"]");
        return false;
    }
    FileTimes times;
    if (!held.Times(times) || !partial.SetTimes(times)) {
        const std::wstring error = FormatLastError();
        LogLine(prefix::Info,
                L"Can't copy the times of file [" + from + L"] to [" + to + L"], " + error);
    }
    DWORD attributes = 0;
    if (!held.Attributes(attributes)) {
        const std::wstring error = FormatLastError();
        LogLine(prefix::Info, L"Can't read attributes of file [" + from + L"], " + error);
    } else if (!partial.SetAttributes(attributes)) {
        const std::wstring error = FormatLastError();
        LogLine(prefix::Info, L"Can't set attributes of file [" + to + L"], " + error);
    }
    // Last, through the handle the run already has: the copied access list may leave the run no
    // right to open the file again. Where it does not pass over, the output stays as it was
    // made, closed to all but those who may open any file: never more open than the encrypted
    // file.
    SecurityBytes security;
    if (accessLists && !(held.Security(security) && partial.SetSecurity(security))) {
        const std::wstring error = FormatLastError();
        LogLine(log_text::PermissionsNotCopied.prefix,
                log_text::PermissionsNotCopiedTo(from, error, output));
    }
    return true;
}

bool Cleaning::MayReplaceOutput(const Names& names, const std::wstring& output, Failure& failure) {
    const std::wstring outputPath = names.PathOf(output);
    if (IsDirectory(files.Attributes(names.folder, output))) {
        failure =
            Failure(L"Can't write the decrypted file to [" + outputPath + L"], it is a directory.");
        return false;
    }
    // Its only copy may be that file: it is cleaned on its own turn, never replaced.
    if (IsOwnFileName(output) || steps.IsFamilyFile(names.folder, output)) {
        failure = Failure(L"Can't replace [" + outputPath + L"], it is an encrypted file too.");
        return false;
    }
    // A refusal is told by the question's own lines.
    return steps.MayReplace(outputPath);
}

bool Cleaning::PlaceOutput(const Names& names, const std::wstring& output, bool replace,
                           PutBack& putBack, Failure& failure) {
    const std::wstring outputPath = names.PathOf(output);
    if (replace && Exists(files, names.folder, output)) {
        const std::wstring kept = OwnNameOf(output, OwnKind::Backup, counter);
        const std::wstring keptPath = names.PathOf(kept);
        if (Exists(files, names.folder, kept)) {
            failure =
                Failure::InTheWay(L"Can't get backup filename of file " + outputPath, keptPath);
            return false;
        }
        // Named before it moves: a run cut off right after still says where the file went.
        LogLine(log_text::ReplacedFile.prefix, log_text::ReplacedFileKept(outputPath, keptPath));
        // Moved, never rewritten: the file keeps its content and its attributes.
        if (!files.Move(names.folder, output, kept)) {
            failure = Refused(L"Can't move file [" + outputPath + L"] to [" + keptPath + L"]",
                              outputPath);
            return false;
        }
        putBack.Kept(output, kept);
    }
    // No replacing: a file that took the name meanwhile, unasked, stays.
    if (!putBack.Partial().Rename(output)) {
        failure = Failure::WithLastError(L"Can't move decrypted file to [" + outputPath + L"]");
        return false;
    }
    return true;
}

void Cleaning::TidyNote(const FolderEntry& note, bool mayRemove) {
    const IFolder& folder = *note.folder;
    const std::wstring path = note.Path();
    // A note is the tool's when it names a file whose shortened in-progress name is the one
    // beside this note.
    std::wstring base;
    int32_t noteCounter = 0;
    bool shortened = false;
    InProgressName inProgress;
    std::wstring source;
    const bool named = ParseOwnName(note.name, OwnKind::Name, base, noteCounter, shortened);
    if (named) {
        const std::wstring inProgressName =
            base + OwnNameOf(L"x", OwnKind::Cleaning, noteCounter).substr(1);
        if (ParseInProgress(inProgressName, inProgress) && inProgress.note == note.name) {
            source = InterruptedSourceOf(files, folder, inProgressName);
        }
    }
    if (source.empty()) {
        // A run cut off while it wrote a note leaves it empty, before its file has moved: a
        // note that names nothing and holds nothing is of no use to anyone.
        if (named && mayRemove && RemoveIfEmpty(files, folder, note.name)) {
            LogLine(log_text::LeftoverRemoved, path);
        } else {
            LogLine(log_text::NotProvenOwn, path);
        }
        return;
    }
    const std::wstring inProgressName = OwnNameOf(source, OwnKind::Cleaning, noteCounter);
    if (!mayRemove || Exists(files, folder, inProgressName)) {
        return;
    }
    // A run between writing such a note and moving the file away has the file under its own
    // name still: while this run holds it, no run can move it, so the check above stands.
    const std::unique_ptr<IHeldFile> held = files.Hold(folder, source);
    if (!held && GetLastError() != ERROR_FILE_NOT_FOUND) {
        return;
    }
    if (Exists(files, folder, inProgressName)) {
        return;
    }
    if (files.Delete(folder, note.name)) {
        LogLine(log_text::LeftoverRemoved, path);
    } else {
        const std::wstring error = FormatLastError();
        LogLine(prefix::Info, L"Can't delete file [" + path + L"], " + error);
    }
}
