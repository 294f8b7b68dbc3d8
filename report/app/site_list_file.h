#pragma once

#include <string>

#include "app/list_file.h"
#include "fleet/site_list.h"

namespace report {

/// Reads the list of sites (--sites: one machine a line, its computer name, a tab or a comma,
/// its site; as ReadListFile reads it) into sites. A line that names no site is refused.
[[nodiscard]] ListRead ReadSiteList(const std::wstring& path, SiteList& sites,
                                    std::wstring& reason);

} // namespace report
