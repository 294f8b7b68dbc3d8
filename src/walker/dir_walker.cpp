#include "walker/dir_walker.h"

#include "logging/lines.h"
#include "logging/logger.h"
#include "streams/path_helpers.h"

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

/// Where a path's directory part ends: the system takes "/" for a separator as well.
size_t LastSeparator(const std::wstring& path) {
    return path.find_last_of(L"\\/");
}

/// Whether a folder argument names a drive's root ("C:", "C:\", "\\?\C:\").
bool IsDriveRoot(const std::wstring& path) {
    const bool bareDrive = path.size() == 2 && path[1] == L':';
    const std::wstring system = ToSystemPath(bareDrive ? path + L"\\" : path);
    if (system.size() < 6 || system[5] != L':') {
        return false;
    }
    return system.find_first_not_of(L'\\', 6) == std::wstring::npos;
}

/// A subdirectory left out of the walk is said on the console and in the log: its files are
/// neither listed nor cleaned.
void WarnSkipped(const std::wstring& text) {
    PrintAndLogLine(text, color::Warning, prefix::Warning);
}

void WarnLink(const std::wstring& path) {
    WarnSkipped(L"Not descending into [" + path +
                L"], it is a link to another place: give that place as a path to clean it");
}

FileIdentity IdentityOfFolder(const HeldFolder& folder) {
    return IdentityFrom(folder.Facts().volume, folder.Facts().index);
}

} // namespace

WalkFrame::WalkFrame(std::shared_ptr<HeldFolder> held, const std::wstring& literal)
    : folder(std::move(held)), identity(IdentityOfFolder(*folder)),
      listing(folder->Handle(), literal) {}

bool DirWalker::Prepare(const std::wstring& argument) {
    if (argument.empty()) {
        return false;
    }
    path = argument;
    if (path.size() >= 2 && path.back() == L'*' && IsSeparator(path[path.size() - 2])) {
        path.resize(path.size() - 2);
    }
    if (path.empty()) {
        return false;
    }
    while (!path.empty() && IsSeparator(path.back())) {
        path.pop_back();
    }
    recursive = true;
    return true;
}

DirWalkerIterator::DirWalkerIterator(const std::wstring& path, bool recursive)
    : recursive(recursive) {
    if (path.empty()) {
        broken = WalkEntry();
        return;
    }
    // The argument is looked up once, here; everything below it is reached through handles.
    if (!HasWildcards(path)) {
        if (std::shared_ptr<HeldFolder> folder = HeldFolder::OpenPath(path)) {
            const DWORD attributes = folder->Facts().attributes;
            frames.emplace_back(std::move(folder), std::wstring());
            frames.back().withoutDots = IsDriveRoot(path);
            if (!NextInFrame(frames.back())) {
                BreakOff(path, attributes);
            }
            return;
        }
    }
    StartInParent(path);
}

void DirWalkerIterator::StartInParent(const std::wstring& path) {
    const size_t separator = LastSeparator(path);
    const std::wstring shown = separator == std::wstring::npos ? path : path.substr(0, separator);
    std::wstring name;
    std::shared_ptr<HeldFolder> folder = HeldFolder::OpenParentOf(path, name);
    if (!folder) {
        broken = WalkEntry();
        broken->path = shown;
        return;
    }
    const DWORD attributes = folder->Facts().attributes;
    NamePattern pattern(name);
    frames.emplace_back(std::move(folder), pattern.HasWildcards() ? std::wstring() : name);
    frames.back().pattern = std::move(pattern);
    if (NextInFrame(frames.back())) {
        return;
    }
    // Nothing by that name in a folder that exists: the folder is what the warning names. A
    // name alone names itself.
    if (separator == std::wstring::npos) {
        frames.clear();
        broken = WalkEntry();
        broken->path = shown;
        return;
    }
    BreakOff(shown, attributes);
}

void DirWalkerIterator::BreakOff(const std::wstring& path, DWORD attributes) {
    frames.clear();
    broken = WalkEntry();
    broken->path = path;
    LogLine(prefix::Error, L"consistency error: " + LogHex(attributes, 8).GetText());
}

DirWalkerIterator::~DirWalkerIterator() {
    // A destructor must not throw: when the log refuses the cleanup lines during the
    // unwinding of an earlier failure, the folders are still closed below.
    try {
        for (const WalkFrame& frame : frames) {
            const LogHex handle(reinterpret_cast<uintptr_t>(frame.folder->Handle()),
                                2 * sizeof(void*));
            LogLine(prefix::Info, L"DirWalkerIterator::cleanup('" + frame.folder->Path() + L"', '" +
                                      frame.current.name + L"', " + handle.GetText() + L")");
        }
    } catch (const LoggerException&) {
    }
}

WalkEntry DirWalkerIterator::operator*() const {
    if (broken || frames.empty()) {
        return broken ? *broken : WalkEntry();
    }
    const WalkFrame& frame = frames.back();
    WalkEntry entry;
    entry.path = frame.folder->PathOf(frame.current.name);
    entry.isDirectory = frame.current.IsDirectory();
    entry.isValid = true;
    entry.file = FolderEntry{frame.folder, frame.current.name};
    entry.identity = IdentityFrom(frame.identity.volume, frame.current.fileId);
    entry.size = frame.current.size;
    return entry;
}

DirWalkerIterator& DirWalkerIterator::operator++() {
    if (broken) {
        broken.reset();
        return *this;
    }
    if (frames.empty()) {
        return *this;
    }
    const ListedEntry& current = frames.back().current;
    if (recursive && current.IsDirectory() && !current.IsDotEntry() && Descend()) {
        return *this;
    }
    MoveOn();
    return *this;
}

bool DirWalkerIterator::Descend() {
    const WalkFrame& parent = frames.back();
    const ListedEntry& current = parent.current;
    const std::wstring path = parent.folder->PathOf(current.name);
    // Links and junctions lead elsewhere, wherever a user points them meanwhile: the place
    // they lead to is cleaned when it is given as a path.
    if (current.IsLink()) {
        WarnLink(path);
        return false;
    }
    const FileIdentity listed = IdentityFrom(parent.identity.volume, current.fileId);
    // A folder mounted inside itself would lead round in a circle without end.
    if (const WalkFrame* inside = FrameOnCurrentDescent(listed)) {
        const std::wstring& into = inside->folder->Path();
        WarnSkipped(L"Not descending into [" + path + L"], it leads back into [" +
                    (into.empty() ? std::wstring(L".") : into) + L"]");
        return false;
    }
    std::shared_ptr<HeldFolder> child = HeldFolder::OpenChild(*parent.folder, current.name);
    if (!child) {
        const DWORD error = GetLastError();
        if (error == ERROR_REPARSE_TAG_INVALID) {
            // Listed as a folder, but a link by the time it was opened.
            WarnLink(path);
            return false;
        }
        // A folder that vanished is named as the system's directory search named it.
        WarnSkipped(L"Can't search directory [" + path + L"], " +
                    FormatError(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error));
        return false;
    }
    if (listed.Known() && !listed.SameAs(IdentityOfFolder(*child))) {
        WarnSkipped(L"Not descending into [" + path +
                    L"], another folder took its name while the walk was listing its parent");
        return false;
    }
    frames.emplace_back(std::move(child), std::wstring());
    if (NextInFrame(frames.back())) {
        return true;
    }
    WarnIfBroken(frames.back());
    frames.pop_back();
    return false;
}

bool DirWalkerIterator::NextInFrame(WalkFrame& frame) const {
    while (frame.listing.Next(frame.current)) {
        if (frame.withoutDots && frame.current.IsDotEntry()) {
            continue;
        }
        if (frame.pattern && !frame.pattern->Matches(frame.current.name, frame.current.shortName)) {
            continue;
        }
        return true;
    }
    return false;
}

void DirWalkerIterator::WarnIfBroken(const WalkFrame& frame) {
    if (frame.listing.Error() != 0) {
        WarnSkipped(L"Can't search directory [" + frame.folder->Path() + L"], " +
                    FormatError(frame.listing.Error()));
    }
}

void DirWalkerIterator::MoveOn() {
    while (!frames.empty()) {
        if (NextInFrame(frames.back())) {
            return;
        }
        WarnIfBroken(frames.back());
        frames.pop_back();
    }
}

const WalkFrame* DirWalkerIterator::FrameOnCurrentDescent(const FileIdentity& identity) const {
    for (const WalkFrame& frame : frames) {
        if (frame.identity.SameAs(identity)) {
            return &frame;
        }
    }
    return nullptr;
}

bool DirWalkerIterator::operator==(const DirWalkerIterator& other) const {
    if (recursive != other.recursive || frames.size() != other.frames.size() ||
        broken.has_value() != other.broken.has_value()) {
        return false;
    }
    for (size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].folder != other.frames[i].folder ||
            frames[i].current.name != other.frames[i].current.name) {
            return false;
        }
    }
    return true;
}
