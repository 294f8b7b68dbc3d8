#include "walker/dir_walker.h"

#include "logging/lines.h"
#include "logging/logger.h"
#include "streams/path_helpers.h"

namespace {

bool IsDotEntry(const wchar_t* name) {
    return lstrcmpW(name, L".") == 0 || lstrcmpW(name, L"..") == 0;
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

/// Where a path's directory part ends: the system takes "/" for a separator as well.
size_t LastSeparator(const std::wstring& path) {
    return path.find_last_of(L"\\/");
}

/// The system form of a root, without a trailing backslash. A bare drive such as "C:" stands for
/// the drive's root here, where the system would take it for the drive's current directory.
std::wstring SystemRootOf(const std::wstring& path) {
    if (path.empty()) {
        return path;
    }
    const bool bareDrive = path.size() == 2 && path[1] == L':';
    std::wstring system = ToSystemPath(bareDrive ? path + L"\\" : path);
    if (system.back() == L'\\') {
        system.pop_back();
    }
    return system;
}

/// A subdirectory left out of the walk is said on the console and in the log: its files are
/// neither listed nor cleaned.
void WarnSkipped(const std::wstring& text) {
    PrintAndLogLine(text, color::Warning, prefix::Warning);
}

/// A directory's own system path for calls on the directory itself: "\\?\C:" without its
/// backslash would name the volume, not its root directory.
std::wstring AsDirectory(const std::wstring& systemDirectory) {
    return !systemDirectory.empty() && systemDirectory.back() == L':' ? systemDirectory + L"\\"
                                                                      : systemDirectory;
}

} // namespace

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
    const bool hasPattern = path.find(L'*') != std::wstring::npos;
    // The system is always given the "\\?\" form, so no depth is out of reach; entries keep
    // the caller's form.
    const std::wstring systemPath = SystemRootOf(path);
    WalkFrame root;
    root.directory = path;
    const DWORD attributes = GetFileAttributesW(AsDirectory(systemPath).c_str());
    const bool rootIsDirectory = attributes != INVALID_FILE_ATTRIBUTES &&
                                 (attributes & FILE_ATTRIBUTE_DIRECTORY) && !hasPattern;
    const std::wstring pattern = rootIsDirectory ? systemPath + L"\\*" : systemPath;
    root.findHandle.reset(FindFirstFileW(pattern.c_str(), &root.findData));
    if (rootIsDirectory) {
        root.systemDirectory = systemPath;
        root.hasDirectory = true;
    } else {
        root.systemDirectory = systemPath.substr(0, LastSeparator(systemPath));
        const size_t lastSeparator = LastSeparator(path);
        if (lastSeparator != std::wstring::npos) {
            root.directory = path.substr(0, lastSeparator);
            root.hasDirectory = true;
        }
    }
    if (root.findHandle) {
        root.identity = IdentityOf(AsDirectory(root.systemDirectory));
    }
    frames.push_back(std::move(root));
}

DirWalkerIterator::~DirWalkerIterator() {
    // A destructor must not throw: when the log refuses the cleanup lines during the
    // unwinding of an earlier failure, the searches are still closed below.
    try {
        for (const WalkFrame& frame : frames) {
            const LogHex handle(reinterpret_cast<uintptr_t>(frame.findHandle.get()),
                                2 * sizeof(void*));
            LogLine(prefix::Info, L"DirWalkerIterator::cleanup('" + frame.directory + L"', '" +
                                      frame.findData.cFileName + L"', " + handle.GetText() + L")");
        }
    } catch (const LoggerException&) {
    }
}

WalkEntry DirWalkerIterator::operator*() const {
    const WalkFrame& current = frames.back();
    WalkEntry entry;
    if (current.findHandle) {
        entry.path = current.hasDirectory ? current.directory + L"\\" + current.findData.cFileName
                                          : std::wstring(current.findData.cFileName);
        entry.isDirectory = (current.findData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.isValid = true;
        return entry;
    }
    entry.path = current.directory;
    const DWORD attributes =
        GetFileAttributesW(AsDirectory(SystemRootOf(current.directory)).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return entry;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        LogLine(prefix::Error, L"consistency error: " + LogHex(attributes, 8).GetText());
        return entry;
    }
    entry.isValid = true;
    return entry;
}

DirWalkerIterator& DirWalkerIterator::operator++() {
    if (frames.empty()) {
        return *this;
    }
    WalkFrame& current = frames.back();
    if (!current.findHandle) {
        frames.pop_back();
        return *this;
    }
    if (!recursive) {
        if (!FindNextFileW(current.findHandle.get(), &current.findData)) {
            frames.pop_back();
        }
        return *this;
    }
    if ((current.findData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !IsDotEntry(current.findData.cFileName)) {
        WalkFrame child;
        child.directory = (current.hasDirectory ? current.directory + L"\\" : std::wstring()) +
                          current.findData.cFileName;
        child.systemDirectory = current.systemDirectory + L"\\" + current.findData.cFileName;
        child.identity = IdentityOf(child.systemDirectory);
        // Links and junctions are followed, but never back into a directory the walk is
        // already inside: its content is being walked, and the circle would have no end.
        if (const WalkFrame* inside = FrameOnCurrentDescent(child.identity)) {
            WarnSkipped(L"Not descending into [" + child.directory + L"], it leads back into [" +
                        (inside->hasDirectory ? inside->directory : std::wstring(L".")) + L"]");
        } else {
            const std::wstring pattern = child.systemDirectory + L"\\*";
            child.findHandle.reset(FindFirstFileW(pattern.c_str(), &child.findData));
            if (child.findHandle) {
                child.hasDirectory = true;
                frames.push_back(std::move(child));
                return *this;
            }
            const std::wstring reason = FormatLastError();
            WarnSkipped(L"Can't search directory [" + child.directory + L"], " + reason);
        }
    }
    MoveOn();
    return *this;
}

void DirWalkerIterator::MoveOn() {
    while (!frames.empty()) {
        WalkFrame& current = frames.back();
        if (FindNextFileW(current.findHandle.get(), &current.findData)) {
            return;
        }
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
    if (recursive != other.recursive || frames.size() != other.frames.size()) {
        return false;
    }
    for (size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].directory != other.frames[i].directory ||
            lstrcmpW(frames[i].findData.cFileName, other.frames[i].findData.cFileName) != 0) {
            return false;
        }
    }
    return true;
}
