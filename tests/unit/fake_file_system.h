#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "streams/file_system.h"

/// Folders in memory that behave as a journaled volume does when the power goes: renames,
/// creations and deletions stay, data not yet flushed is lost. It counts its operations and can
/// be cut off after any of them: every operation after the cut fails and changes nothing, as
/// nothing runs after a power loss. One chosen operation can also fail on its own, with a
/// chosen error, as a full disk or a denied access makes it fail, and a test can act right
/// before any operation: move a folder away and put another in its place, or plant a file with
/// another name elsewhere. Files are kept by their full path; a folder opened by the cleaning
/// follows its folder wherever it is moved, as a held handle does.
class FakeFileSystem : public IFileSystem {
public:
    struct File {
        std::string data;
        /// What a power loss leaves of the data.
        std::string durable;
        DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
        /// Beside the data, kept as the journal keeps metadata. A new file of another program's
        /// gets its folder's access list and the time it is made.
        std::string security = Inherited;
        uint64_t created = 0;
        uint64_t written = 0;
        std::map<std::wstring, std::string> streams;
        /// The file has another name outside the walked folders (a hard link), or is a link:
        /// a change to it would reach outside.
        bool linked = false;
    };
    /// The access list a new file of another program's gets from its folder, and the one every
    /// new file of the run's is created with where the volume keeps access lists.
    static constexpr const char* Inherited = "D:(A;;FA;;;WD)";
    static constexpr const char* Closed = "D:P(A;;FA;;;BA)(A;;FA;;;SY)(A;;FA;;;run's user)";
    struct NoCase {
        bool operator()(const std::wstring& a, const std::wstring& b) const;
    };
    using Files = std::map<std::wstring, File, NoCase>;

    /// Opens the folder at path, which keeps standing for that folder wherever it is moved.
    std::shared_ptr<IFolder> OpenFolder(const std::wstring& path);

    DWORD Attributes(const IFolder& folder, const std::wstring& name) override;
    std::unique_ptr<IHeldFile> Hold(const IFolder& folder, const std::wstring& name) override;
    bool IsBeingCleaned(const IFolder& folder, const std::wstring& name) override;
    bool Move(const IFolder& folder, const std::wstring& from, const std::wstring& to) override;
    bool Delete(const IFolder& folder, const std::wstring& name) override;
    std::unique_ptr<IOutputFile> CreateNew(const IFolder& folder,
                                           const std::wstring& name) override;
    std::unique_ptr<IReadFile> OpenToRead(const IFolder& folder, const std::wstring& name) override;
    bool WriteNewFile(const IFolder& folder, const std::wstring& name,
                      const std::wstring& text) override;
    bool ReadSmallFile(const IFolder& folder, const std::wstring& name, size_t limit,
                       std::wstring& text) override;
    bool SameContent(const IFolder& folder, const std::wstring& first, const std::wstring& second,
                     bool& same) override;
    bool Size(const IFolder& folder, const std::wstring& name, uint64_t& size) override;
    bool CopyStreams(IHeldFile& from, IOutputFile& to) override;

    /// Another program puts a whole file in place, durable at once (one operation).
    bool Put(const std::wstring& path, const std::string& data);
    /// A user moves a folder with everything in it; folders opened before follow it.
    void MoveFolder(const std::wstring& from, const std::wstring& to);
    /// Where an entry of a folder opened before is now, by its full path.
    std::wstring PathIn(const IFolder& folder, const std::wstring& name) const;
    /// Whether the run holds the file at a full path: no one can take its name from it.
    bool IsHeld(const std::wstring& path) const { return held.count(path) != 0; }
    /// Where a held file is now, by its full path.
    std::wstring HeldPath(const IHeldFile& file) const;

    /// Cuts the power after operation number step (from 1).
    void CutAfter(int step) { cutAfter = step; }
    /// Operation number step (from 1) fails with error and changes nothing.
    void FailAt(int step, DWORD error) { failures[step] = error; }
    /// Runs action once, right before operation number step (from 1) is carried out.
    void Before(int step, std::function<void()> action);
    /// The power comes back: data that was not durable is gone, and nobody holds a file.
    void PowerCycle();
    bool WasCut() const { return dead; }
    int Steps() const { return steps; }
    /// Each operation so far, in order: its name and the path it was about, as the caller
    /// names it.
    const std::vector<std::wstring>& Operations() const { return operations; }

    Files files;
    /// Files another run holds to clean them, by their full paths.
    std::set<std::wstring, NoCase> cleanedByAnotherRun;
    /// What the volume keeps beside a file's data.
    bool keepsAccessLists = true;
    bool keepsStreams = true;

private:
    friend class FakeFolder;
    friend class FakeHeldFile;
    friend class FakeOutputFile;
    friend class FakeReadFile;
    struct Location {
        std::wstring current;
    };
    /// Counts an operation; false, with a last error, once the power is cut or when it is the
    /// one chosen to fail.
    bool Step(const wchar_t* name, const std::wstring& path);
    void Done();
    File* Find(const std::wstring& path);
    /// One counted operation on an existing file, by its full path now.
    bool WithFile(const wchar_t* name, const std::wstring& shown, const std::wstring& path,
                  const std::function<void(File&)>& use);
    /// The plain file, when nobody holds it; end() with a last error otherwise.
    Files::iterator Unheld(const std::wstring& path);
    /// Renames a file by its full path, never replacing.
    bool Rename(const std::wstring& from, const std::wstring& to);

    std::multiset<std::wstring, NoCase> held;
    std::vector<std::weak_ptr<Location>> locations;
    int steps = 0;
    int cutAfter = -1;
    bool dead = false;
    std::map<int, DWORD> failures;
    int beforeStep = -1;
    std::function<void()> before;
    std::vector<std::wstring> operations;
};
