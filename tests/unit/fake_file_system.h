#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>

#include "streams/file_system.h"

/// A directory in memory that behaves as a journaled volume does when the power goes: renames,
/// creations and deletions stay, data not yet made durable is lost. It counts its operations and
/// can be cut off after any of them: every operation after the cut fails and changes nothing,
/// as nothing runs after a power loss.
class FakeFileSystem : public IFileSystem {
public:
    struct File {
        std::string data;
        /// What a power loss leaves of the data.
        std::string durable;
        DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
    };
    struct NoCase {
        bool operator()(const std::wstring& a, const std::wstring& b) const;
    };
    using Files = std::map<std::wstring, File, NoCase>;

    DWORD Attributes(const std::wstring& path) override;
    bool SetAttributes(const std::wstring& path, DWORD attributes) override;
    std::unique_ptr<IHeldFile> Hold(const std::wstring& path) override;
    bool Move(const std::wstring& from, const std::wstring& to) override;
    bool Delete(const std::wstring& path) override;
    bool WriteNewFile(const std::wstring& path, const std::wstring& text) override;
    bool ReadSmallFile(const std::wstring& path, size_t limit, std::wstring& text) override;
    bool SameContent(const std::wstring& first, const std::wstring& second, bool& same) override;
    bool Size(const std::wstring& path, uint64_t& size) override;
    bool FreeBytes(const std::wstring& path, uint64_t& freeBytes) override;

    /// The decryption's writes: a new file's data, not yet durable, then made durable.
    bool CreateWithData(const std::wstring& path, const std::string& data);
    bool Flush(const std::wstring& path);

    /// Cuts the power after operation number step (from 1).
    void CutAfter(int step) { cutAfter = step; }
    /// Runs action once, right before operation number step (from 1) is carried out.
    void Before(int step, std::function<void()> action);
    /// The power comes back: data that was not durable is gone, and nobody holds a file.
    void PowerCycle();
    bool WasCut() const { return dead; }
    int Steps() const { return steps; }

    Files files;

private:
    friend class FakeHeldFile;
    /// Counts an operation; false, with a last error, once the power is cut.
    bool Step();
    void Done();
    File* Find(const std::wstring& path);
    /// One counted operation on an existing file.
    bool WithFile(const std::wstring& path, const std::function<void(File&)>& use);
    /// The file, when nobody holds it; end() with a last error otherwise.
    Files::iterator Unheld(const std::wstring& path);

    std::multiset<std::wstring, NoCase> held;
    int steps = 0;
    int cutAfter = -1;
    bool dead = false;
    int beforeStep = -1;
    std::function<void()> before;
};
