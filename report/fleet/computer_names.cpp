#include "fleet/computer_names.h"

namespace report {

std::vector<std::wstring> NamesOf(const std::wstring& computerName) {
    std::vector<std::wstring> names{computerName};
    const size_t open = computerName.find(L" (");
    if (open != std::wstring::npos && computerName.back() == L')') {
        names.push_back(computerName.substr(0, open));
        names.push_back(computerName.substr(open + 2, computerName.size() - open - 3));
    }
    return names;
}

} // namespace report
