#include "logging/shorten_path.h"

std::wstring ShortenPath(const std::wstring& path, uint32_t limit) {
    const size_t lastSlash = path.rfind(L'\\');
    if (lastSlash == std::wstring::npos || lastSlash == 0) {
        return path;
    }
    const std::wstring directory = path.substr(0, lastSlash + 1);
    std::wstring name = path.substr(lastSlash + 1);
    if (name.size() + 7 > limit) {
        const size_t keep = limit / 4;
        name =
            name.substr(0, keep) + L"..." + name.substr(name.size() - std::min(keep, name.size()));
    }
    std::wstring result;
    size_t start = 0;
    while (start < directory.size()) {
        const size_t end = directory.find(L'\\', start) + 1;
        const size_t componentLength = end - start;
        if (result.size() + name.size() + componentLength + 5 >= limit) {
            result += L"...\\";
            break;
        }
        result.append(directory, start, componentLength);
        start = end;
    }
    return result + name;
}

uint32_t DisplayLimit(int consoleWidth, int margin) {
    return static_cast<uint32_t>(static_cast<int32_t>(consoleWidth - margin));
}
