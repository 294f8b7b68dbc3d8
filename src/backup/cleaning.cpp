#include "backup/cleaning.h"

#include "backup/backup.h"
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
    name.note = shortened
                    ? name.base + OwnNameOf(L"x", OwnKind::Name, name.counter).substr(1)
                    : std::wstring();
    return true;
}

/// Without a counter: a run that takes up a cleaning writes where the cut-off run wrote.
std::wstring PartialOf(const std::wstring& source) {
    return OwnNameOf(source, OwnKind::Partial, 0);
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

} // namespace

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
        LogLine(log_text::CleaningFile, file);
        std::wstring output;
        const CleaningResult result = resumed ? Resume(path, output) : Start(file, output);
        // An output that is itself one of the family's files is cleaned in turn, each layer
        // keeping its backup.
        if (result != CleaningResult::Cleaned || !steps.IsFamilyFile(FileNameOf(output), output)) {
            return result;
        }
        file = output;
        resumed = false;
    }
}

CleaningResult Cleaning::Start(const std::wstring& source, std::wstring& output) {
    const std::wstring inProgress = OwnNameOf(source, OwnKind::Cleaning, counter);
    InProgressName parsed;
    ParseInProgress(inProgress, parsed);
    const std::wstring& note = parsed.note;
    if (Exists(files, inProgress)) {
        LogLine(prefix::Info, L"Can't move (backup) file [" + source + L"] to [" + inProgress +
                                  L"], the name is taken.");
        return CleaningResult::Failed;
    }
    // A file under the partial output's name is nobody's to overwrite at the start.
    if (Exists(files, PartialOf(source))) {
        LogLine(prefix::Info, L"Can't create file [" + PartialOf(source) + L"], the name is taken.");
        return CleaningResult::Failed;
    }
    // Durable before the file leaves its name: the note is all that names it afterwards.
    if (!note.empty() && !files.WriteNewFile(note, FileNameOf(source))) {
        LogLine(prefix::Info, L"Can't create file [" + note + L"], " + FormatLastError());
        return CleaningResult::Failed;
    }
    if (!files.Move(source, inProgress)) {
        const std::wstring error = FormatLastError();
        LogLine(prefix::Info,
                L"Can't move (backup) file [" + source + L"] to [" + inProgress + L"], " + error);
        if (!note.empty()) {
            RemoveOwnFile(files, note);
        }
        return CleaningResult::Failed;
    }
    bool busy = false;
    std::unique_ptr<IHeldFile> held = Hold(source, inProgress, busy);
    if (busy) {
        return CleaningResult::Busy;
    }
    if (!held) {
        Restore(source, inProgress, std::wstring(), note, nullptr);
        return CleaningResult::Failed;
    }
    return Finish(source, inProgress, false, std::move(held), output);
}

CleaningResult Cleaning::Resume(const std::wstring& path, std::wstring& output) {
    const std::wstring source = InterruptedSourceOf(files, path);
    if (source.empty()) {
        LogLine(prefix::Info, L"Can't find the name of the file that [" + path + L"] holds.");
        LogLine(log_text::NotCleaned);
        return CleaningResult::Failed;
    }
    bool busy = false;
    std::unique_ptr<IHeldFile> held = Hold(source, path, busy);
    if (busy) {
        return CleaningResult::Busy;
    }
    LogLine(log_text::Resuming, source);
    if (!held) {
        LogLine(log_text::NotCleaned);
        return CleaningResult::Failed;
    }
    return Finish(source, path, true, std::move(held), output);
}

std::unique_ptr<IHeldFile> Cleaning::Hold(const std::wstring& source,
                                         const std::wstring& inProgress, bool& busy) {
    std::unique_ptr<IHeldFile> held = files.Hold(inProgress);
    busy = !held && GetLastError() == ERROR_SHARING_VIOLATION;
    if (busy) {
        LogLine(prefix::Info, L"File [" + source + L"] is being cleaned by another run.");
    } else if (!held) {
        LogLine(prefix::Info, L"Can't open file [" + inProgress + L"], " + FormatLastError());
    }
    return held;
}

CleaningResult Cleaning::Finish(const std::wstring& source, const std::wstring& inProgress,
                                bool resumed, std::unique_ptr<IHeldFile> held,
                                std::wstring& output) {
    // The names a cleaning gives carry the counter of the run that began it.
    InProgressName parsed;
    ParseInProgress(inProgress, parsed);
    const std::wstring& note = parsed.note;
    const std::wstring partial = PartialOf(source);
    LogRule();
    LogLine(log_text::Decrypting, source);
    output = OutputPathOf(source);
    if (output.empty()) {
        LogLine(prefix::Info, L"Can't get output filename.");
        Restore(source, inProgress, std::wstring(), note, std::move(held));
        return CleaningResult::Failed;
    }
    // A new cleaning settles before decrypting whether a file that has the output's name may
    // go; a resumed one first sees whether that file is its own finished output.
    bool replace = false;
    if (!resumed && Exists(files, output)) {
        if (!MayReplaceOutput(output)) {
            Restore(source, inProgress, std::wstring(), note, std::move(held));
            return CleaningResult::Failed;
        }
        replace = true;
    }
    if (!steps.Decrypt(source, inProgress, partial, output)) {
        Restore(source, inProgress, partial, note, std::move(held));
        return CleaningResult::Failed;
    }
    bool finished = false;
    if (resumed && Exists(files, output)) {
        bool same = false;
        if (!IsDirectory(files.Attributes(output)) && files.SameContent(output, partial, same) &&
            same) {
            finished = true;
            RemoveOwnFile(files, partial);
        } else if (!MayReplaceOutput(output)) {
            Restore(source, inProgress, partial, note, std::move(held));
            return CleaningResult::Failed;
        } else {
            replace = true;
        }
    }
    if (!finished && !PlaceOutput(partial, output, replace)) {
        Restore(source, inProgress, partial, note, std::move(held));
        return CleaningResult::Failed;
    }
    const DWORD attributes = files.Attributes(inProgress);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const std::wstring error = FormatLastError();
        LogLine(prefix::Info, L"Can't read attributes of file [" + inProgress + L"], " + error);
    } else {
        files.SetAttributes(output, attributes);
    }
    // The last step: its name says the cleaning is over. Where it fails, the next run checks
    // the output again and takes the name then.
    held.reset();
    const std::wstring backup = OwnNameOf(source, OwnKind::Backup, parsed.counter);
    if (!files.Move(inProgress, backup)) {
        const std::wstring error = FormatLastError();
        LogLine(prefix::Info,
                L"Can't move (backup) file [" + inProgress + L"] to [" + backup + L"], " + error);
    } else if (!note.empty()) {
        RemoveOwnFile(files, note);
    }
    LogLine(log_text::Cleaned);
    return CleaningResult::Cleaned;
}

bool Cleaning::MayReplaceOutput(const std::wstring& output) {
    if (IsDirectory(files.Attributes(output))) {
        LogLine(prefix::Info,
                L"Can't write the decrypted file to [" + output + L"], it is a directory.");
        return false;
    }
    // Its only copy may be that file: it is cleaned on its own turn, never replaced.
    const std::wstring name = FileNameOf(output);
    if (IsOwnFileName(name) || steps.IsFamilyFile(name, output)) {
        LogLine(prefix::Info, L"Can't replace [" + output + L"], it is an encrypted file too.");
        return false;
    }
    return steps.MayReplace(output);
}

bool Cleaning::PlaceOutput(const std::wstring& partial, const std::wstring& output,
                           bool replace) {
    std::wstring kept;
    if (replace && Exists(files, output)) {
        kept = OwnNameOf(output, OwnKind::Backup, counter);
        if (Exists(files, kept)) {
            LogLine(prefix::Info, L"Can't get backup filename of file " + output);
            return false;
        }
        // Named before it moves: a run cut off right after still says where the file went.
        LogLine(log_text::ReplacedFile.prefix, log_text::ReplacedFileKept(output, kept));
        // Moved, never rewritten: the file keeps its content and its attributes.
        if (!files.Move(output, kept)) {
            const std::wstring error = FormatLastError();
            LogLine(prefix::Info,
                    L"Can't move file [" + output + L"] to [" + kept + L"], " + error);
            return false;
        }
    }
    // No replacing: a file that took the name meanwhile, unasked, stays.
    if (files.Move(partial, output)) {
        return true;
    }
    const std::wstring error = FormatLastError();
    if (!kept.empty() && !files.Move(kept, output)) {
        const std::wstring backError = FormatLastError();
        LogLine(prefix::Info,
                L"Can't move file [" + kept + L"] back to [" + output + L"], " + backError);
    }
    LogLine(prefix::Info, L"Can't move decrypted file to [" + output + L"], " + error);
    return false;
}

void Cleaning::Restore(const std::wstring& source, const std::wstring& inProgress,
                       const std::wstring& partial, const std::wstring& note,
                       std::unique_ptr<IHeldFile> held) {
    if (!partial.empty()) {
        RemoveOwnFile(files, partial);
    }
    held.reset();
    // No replacing: a file that has appeared under the source name stays, and so does the
    // in-progress name, which the next run takes up.
    if (!files.Move(inProgress, source)) {
        const std::wstring error = FormatLastError();
        LogLine(prefix::Info,
                L"Can't revert backup of file [" + source + L"] from [" + inProgress + L"], " +
                    error);
    } else if (!note.empty()) {
        RemoveOwnFile(files, note);
    }
    LogLine(log_text::NotCleaned);
}
