#include "app/output_guard.h"

#include <windows.h>

#include "backup/backup.h"
#include "io/files.h"
#include "io/windows_name.h"
#include "parse/read_log.h"
#include "streams/path_helpers.h"

namespace report {

std::wstring OutputGuard::Objection(const FilePlace& place,
                                    const std::vector<Input>& inputs) const {
    if (place.isFolder) {
        return place.path + L" is a folder";
    }
    for (const FilePlace& output : outputs) {
        if (place.SameFileAs(output)) {
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
        if (input.isFolder && LiesUnder(place.folderPath, input.identity)) {
            return place.path + L" is a file under " + input.path +
                   L", which the report reads: it never writes over one";
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
    if (!options.expectPath.empty()) {
        paths.push_back(options.expectPath);
        expectedList = PlaceOf(options.expectPath);
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
            reason = L"Can't make the folder of " + resolved + L", " + FormatLastError();
            return Verdict::Failed;
        }
        const FilePlace place = PlaceOf(resolved);
        reason = Objection(place, inputs);
        if (!reason.empty()) {
            return Verdict::Refused;
        }
        *output = resolved;
        outputs.push_back(place);
    }
    return Verdict::Safe;
}

OutputGuard::Met OutputGuard::Meet(const FileIdentity& folder, const std::wstring& folderKey,
                                   const std::wstring& name, std::wstring& reason) const {
    const std::wstring key = UpperCase(name);
    if (expectedList.exists && expectedList.SameFolderAs(folder, folderKey) &&
        key == expectedList.name) {
        return Met::ExpectedList;
    }
    for (const FilePlace& output : outputs) {
        if (!output.SameFolderAs(folder, folderKey)) {
            continue;
        }
        if (key == UpperCase(FileNameOf(TemporaryNameOf(output.path)))) {
            return Met::Own;
        }
        if (output.exists && key == output.name) {
            reason = output.path + L" is a file under a folder the report reads: it never " +
                     L"writes over one";
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
