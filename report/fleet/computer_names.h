#pragma once

#include <string>
#include <vector>

namespace report {

/// The names a machine goes by, from the name the report gives it ("PC01 (pc01.corp.example)"
/// where the DNS name says more than the NetBIOS one): that name, the NetBIOS name, the DNS
/// name.
std::vector<std::wstring> NamesOf(const std::wstring& computerName);

} // namespace report
