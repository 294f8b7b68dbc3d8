#pragma once

#include <string>

namespace report {

/// The outputs being written under their temporary names: a report that the console stops
/// (Ctrl+C, Ctrl+Break, the console closed, the user logged off, the system shut down)
/// removes them before it ends, so that it leaves no half file behind.
void HoldTemporary(const std::wstring& systemPath);
/// The temporary name is gone: the output took its name, or it was deleted.
void ReleaseTemporary(const std::wstring& systemPath);
/// Has the console's stop remove the temporary outputs held; once, at the program's start.
void RemoveTemporariesWhenStopped();

} // namespace report
