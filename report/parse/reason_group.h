#pragma once

#include <string>

namespace report {

/// What reasons of one kind share: the text with the paths in brackets and the plain numbers
/// left out, so that "Can't open file [a], GLE(0x00000020)" and "Can't open file [b],
/// GLE(0x00000020)" fall in one group while another error code makes another.
std::wstring ReasonGroup(const std::wstring& reason);

} // namespace report
