#pragma once

#include <string>
#include <vector>

#include "app/command_line.h"
#include "io/file_place.h"

namespace report {

/// Keeps the report's outputs off its inputs and off each other, by what the files are (their
/// folder's identity and name, or their own identity), not how their paths are written: no
/// drive letter, link, junction, short name or other spelling makes an output one of them.
class OutputGuard {
public:
    OutputGuard() = default;
    OutputGuard(const OutputGuard&) = delete;
    OutputGuard& operator=(const OutputGuard&) = delete;
    /// Removes the folders Check created that are still empty: the report was refused, or
    /// failed before it wrote into them.
    ~OutputGuard();

    enum class Verdict { Safe, Refused, Failed };

    /// Before anything is read: gives each output the name Windows resolves it to (the options
    /// then name it so), creates its folder where missing, and refuses an output that is a
    /// folder or a stream, one of the inputs (the list of machines expected among them), a file
    /// that exists under an input folder (whatever
    /// it holds), an existing log of the tool wherever it lies, or another output. Refused with
    /// the reason, or Failed with the failure, when the report may not write them.
    [[nodiscard]] Verdict Check(ReportOptions& options, std::wstring& reason);

    /// What a file the walk met is to the report, by its folder's identity and its name.
    enum class Met {
        Input,
        Own,          ///< an output being written under its temporary name: not read
        ExpectedList, ///< the list of machines expected: read as such, not as a log
        Refused,      ///< an output's file that existed before, in a folder the walk reached
    };
    Met Meet(const FileIdentity& folder, const std::wstring& folderKey, const std::wstring& name,
             std::wstring& reason) const;

private:
    /// A path to read, where it exists.
    struct Input {
        std::wstring path;
        bool isFolder;
        FileIdentity identity;
    };

    /// Why the output may not be written; empty when it may.
    std::wstring Objection(const FilePlace& place, const std::vector<Input>& inputs) const;

    std::vector<FilePlace> outputs;
    FilePlace expectedList;
    std::vector<std::wstring> created;
};

} // namespace report
