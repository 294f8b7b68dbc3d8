#include "fixtures.h"

#include <algorithm>
#include <cstring>

#include "doctest.h"
#include "io/text_escape.h"
#include "platform/unique_handle.h"

namespace fixtures {

namespace {

/// Removes a folder and everything in it.
void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    UniqueFind search(FindFirstFileW((folder + L"\\*").c_str(), &data));
    for (bool more = static_cast<bool>(search); more; more = FindNextFileW(search.get(), &data)) {
        const std::wstring name = data.cFileName;
        const std::wstring path = folder + L"\\" + name;
        if (name == L"." || name == L"..") {
            continue;
        }
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            RemoveTree(path);
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    }
    search.reset();
    RemoveDirectoryW(folder.c_str());
}

} // namespace

ScratchFolder::ScratchFolder(const std::wstring& prefix) {
    static unsigned counter = 0;
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    // Process numbers come round again from one Wine server to the next, so a folder that an
    // earlier run could not remove may have the name: the next one is taken.
    do {
        path = std::wstring(base) + prefix + std::to_wstring(GetCurrentProcessId()) + L"_" +
               std::to_wstring(++counter);
    } while (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
    REQUIRE(GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES);
}

ScratchFolder::~ScratchFolder() {
    RemoveTree(path);
}

std::vector<std::wstring> ScratchFolder::Names(const std::wstring& pattern) const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    UniqueFind search(FindFirstFileW(Path(pattern).c_str(), &data));
    for (bool more = static_cast<bool>(search); more; more = FindNextFileW(search.get(), &data)) {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            names.push_back(data.cFileName);
        }
    }
    return names;
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    REQUIRE(file);
    DWORD written = 0;
    REQUIRE(
        ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    REQUIRE(written == bytes.size());
}

std::string ReadFile(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr));
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (file && ::ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got != 0) {
        bytes.append(chunk, got);
    }
    return bytes;
}

std::wstring Stamped(const std::wstring& text) {
    return L"[" + std::wstring(Stamp) + L"] - " + text;
}

std::string Utf16(const std::wstring& text) {
    std::string bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return bytes;
}

std::string WithLfLineEnds(const std::string& bytes) {
    const std::string crlf("\r\0\n\0", 4);
    std::string out;
    for (size_t i = 0; i < bytes.size();) {
        if (i % 2 == 0 && bytes.compare(i, crlf.size(), crlf) == 0) {
            out.append("\n\0", 2);
            i += crlf.size();
        } else {
            out.push_back(bytes[i++]);
        }
    }
    return out;
}

std::string LogBytes(const std::vector<std::wstring>& texts) {
    std::string bytes = "\xFF\xFE";
    for (const std::wstring& text : texts) {
        bytes += Utf16(Stamped(text) + L"\r\n");
    }
    return bytes;
}

std::string Utf8LogBytes(const std::vector<std::wstring>& texts, bool mark) {
    std::string bytes = mark ? "\xEF\xBB\xBF" : "";
    for (const std::wstring& text : texts) {
        bytes += report::ToUtf8(Stamped(text) + L"\r\n");
    }
    return bytes;
}

std::vector<std::wstring> RunHead(bool listOnly) {
    std::vector<std::wstring> head = {
        L"",
        L"  #######   ######",
        L"  ##   ##   ##    ##    Version: 1.0.0.0",
        L"--------------------------------------------------------------------------------",
        L"INFO: OS: 5.1.2600 SP3",
        L"INFO: Product Type: Workstation",
        L"INFO: WoW64: False",
        L"INFO: Machine guid: 0A1B2C3D-0000-4000-8000-00000000ABCD",
        L"",
    };
    if (listOnly) {
        head.push_back(L"WARNING: NoCleaningMode Enabled");
    }
    const std::vector<std::wstring> rest = {
        L"INFO: Loading keys, please wait...",
        L"INFO: Supported file extensions : .BRSK, .QOVE, .QOVY, .%RandomChars%",
        L"INFO: Backup: 3",
        L"INFO: Looking for infected files...",
        L"--------------------------------------------------------------------------------",
        L"",
    };
    head.insert(head.end(), rest.begin(), rest.end());
    return head;
}

std::vector<std::wstring> RunTail(int found, int cleaned) {
    return {L"--------------------------------------------------------------------------------",
            L"INFO: " + std::to_wstring(found) + L" infected files found.",
            L"INFO: " + std::to_wstring(cleaned) + L" file(s) cleaned.", L"End"};
}

std::vector<std::wstring> Join(std::initializer_list<std::vector<std::wstring>> parts) {
    std::vector<std::wstring> joined;
    for (const auto& part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}

std::string RunOn(const std::wstring& day, const std::wstring& guid,
                  const std::vector<std::wstring>& texts) {
    std::vector<std::wstring> lines = texts;
    for (std::wstring& line : lines) {
        if (line.compare(0, 20, L"INFO: Machine guid: ") == 0) {
            line = L"INFO: Machine guid: " + guid;
        }
    }
    std::string bytes = LogBytes(lines);
    const std::string from = Utf16(std::wstring(Stamp).substr(0, 10));
    const std::string to = Utf16(day);
    for (size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at)) {
        bytes.replace(at, from.size(), to);
    }
    return bytes;
}

std::vector<std::wstring> Section(const std::wstring& path, const std::wstring& verdict) {
    if (verdict == L"Cleaned") {
        return {L"", L"INFO: Cleaning file [" + path + L"]", L"INFO: Cleaned"};
    }
    return {L"", L"INFO: Cleaning file [" + path + L"]", L"INFO: " + verdict,
            L"ERROR: Not cleaned"};
}

std::vector<std::wstring> Finished(std::initializer_list<std::vector<std::wstring>> files,
                                   int found, int cleaned, bool listOnly) {
    std::vector<std::wstring> lines = Join({{L"Begin"}, RunHead(listOnly)});
    for (const auto& file : files) {
        lines.insert(lines.end(), file.begin(), file.end());
    }
    const auto tail = RunTail(found, cleaned);
    lines.insert(lines.end(), tail.begin(), tail.end());
    return lines;
}

std::vector<std::wstring> Named(std::vector<std::wstring> lines, const std::wstring& name) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].compare(0, 20, L"INFO: Machine guid: ") == 0) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                         L"INFO: Computer name: " + name);
            break;
        }
    }
    return lines;
}

bool MemorySource::Read(uint8_t* buffer, uint32_t size, uint32_t& got) {
    got = static_cast<uint32_t>(std::min<size_t>({size, chunk, bytes.size() - position}));
    std::memcpy(buffer, bytes.data() + position, got);
    position += got;
    return true;
}

report::RunInfo ParseRun(const std::vector<std::wstring>& texts, Capture& capture) {
    report::RunParser parser(capture, {L"C:\\logs\\a.log", L"logs", 0, 1}, Stamp);
    for (const std::wstring& text : texts) {
        parser.AddLine(Stamped(text), true);
    }
    return parser.Finish(false);
}

} // namespace fixtures
