#include "app/site_list_file.h"

namespace report {

ListRead ReadSiteList(const std::wstring& path, SiteList& sites, std::wstring& reason) {
    uint64_t line = 0;
    uint64_t without = 0;
    const ListRead read = ReadListFile(
        path, L"the list of sites",
        [&](const std::wstring& text) {
            ++line;
            if (!sites.Add(text) && without == 0) {
                without = line;
            }
        },
        reason);
    if (read == ListRead::Read && without != 0) {
        reason = L"the list of sites, " + path + L", names no site at line " +
                 std::to_wstring(without) +
                 L": each line is a computer name, a tab or a comma, and its site";
        return ListRead::Refused;
    }
    return read;
}

} // namespace report
