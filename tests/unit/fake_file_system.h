#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "streams/file_system.h"

/// A directory in memory that behaves as a journaled volume does when the power goes: renames,
/// creations and deletions stay, data not yet flushed is lost. It counts its operations and can
/// be cut off after any of them: every operation after the cut fails and changes nothing, as
/// nothing runs after a power loss. One chosen operation can also fail on its own, with a
/// chosen error, as a full disk or a denied access makes it fail.
class FakeFileSystem : public IFileSystem {
public:
    struct File {
        std::string data;
        /// What a power loss leaves of the data.
        std::string durable;
        DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
        /// Beside the data, kept as the journal keeps metadata. A new file gets its folder's
        /// access list and the time it is made.
        std::string security = Inherited;
        uint64_t created = 0;
        uint64_t written = 0;
        std::map<std::wstring, std::string> streams;
    };
    /// The access list a new file gets from its folder, and the one CloseToOthers gives.
    static constexpr const char* Inherited = "D:(A;;FA;;;WD)";
    static constexpr const char* Closed = "D:P(A;;FA;;;BA)(A;;FA;;;SY)(A;;FA;;;run's user)";
    struct NoCase {
        bool operator()(const std::wstring& a, const std::wstring& b) const;
    };
    using Files = std::map<std::wstring, File, NoCase>;

    DWORD Attributes(const std::wstring& path) override;
    bool SetAttributes(const std::wstring& path, DWORD attributes) override;
    std::unique_ptr<IHeldFile> Hold(const std::wstring& path) override;
    bool Move(const std::wstring& from, const std::wstring& to) override;
    bool Delete(const std::wstring& path) override;
    std::unique_ptr<IWrittenFile> CreateNew(const std::wstring& path) override;
    std::unique_ptr<IReadFile> OpenToRead(const std::wstring& path) override;
    bool WriteNewFile(const std::wstring& path, const std::wstring& text) override;
    bool ReadSmallFile(const std::wstring& path, size_t limit, std::wstring& text) override;
    bool SameContent(const std::wstring& first, const std::wstring& second, bool& same) override;
    bool Size(const std::wstring& path, uint64_t& size) override;
    bool FreeBytes(const std::wstring& path, uint64_t& freeBytes) override;
    bool VolumeKeeps(const std::wstring& path, bool& accessLists, bool& streams) override;
    bool Times(const std::wstring& path, FileTimes& times) override;
    bool SetTimes(const std::wstring& path, const FileTimes& times) override;
    bool Security(const std::wstring& path, SecurityBytes& security) override;
    bool SetSecurity(const std::wstring& path, const SecurityBytes& security) override;
    bool CloseToOthers(const std::wstring& path) override;
    bool CopyStreams(const std::wstring& from, const std::wstring& to) override;

    /// Another program puts a whole file in place, durable at once (one operation).
    bool Put(const std::wstring& path, const std::string& data);

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
    /// Each operation so far, in order: its name and the path it was about.
    const std::vector<std::wstring>& Operations() const { return operations; }

    Files files;
    /// What the volume keeps beside a file's data.
    bool keepsAccessLists = true;
    bool keepsStreams = true;

private:
    friend class FakeHeldFile;
    friend class FakeWrittenFile;
    friend class FakeReadFile;
    /// Counts an operation; false, with a last error, once the power is cut or when it is the
    /// one chosen to fail.
    bool Step(const wchar_t* name, const std::wstring& path);
    void Done();
    File* Find(const std::wstring& path);
    /// One counted operation on an existing file.
    bool WithFile(const wchar_t* name, const std::wstring& path,
                  const std::function<void(File&)>& use);
    /// The file, when nobody holds it; end() with a last error otherwise.
    Files::iterator Unheld(const std::wstring& path);

    std::multiset<std::wstring, NoCase> held;
    int steps = 0;
    int cutAfter = -1;
    bool dead = false;
    std::map<int, DWORD> failures;
    int beforeStep = -1;
    std::function<void()> before;
    std::vector<std::wstring> operations;
};
