#pragma once

#include <string>

#include "parse/run_record.h"

namespace report {

/// The build of the tool a run used, as far as its log tells: "32-bit" where its system report
/// says it ran under WoW64 (only a 32-bit program does), "64-bit" where it did not on a Windows
/// that has no 32-bit edition; empty where the log cannot tell (no WoW64 on a Windows that has
/// both editions: a 32-bit build on a 32-bit Windows, or a 64-bit one).
std::wstring BuildArchitecture(const RunInfo& run);

/// A version as the tool's releases name theirs: four decimal numbers ("1.0.0.0"). Only such a
/// version is the fleet's newest, or older than it: "v1.0.0.0" or "1.0.0.0-beta" in one log
/// would otherwise make every release of that number look old.
bool IsReleaseVersion(const std::wstring& version);

/// Orders two versions ("1.0.0.0") number by number, a missing number as 0: below zero when a
/// is older than b, zero when they are the same, above zero when it is newer. Text that is no
/// number orders after any number.
int CompareVersions(const std::wstring& a, const std::wstring& b);

} // namespace report
