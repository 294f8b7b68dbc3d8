#include "streams/relative_files.h"

#include <winternl.h>

#include <vector>

namespace relative {
namespace {

// Not in the headers the build targets; the values are the system's own.
constexpr int FileRenameInformationClass = 10;
constexpr int FileBasicInformationClass = 4;
constexpr int FileDispositionInformationClass = 13;
constexpr int FileAttributeTagInformationClass = 35;
constexpr ULONG OpenReparsePoint = 0x00200000;
constexpr ULONG ObjectCaseInsensitive = 0x00000040;
constexpr ULONG DirectoryFile = 0x00000001;
constexpr ULONG NonDirectoryFile = 0x00000040;
constexpr ULONG OpenForBackupIntent = 0x00004000;
constexpr ULONG SynchronousIoNonAlert = 0x00000020;
constexpr ULONG DispositionOpen = 0x00000001;
constexpr ULONG DispositionCreate = 0x00000002;

struct AttributeTag {
    ULONG attributes;
    ULONG tag;
};

bool Succeeded(LONG status) {
    if (status >= 0) {
        return true;
    }
    SetLastError(sys::RtlNtStatusToDosError(status));
    return false;
}

bool IsSingleName(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." &&
           name.find_first_of(L"\\/") == std::wstring::npos;
}

UNICODE_STRING CountedString(const std::wstring& text) {
    UNICODE_STRING counted;
    counted.Buffer = const_cast<PWSTR>(text.c_str());
    counted.Length = static_cast<USHORT>(text.size() * sizeof(wchar_t));
    counted.MaximumLength = counted.Length;
    return counted;
}

} // namespace

UniqueFile Open(HANDLE folder, const std::wstring& name, const OpenRequest& request) {
    if (!IsSingleName(name) || name.size() * sizeof(wchar_t) > 0xFFFF) {
        SetLastError(ERROR_INVALID_NAME);
        return UniqueFile();
    }
    UNICODE_STRING counted = CountedString(name);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &counted, ObjectCaseInsensitive, folder,
                               request.security);
    IO_STATUS_BLOCK status = {};
    HANDLE opened = INVALID_HANDLE_VALUE;
    // A folder is opened as the system's directory search opens it, with backup intent: an
    // administrator's run may list folders whose access lists leave it out.
    const ULONG kind = request.eitherKind  ? 0
                       : request.directory ? DirectoryFile | OpenForBackupIntent
                                           : NonDirectoryFile;
    const ULONG options = OpenReparsePoint | SynchronousIoNonAlert | kind;
    const LONG result = sys::NtCreateFile(
        &opened, request.access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &status, nullptr,
        FILE_ATTRIBUTE_NORMAL, request.share,
        request.disposition == Disposition::CreateNew ? DispositionCreate : DispositionOpen,
        options, nullptr, 0);
    if (!Succeeded(result)) {
        // As CreateFileW says it of a new file whose name is taken.
        if (request.disposition == Disposition::CreateNew &&
            GetLastError() == ERROR_ALREADY_EXISTS) {
            SetLastError(ERROR_FILE_EXISTS);
        }
        return UniqueFile();
    }
    return UniqueFile(opened);
}

bool Rename(HANDLE file, HANDLE folder, const std::wstring& name) {
    if (!IsSingleName(name)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    // The structure ends in the name's first character; the name follows it whole.
    const size_t nameBytes = name.size() * sizeof(wchar_t);
    std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFORMATION) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = folder;
    rename->FileNameLength = static_cast<ULONG>(nameBytes);
    memcpy(rename->FileName, name.data(), nameBytes);
    IO_STATUS_BLOCK status = {};
    return Succeeded(sys::NtSetInformationFile(
        file, &status, rename, static_cast<ULONG>(buffer.size()), FileRenameInformationClass));
}

bool MarkDeleted(HANDLE file) {
    BOOLEAN deleteFile = TRUE;
    IO_STATUS_BLOCK status = {};
    return Succeeded(sys::NtSetInformationFile(file, &status, &deleteFile, sizeof deleteFile,
                                               FileDispositionInformationClass));
}

bool SetAttributes(HANDLE file, DWORD attributes) {
    // Times of 0 are left as they are.
    struct BasicInformation {
        LARGE_INTEGER created;
        LARGE_INTEGER accessed;
        LARGE_INTEGER written;
        LARGE_INTEGER changed;
        ULONG attributes;
    } basic = {};
    basic.attributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    IO_STATUS_BLOCK status = {};
    return Succeeded(sys::NtSetInformationFile(file, &status, &basic, sizeof basic,
                                               FileBasicInformationClass));
}

bool FactsOf(HANDLE file, Facts& facts) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file, &information)) {
        return false;
    }
    facts.attributes = information.dwFileAttributes;
    facts.links = information.nNumberOfLinks;
    facts.size = static_cast<uint64_t>(information.nFileSizeHigh) << 32 | information.nFileSizeLow;
    facts.volume = information.dwVolumeSerialNumber;
    facts.index =
        static_cast<uint64_t>(information.nFileIndexHigh) << 32 | information.nFileIndexLow;
    facts.reparseTag = 0;
    if ((facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return true;
    }
    AttributeTag tag = {};
    IO_STATUS_BLOCK status = {};
    if (!Succeeded(sys::NtQueryInformationFile(file, &status, &tag, sizeof tag,
                                               FileAttributeTagInformationClass))) {
        return false;
    }
    facts.reparseTag = tag.tag;
    return true;
}

bool IsNameSurrogate(ULONG reparseTag) {
    return (reparseTag & 0x20000000u) != 0;
}

bool IsPlain(const Facts& facts) {
    // A reparse point whose tag the system cannot give is taken for a link: Wine reports 0 for
    // the links it shows as folders.
    const bool reparse = (facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const bool surrogate = reparse && (facts.reparseTag == 0 || IsNameSurrogate(facts.reparseTag));
    const bool directory = (facts.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return !surrogate && (directory || facts.links == 1);
}

} // namespace relative
