#include "backup/cleaning_record.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "logging/lines.h"
#include "platform/unique_handle.h"
#include "streams/path_helpers.h"

namespace {

// Plain UTF-16 text, so that whoever finds a record left behind can read what it is about.
constexpr wchar_t Heading[] = L"Bristoke decryptor: cleaning in progress";
constexpr wchar_t SourceKey[] = L"source: ";
constexpr wchar_t BackupKey[] = L"backup: ";
constexpr DWORD LargestRecord = 4096;

std::wstring TextOf(const CleaningRecord& record) {
    return std::wstring(1, L'\xFEFF') + Heading + L"\r\n" + SourceKey + record.source + L"\r\n" +
           BackupKey + record.backup + L"\r\n";
}

/// One name in the record's directory: never a path, so a record cannot point elsewhere.
bool IsPlainName(const std::wstring& name) {
    if (name.empty() || name.size() > MaxFileNameLength || name == L"." || name == L"..") {
        return false;
    }
    for (const wchar_t c : name) {
        if (c < 0x20 || std::wcschr(L"\\/:*?\"<>|", c) != nullptr) {
            return false;
        }
    }
    return true;
}

/// The value of a "key: value" line, when the line has that key.
bool ValueOf(const std::wstring& line, const wchar_t* key, std::wstring& value) {
    const size_t length = std::wcslen(key);
    if (line.compare(0, length, key) != 0) {
        return false;
    }
    value = line.substr(length);
    return IsPlainName(value);
}

bool Parse(const std::wstring& text, CleaningRecord& record) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    return start == text.size() && lines.size() == 3 &&
           lines[0] == std::wstring(1, L'\xFEFF') + Heading &&
           ValueOf(lines[1], SourceKey, record.source) &&
           ValueOf(lines[2], BackupKey, record.backup) && IsBackupName(record.backup);
}

/// The bytes of a file of a record's name, up to what any record takes; false when it cannot be
/// read or holds more.
bool ReadRecordFile(const std::wstring& path, uint8_t (&buffer)[LargestRecord], DWORD& got) {
    if (!IsRecordName(FileNameOf(path))) {
        return false;
    }
    UniqueFile file(sys::CreateFileW(ToSystemPath(path).c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
    return file && ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) &&
           got < sizeof buffer;
}

} // namespace

bool WriteCleaningRecord(const CleaningRecord& record, bool& taken) {
    const std::wstring path = record.RecordPath();
    taken = false;
    UniqueFile file(sys::CreateFileW(ToSystemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                     nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        taken = GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS;
        if (!taken) {
            LogLine(prefix::Info, L"Can't create file [" + path + L"], " + FormatLastError());
        }
        return false;
    }
    const std::wstring text = TextOf(record);
    const DWORD length = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD written = 0;
    // Durable before the file it names is moved: after a power loss it must still be there.
    if (!WriteFile(file.get(), text.data(), length, &written, nullptr) || written != length ||
        !FlushFileBuffers(file.get())) {
        const std::wstring error = FormatLastError();
        file.reset();
        DeleteFileW(ToSystemPath(path).c_str());
        LogLine(prefix::Info, L"Can't write data to file [" + path + L"], " + error);
        return false;
    }
    return true;
}

bool ReadCleaningRecord(const std::wstring& path, CleaningRecord& record) {
    uint8_t buffer[LargestRecord];
    DWORD got = 0;
    if (!ReadRecordFile(path, buffer, got) || got % sizeof(wchar_t) != 0) {
        return false;
    }
    std::wstring text(got / sizeof(wchar_t), L'\0');
    std::memcpy(&text[0], buffer, got);
    CleaningRecord read;
    read.directory = DirectoryPartOf(path);
    // A record copied or renamed beside another file does not speak for it.
    if (!Parse(text, read) || RecordNameOf(read.source) != FileNameOf(path)) {
        return false;
    }
    record = read;
    return true;
}

bool IsUnwrittenRecord(const std::wstring& path) {
    uint8_t buffer[LargestRecord];
    DWORD got = 0;
    return ReadRecordFile(path, buffer, got) &&
           std::all_of(buffer, buffer + got, [](uint8_t b) { return b == 0; });
}

bool ReservePartialOutput(const CleaningRecord& record, bool exclusive) {
    const std::wstring path = record.PartialPath();
    UniqueFile file(sys::CreateFileW(ToSystemPath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                     exclusive ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                     nullptr));
    if (file) {
        return true;
    }
    if (GetLastError() == ERROR_FILE_EXISTS) {
        LogLine(prefix::Info, L"Can't create file [" + path + L"], the name is taken.");
    } else {
        LogLine(prefix::Info, L"Can't create file [" + path + L"], " + FormatLastError());
    }
    return false;
}

bool RemoveOwnFile(const std::wstring& path) {
    if (DeleteFileW(ToSystemPath(path).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    LogLine(prefix::Info, L"Can't delete file [" + path + L"], " + FormatLastError());
    return false;
}
