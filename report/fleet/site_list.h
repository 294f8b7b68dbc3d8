#pragma once

#include <string>
#include <unordered_map>

namespace report {

/// The sites an administrator gave for machines (--sites): they win over the folders the logs
/// were collected in. Names are matched without case, by the name the report gives a machine,
/// its NetBIOS name or its DNS name.
class SiteList {
public:
    /// Adds one line of the list: a computer name, a tab or a comma, its site (blanks around
    /// each taken off); an empty line is passed over. False when the line has no site.
    [[nodiscard]] bool Add(const std::wstring& line);
    /// The site given for the machine; empty when the list does not name it.
    std::wstring SiteOf(const std::wstring& computerName) const;
    bool Empty() const { return sites.empty(); }

private:
    std::unordered_map<std::wstring, std::wstring> sites;
};

} // namespace report
