#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/unique_handle.h"
#include "streams/file_metadata.h"
#include "streams/folder.h"

/// The error of a call refused because its entry is not a plain file of one name: a link or
/// junction, or a file with another name elsewhere (a hard link would carry every change to the
/// other name's place). Such an entry is never written, renamed, deleted or given anything.
constexpr DWORD NotPlainError = ERROR_CANT_ACCESS_FILE;

/// A file open for reading from its start.
class IReadFile {
public:
    virtual ~IReadFile() = default;
    /// Reads up to length bytes; got is 0 at the end.
    [[nodiscard]] virtual bool Read(void* buffer, uint32_t length, uint32_t& got) = 0;
    /// Deletes the file read, whatever its attributes.
    [[nodiscard]] virtual bool Remove() = 0;
};

/// Where a decryption writes. Every failure leaves its code as the thread's last error.
class IWrittenFile {
public:
    virtual ~IWrittenFile() = default;
    /// The path in the caller's form, for messages.
    virtual const std::wstring& Path() const = 0;
    /// Appends all of the bytes, or fails.
    [[nodiscard]] virtual bool Write(const void* data, uint32_t length) = 0;
    /// Cuts the file, or extends it with zeros.
    [[nodiscard]] virtual bool SetSize(uint64_t size) = 0;
    /// Hands everything written to the disk itself: until then a power loss may lose it.
    [[nodiscard]] virtual bool Flush() = 0;
};

/// A new file of the run's, held from its creation until the object is gone, with no one else
/// sharing its writing or deletion: everything it gets, it gets through this one handle.
class IOutputFile : public IWrittenFile {
public:
    /// What the volume that holds it keeps: access lists, alternate data streams.
    [[nodiscard]] virtual bool VolumeKeeps(bool& accessLists, bool& streams) = 0;
    [[nodiscard]] virtual bool SetTimes(const FileTimes& times) = 0;
    [[nodiscard]] virtual bool SetAttributes(DWORD attributes) = 0;
    /// The access list with its protection from inheritance, and the owner where the run may.
    [[nodiscard]] virtual bool SetSecurity(const SecurityBytes& security) = 0;
    /// Gives it another name in its folder, never replacing an entry that has it.
    [[nodiscard]] virtual bool Rename(const std::wstring& name) = 0;
    /// Deletes it, whatever attributes it has been given.
    [[nodiscard]] virtual bool Remove() = 0;
};

/// A file held open to read it, with the right to move it, sharing nothing but reading: while
/// it is held no other holder, move or delete gets at it, and a reader still opens it. Its
/// name, data and metadata are reached through this one handle, never by its name again.
class IHeldFile {
public:
    virtual ~IHeldFile() = default;
    /// Its name in its folder now.
    virtual const std::wstring& Name() const = 0;
    /// Its path now, in the caller's form, for messages.
    virtual std::wstring Path() const = 0;
    /// Gives it another name in its folder, never replacing an entry that has it.
    [[nodiscard]] virtual bool Rename(const std::wstring& name) = 0;
    /// A second handle on the same file, at its start, for the streams that read its data.
    virtual UniqueFile OpenData() = 0;
    [[nodiscard]] virtual bool Attributes(DWORD& attributes) = 0;
    /// Its creation and last-write times.
    [[nodiscard]] virtual bool Times(FileTimes& times) = 0;
    /// Its owner and access list.
    [[nodiscard]] virtual bool Security(SecurityBytes& security) = 0;
};

/// What one file's cleaning asks of the file system, and all it asks: a real implementation
/// over the system's calls relative to a held folder, and a fake in memory that the unit tests
/// cut off after every operation. Every entry is a single name in a folder; every failure
/// leaves its code as the thread's last error.
class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    /// The attributes, or INVALID_FILE_ATTRIBUTES when there is no such entry.
    virtual DWORD Attributes(const IFolder& folder, const std::wstring& name) = 0;
    /// Holds a plain file (see IHeldFile). Null when it cannot be held: ERROR_SHARING_VIOLATION
    /// when another holds it, NotPlainError when it is not plain.
    /// Holding a file claims its cleaning for this run (see IsBeingCleaned): where another run
    /// claims it, that is ERROR_SHARING_VIOLATION too.
    virtual std::unique_ptr<IHeldFile> Hold(const IFolder& folder, const std::wstring& name) = 0;
    /// Whether another run holds the file to clean it, as told apart from any program that
    /// holds it.
    [[nodiscard]] virtual bool IsBeingCleaned(const IFolder& folder, const std::wstring& name) = 0;
    /// Renames a plain file within its folder, never replacing an entry that has the new name.
    [[nodiscard]] virtual bool Move(const IFolder& folder, const std::wstring& from,
                                    const std::wstring& to) = 0;
    /// Deletes a plain file, whatever its attributes.
    [[nodiscard]] virtual bool Delete(const IFolder& folder, const std::wstring& name) = 0;
    /// Creates a file that must not exist yet, open to the administrators, the system and the
    /// run's user only until it is given more. Null when it cannot.
    virtual std::unique_ptr<IOutputFile> CreateNew(const IFolder& folder,
                                                   const std::wstring& name) = 0;
    /// Opens a plain file to read it, and to delete it, sharing nothing but reading. Null when
    /// it cannot.
    virtual std::unique_ptr<IReadFile> OpenToRead(const IFolder& folder,
                                                  const std::wstring& name) = 0;
    /// Creates a small file that must not exist yet and makes it durable.
    [[nodiscard]] virtual bool WriteNewFile(const IFolder& folder, const std::wstring& name,
                                            const std::wstring& text) = 0;
    /// A small plain file's text, refused when longer than limit units.
    [[nodiscard]] virtual bool ReadSmallFile(const IFolder& folder, const std::wstring& name,
                                             size_t limit, std::wstring& text) = 0;
    /// Whether two files of the folder hold the same bytes.
    [[nodiscard]] virtual bool SameContent(const IFolder& folder, const std::wstring& first,
                                           const std::wstring& second, bool& same) = 0;
    [[nodiscard]] virtual bool Size(const IFolder& folder, const std::wstring& name,
                                    uint64_t& size) = 0;
    /// Copies every alternate data stream of a held file to an output that has none, durably.
    [[nodiscard]] virtual bool CopyStreams(IHeldFile& from, IOutputFile& to) = 0;
};

/// The system's file system; its folders are HeldFolder objects.
IFileSystem& RealFileSystem();

/// Opens an entry of a held folder to read it, sharing everything: a file that a run or a
/// program holds is still read.
UniqueFile OpenEntryToRead(const IFolder& folder, const std::wstring& name);
