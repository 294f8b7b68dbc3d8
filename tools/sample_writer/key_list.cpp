#include "key_list.h"

#include <windows.h>

#include <vector>

#include "platform/unique_handle.h"
#include "streams/path_helpers.h"

namespace {

std::string Trimmed(const std::string& line) {
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    return line.substr(first, line.find_last_not_of(" \t\r") + 1 - first);
}

} // namespace

bool ReadKeyEntry(const std::wstring& listPath, uint32_t index, std::string& entry,
                  std::wstring& error) {
    UniqueFile file(CreateFileW(listPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    std::string text;
    char chunk[4096];
    DWORD got = 0;
    while (file && ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) {
        text.append(chunk, got);
    }
    if (!file) {
        error = L"cannot open the key list " + listPath + L", " + FormatLastError();
        return false;
    }
    uint32_t seen = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        const std::string line = Trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (seen++ == index) {
            entry = line;
            return true;
        }
    }
    error = L"the key list " + listPath + L" has " + std::to_wstring(seen) + L" keys, no key " +
            std::to_wstring(index);
    return false;
}
