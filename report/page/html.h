#pragma once

#include <cstdint>
#include <string>

#include "fleet/machine_state.h"
#include "parse/run_record.h"

namespace report {

/// The pieces every part of the page is made of.
namespace html {

/// Names and GUIDs longer than this are cut on the page, whole in their tooltip.
constexpr size_t ShownNameLength = 64;

/// Text as HTML (HtmlText).
std::string H(const std::wstring& text);
std::string N(uint64_t number);
std::string Cell(const std::string& html, const char* cssClass = nullptr);

/// A name as the page shows it: cut when long, whole on hover; empty: the text in italics.
std::string Name(const std::wstring& text, const char* empty);
/// The computer's name, and its GUID under it, smaller.
std::string Machine(const std::wstring& name, const std::wstring& guid);
/// The computer's name as a link to its line in the action list, and its GUID under it.
std::string MachineLink(const std::wstring& name, const std::wstring& guid);
/// The id of a machine's line in the action list: the same for its name and GUID wherever the
/// page names it.
std::string MachineAnchor(const std::wstring& name, const std::wstring& guid);

/// A path that may break after each of its backslashes and underscores, and nowhere else.
std::string BreakablePath(const std::wstring& path);
/// A log's folder and name, whole on hover: the runs table's short form of its path.
std::string LogName(const std::wstring& logFile);
/// The tool's version and its build's architecture, marked where a newer one ran in the fleet.
std::string Tool(const std::wstring& version, const std::wstring& architecture, bool older);

} // namespace html

} // namespace report
