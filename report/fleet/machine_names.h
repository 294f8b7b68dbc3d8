#pragma once

#include <string>

namespace report {

/// A run's stamp whose text order is the stamps' reverse order: the latest first.
std::wstring DescendingStamp(const std::wstring& stamp);

} // namespace report
