#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "streams/file_metadata.h"

/// A file held open for as long as this object lives.
class IHeldFile {
public:
    virtual ~IHeldFile() = default;
};

/// A new file being written, which no one else may write, move or delete meanwhile. Every
/// failure leaves its code as the thread's last error.
class IWrittenFile {
public:
    virtual ~IWrittenFile() = default;
    /// The path as its creator gave it.
    virtual const std::wstring& Path() const = 0;
    /// Appends all of the bytes, or fails.
    virtual bool Write(const void* data, uint32_t length) = 0;
    /// Cuts the file, or extends it with zeros.
    virtual bool SetSize(uint64_t size) = 0;
    /// Hands everything written to the disk itself: until then a power loss may lose it.
    virtual bool Flush() = 0;
};

/// A file open for reading from its start.
class IReadFile {
public:
    virtual ~IReadFile() = default;
    /// Reads up to length bytes; got is 0 at the end.
    virtual bool Read(void* buffer, uint32_t length, uint32_t& got) = 0;
};

/// What one file's cleaning asks of the file system, and all it asks: a real implementation
/// over Win32, and a fake in memory that the unit tests cut off after every operation. Every
/// failure leaves its code as the thread's last error. Paths are in the caller's form.
class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    /// The attributes, or INVALID_FILE_ATTRIBUTES when there is no such entry.
    virtual DWORD Attributes(const std::wstring& path) = 0;
    virtual bool SetAttributes(const std::wstring& path, DWORD attributes) = 0;
    /// Opens the file to read it, with the right to move or delete it, sharing nothing but
    /// reading: while it is held, no other holder, move or delete gets at it, and a reader still
    /// opens it. Null when it cannot be held; ERROR_SHARING_VIOLATION when another holds it.
    virtual std::unique_ptr<IHeldFile> Hold(const std::wstring& path) = 0;
    /// Renames within a directory, never replacing an entry that has the new name.
    virtual bool Move(const std::wstring& from, const std::wstring& to) = 0;
    virtual bool Delete(const std::wstring& path) = 0;
    /// Creates a file that must not exist yet, to write, sharing nothing but reading until the
    /// object is gone. Null when it cannot.
    virtual std::unique_ptr<IWrittenFile> CreateNew(const std::wstring& path) = 0;
    /// Opens a file to read it, sharing nothing but reading. Null when it cannot.
    virtual std::unique_ptr<IReadFile> OpenToRead(const std::wstring& path) = 0;
    /// Creates a small file that must not exist yet and makes it durable.
    virtual bool WriteNewFile(const std::wstring& path, const std::wstring& text) = 0;
    /// A small file's text, refused when longer than limit units.
    virtual bool ReadSmallFile(const std::wstring& path, size_t limit, std::wstring& text) = 0;
    /// Whether two files hold the same bytes.
    virtual bool SameContent(const std::wstring& first, const std::wstring& second, bool& same) = 0;
    virtual bool Size(const std::wstring& path, uint64_t& size) = 0;

    // What a file carries beside its data.
    /// What the volume that holds the path keeps: access lists, alternate data streams.
    virtual bool VolumeKeeps(const std::wstring& path, bool& accessLists, bool& streams) = 0;
    /// Its creation and last-write times.
    virtual bool Times(const std::wstring& path, FileTimes& times) = 0;
    virtual bool SetTimes(const std::wstring& path, const FileTimes& times) = 0;
    /// Its owner and access list.
    virtual bool Security(const std::wstring& path, SecurityBytes& security) = 0;
    /// The access list with its protection from inheritance, and the owner where the run may.
    virtual bool SetSecurity(const std::wstring& path, const SecurityBytes& security) = 0;
    /// An access list open to the administrators, the system and the run's user only.
    virtual bool CloseToOthers(const std::wstring& path) = 0;
    /// Copies every alternate data stream of one file to another that has none, durably.
    virtual bool CopyStreams(const std::wstring& from, const std::wstring& to) = 0;
    /// The bytes the running user may still write on the volume that holds the path.
    virtual bool FreeBytes(const std::wstring& path, uint64_t& freeBytes) = 0;
};

/// The system's file system.
IFileSystem& RealFileSystem();
