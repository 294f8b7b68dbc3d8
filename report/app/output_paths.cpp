#include "app/output_paths.h"

#include "parse/read_log.h"
#include "streams/path_helpers.h"

namespace report {

namespace {

/// The input folder or file that the output lies in or is; empty when none.
std::wstring InputHolding(const ReportOptions& options, const std::wstring& outputKey) {
    for (const std::wstring& input : options.inputs) {
        std::wstring key = PathKey(input);
        while (!key.empty() && key.back() == L'\\') {
            key.pop_back();
        }
        if (outputKey == key || outputKey.compare(0, key.size() + 1, key + L"\\") == 0) {
            return input;
        }
    }
    return std::wstring();
}

} // namespace

std::wstring PathKey(const std::wstring& path) {
    return UpperCase(ToSystemPath(path));
}

bool OutputsAreSafe(const ReportOptions& options, std::wstring& reason) {
    const std::vector<const std::wstring*> outputs = options.Outputs();
    for (size_t i = 0; i < outputs.size(); ++i) {
        const std::wstring& output = *outputs[i];
        if (output.empty()) {
            continue;
        }
        for (size_t j = 0; j < i; ++j) {
            if (!outputs[j]->empty() && PathKey(*outputs[j]) == PathKey(output)) {
                reason = L"two outputs would be one file, " + output;
                return false;
            }
        }
        const std::wstring input = InputHolding(options, PathKey(output));
        if (!input.empty() && PathKey(input) == PathKey(output)) {
            reason = output + L" is one of the logs to read";
            return false;
        }
        if (IsLogOfTheTool(output)) {
            reason = output + L" is a log of the tool, which the report would replace";
            return false;
        }
    }
    return true;
}

} // namespace report
