#include "logging/shorten_path.h"

#include "logging/console_cells.h"

std::wstring ShortenPath(const std::wstring& path, uint32_t limit) {
    const size_t lastSlash = path.rfind(L'\\');
    if (lastSlash == std::wstring::npos || lastSlash == 0) {
        return path;
    }
    // Lengths are what the text needs of a console's row, and cuts fall between characters.
    const std::wstring directory = path.substr(0, lastSlash + 1);
    std::wstring name = path.substr(lastSlash + 1);
    if (RoomOf(name) + 7 > limit) {
        const size_t keep = limit / 4;
        name = StartWithin(name, keep) + L"..." + EndWithin(name, keep);
    }
    const size_t nameRoom = RoomOf(name);
    std::wstring result;
    size_t resultRoom = 0;
    size_t start = 0;
    while (start < directory.size()) {
        const size_t end = directory.find(L'\\', start) + 1;
        const std::wstring component = directory.substr(start, end - start);
        const size_t componentRoom = RoomOf(component);
        if (resultRoom + nameRoom + componentRoom + 5 >= limit) {
            result += L"...\\";
            break;
        }
        result += component;
        resultRoom += componentRoom;
        start = end;
    }
    return result + name;
}

uint32_t DisplayLimit(int consoleWidth, int margin) {
    return static_cast<uint32_t>(static_cast<int32_t>(consoleWidth - margin));
}
