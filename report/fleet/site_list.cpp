#include "fleet/site_list.h"

#include "fleet/computer_names.h"
#include "streams/path_helpers.h"

namespace report {

namespace {

std::wstring Trimmed(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t");
    return first == std::wstring::npos
               ? std::wstring()
               : text.substr(first, text.find_last_not_of(L" \t") + 1 - first);
}

} // namespace

bool SiteList::Add(const std::wstring& line) {
    if (Trimmed(line).empty()) {
        return true;
    }
    const size_t separator = line.find_first_of(L"\t,");
    if (separator == std::wstring::npos) {
        return false;
    }
    std::wstring name = Trimmed(line.substr(0, separator));
    const std::wstring site = Trimmed(line.substr(separator + 1));
    // A name as a UNC path gives it: "\\PC01".
    name.erase(0, name.find_first_not_of(L'\\'));
    if (name.empty() || site.empty()) {
        return false;
    }
    sites[UpperCase(name)] = site;
    return true;
}

std::wstring SiteList::SiteOf(const std::wstring& computerName) const {
    for (const std::wstring& name : NamesOf(computerName)) {
        const auto found = sites.find(UpperCase(name));
        if (found != sites.end()) {
            return found->second;
        }
    }
    return std::wstring();
}

} // namespace report
