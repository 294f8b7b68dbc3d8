#include "page/html.h"

#include <cstdio>

#include "backup/backup.h"
#include "io/text_escape.h"

namespace report {

namespace html {

std::string H(const std::wstring& text) {
    return HtmlText(text);
}

std::string N(uint64_t number) {
    return std::to_string(number);
}

std::string Cell(const std::string& html, const char* cssClass) {
    return cssClass ? "<td class=\"" + std::string(cssClass) + "\">" + html + "</td>"
                    : "<td>" + html + "</td>";
}

std::string Name(const std::wstring& text, const char* empty) {
    if (text.empty()) {
        return std::string("<i>") + empty + "</i>";
    }
    if (text.size() <= ShownNameLength) {
        return H(text);
    }
    return "<span title=\"" + H(text) + "\">" + H(text.substr(0, ShownNameLength - 1)) +
           "&#8230;</span>";
}

std::string Machine(const std::wstring& name, const std::wstring& guid) {
    return Name(name, "(no name)") + " <span class=\"guid\">" + Name(guid, "(no machine GUID)") +
           "</span>";
}

std::string MachineLink(const std::wstring& name, const std::wstring& guid) {
    return "<a href=\"#" + MachineAnchor(name, guid) + "\">" + Name(name, "(no name)") +
           "</a> <span class=\"guid\">" + Name(guid, "(no machine GUID)") + "</span>";
}

std::string MachineAnchor(const std::wstring& name, const std::wstring& guid) {
    // FNV-1a over both texts: an id of a few characters, whatever the name holds.
    uint64_t hash = 14695981039346656037ull;
    const std::wstring key = name + L'\n' + guid;
    for (wchar_t c : key) {
        for (const uint8_t byte : {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)}) {
            hash = (hash ^ byte) * 1099511628211ull;
        }
    }
    char id[24];
    std::snprintf(id, sizeof id, "m-%016llx", static_cast<unsigned long long>(hash));
    return id;
}

std::string BreakablePath(const std::wstring& path) {
    std::string text;
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == L'\\' || path[i] == L'_') {
            text += H(path.substr(start, i + 1 - start)) + "<wbr>";
            start = i + 1;
        }
    }
    return text + H(path.substr(start));
}

std::string LogName(const std::wstring& logFile) {
    const std::wstring folder = DirectoryPartOf(logFile);
    const std::wstring shown =
        FileNameOf(folder.empty() ? folder : folder.substr(0, folder.size() - 1)) + L"\\" +
        FileNameOf(logFile);
    return "<span class=\"path\" title=\"" + H(logFile) + "\">" +
           BreakablePath(folder.empty() ? logFile : shown) + "</span>";
}

std::string Tool(const std::wstring& version, const std::wstring& architecture, bool older) {
    std::string text = version.empty() ? "<i>?</i>" : H(version);
    if (!architecture.empty()) {
        text += ", " + H(architecture);
    }
    return older ? "<span class=\"alert\" title=\"a newer version ran in the fleet\">" + text +
                       ", older</span>"
                 : text;
}

} // namespace html

} // namespace report
