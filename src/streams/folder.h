#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "platform/unique_handle.h"
#include "streams/relative_files.h"

/// A folder the run works in, as the file-system interface knows it: every file in it is
/// reached by a single name relative to it, never by a path looked up again.
class IFolder {
public:
    virtual ~IFolder() = default;
    /// The folder's path in the caller's form, for messages only; empty for the current folder
    /// of a name given alone.
    virtual const std::wstring& Path() const = 0;
    /// The caller's form of an entry's path, for messages.
    std::wstring PathOf(const std::wstring& name) const {
        return Path().empty() ? name : Path() + L"\\" + name;
    }
};

/// An entry the walk met: the folder it is in, held while the entry is worked on, and its single
/// name there.
struct FolderEntry {
    std::shared_ptr<const IFolder> folder;
    std::wstring name;
    /// The caller's form, for messages.
    std::wstring Path() const { return folder->PathOf(name); }
};

/// A folder held open, with no one sharing its deletion, while the run works in it: opened once
/// and never again by name, so it stays the same folder whatever users do to the names above it
/// or to links that lead to it.
class HeldFolder : public IFolder {
public:
    HeldFolder(UniqueFile handle, std::wstring path, const relative::Facts& facts)
        : handle(std::move(handle)), path(std::move(path)), facts(facts) {}
    const std::wstring& Path() const override { return path; }
    HANDLE Handle() const { return handle.get(); }
    /// What the handle said of the folder when it was opened: its volume and index tell it.
    const relative::Facts& Facts() const { return facts; }

    /// Opens a folder given by path: the one lookup by path of a walk, made when it starts.
    /// Null, with the last error, when the path leads to no folder.
    static std::shared_ptr<HeldFolder> OpenPath(const std::wstring& path);
    /// Opens the folder that the last name of path is in, shown as the path's folder part as
    /// given (empty for a name alone), and gives that name. Null, with the last error, when
    /// there is no such folder.
    static std::shared_ptr<HeldFolder> OpenParentOf(const std::wstring& path, std::wstring& name);
    /// Opens the subfolder name of parent relative to it, not through a link: null, with the
    /// last error, when it cannot be opened or is not a plain folder (ERROR_REPARSE_TAG_INVALID
    /// for a name surrogate).
    static std::shared_ptr<HeldFolder> OpenChild(const HeldFolder& parent,
                                                 const std::wstring& name);

private:
    /// Opens a folder at a system path ("\\?\" form), shown as shown.
    static std::shared_ptr<HeldFolder> OpenSystemPath(const std::wstring& systemPath,
                                                      std::wstring shown);

    UniqueFile handle;
    std::wstring path;
    relative::Facts facts;
};
