#include "app/output_guard.h"

#include <windows.h>

#include "app/abandoned_outputs.h"
#include "backup/backup.h"
#include "io/error_text.h"
#include "io/files.h"
#include "io/windows_name.h"
#include "parse/file_start.h"
#include "parse/read_log.h"
#include "streams/path_helpers.h"

namespace report {

std::wstring OutputGuard::Objection(const Output& output, const std::vector<Input>& inputs) const {
    const FilePlace& place = output.place;
    if (place.isFolder) {
        return place.path + L" is a folder";
    }
    for (const Output& other : outputs) {
        if (place.SameFileAs(other.place)) {
            return L"two outputs would be one file, " + place.path;
        }
    }
    if (!place.exists) {
        return std::wstring();
    }
    for (const Input& input : inputs) {
        if (!input.isFolder && place.file.SameAs(input.identity)) {
            return place.path + L" is one of the logs to read";
        }
        if (input.isFolder && !output.earlier && LiesUnder(place.folderPath, input.identity)) {
            return place.path + L" is a file under " + input.path +
                   L", which the report reads: it writes over no file there but a CSV or a "
                   L"page of its own";
        }
    }
    if (IsLogOfTheTool(place.path)) {
        return place.path + L" is a log of the tool, which the report would replace";
    }
    return std::wstring();
}

OutputGuard::Verdict OutputGuard::Check(ReportOptions& options, std::wstring& reason) {
    std::vector<Input> inputs;
    std::vector<std::wstring> paths = options.inputs;
    const std::pair<const std::wstring*, const wchar_t*> listed[] = {
        {&options.expectPath, L"the list of machines expected"},
        {&options.sitesPath, L"the list of sites"}};
    lists.clear();
    for (const auto& list : listed) {
        if (!list.first->empty()) {
            paths.push_back(*list.first);
            lists.push_back({PlaceOf(*list.first), list.second});
        }
    }
    for (const std::wstring& path : paths) {
        const std::wstring system = ToSystemPath(path);
        const DWORD attributes = GetFileAttributesW(system.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            inputs.push_back(
                {path, (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0, IdentityOf(system)});
        }
    }
    outputs.clear();
    for (std::wstring* output : options.Outputs()) {
        if (output->empty()) {
            continue;
        }
        std::wstring resolved;
        if (!WindowsName(*output, resolved)) {
            reason = *output + L" names a stream of a file, not a file";
            return Verdict::Refused;
        }
        if (!MakeFolderOf(resolved, created)) {
            reason = L"Can't make the folder of " + resolved + L", " + LastErrorText();
            return Verdict::Failed;
        }
        Output place{PlaceOf(resolved)};
        place.earlier = place.place.exists && !place.place.isFolder &&
                        IsEarlierOutput(resolved, output == &options.htmlPath);
        reason = Objection(place, inputs);
        if (!reason.empty()) {
            return Verdict::Refused;
        }
        *output = resolved;
        outputs.push_back(std::move(place));
    }
    for (std::wstring* output : options.Outputs()) {
        if (!output->empty()) {
            RemoveAbandonedOutputs(*output, output == &options.htmlPath, removed);
        }
    }
    return Verdict::Safe;
}

OutputGuard::Met OutputGuard::Meet(const FileIdentity& folder, const std::wstring& folderKey,
                                   const std::wstring& name, std::wstring& reason) const {
    const std::wstring key = UpperCase(name);
    for (const List& list : lists) {
        if (list.place.exists && list.place.SameFolderAs(folder, folderKey) &&
            key == list.place.name) {
            reason = list.what;
            return Met::List;
        }
    }
    for (const Output& output : outputs) {
        const FilePlace& place = output.place;
        if (!place.SameFolderAs(folder, folderKey)) {
            continue;
        }
        if (key == UpperCase(FileNameOf(TemporaryNameOf(place.path)))) {
            return Met::Own;
        }
        if (place.exists && key == place.name) {
            if (output.earlier) {
                return Met::Own;
            }
            reason = place.path + L" is a file under a folder the report reads: it writes " +
                     L"over no file there but a CSV or a page of its own";
            return Met::Refused;
        }
    }
    return Met::Input;
}

OutputGuard::~OutputGuard() {
    // The innermost first: each is empty once those inside it are gone. A folder that holds a
    // file stays.
    for (auto folder = created.rbegin(); folder != created.rend(); ++folder) {
        RemoveDirectoryW(folder->c_str());
    }
}

} // namespace report
