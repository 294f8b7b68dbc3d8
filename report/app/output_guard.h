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
    /// folder or a stream, one of the inputs (the lists of machines expected and of sites among
    /// them), a file that exists under an input folder (unless the report wrote it: a CSV of
    /// the report where a CSV goes, a page of the report where the page goes, which a
    /// scheduled report replaces each day), an existing log of the tool wherever it lies, or
    /// another output. Refused with the reason, or Failed with the failure, when the report
    /// may not write them.
    [[nodiscard]] Verdict Check(ReportOptions& options, std::wstring& reason);

    /// The temporary files of outputs that reports since ended left, which Check removed.
    const std::vector<std::wstring>& Removed() const { return removed; }

    /// What a file the walk met is to the report, by its folder's identity and its name.
    enum class Met {
        Input,
        Own,     ///< an output, under its temporary name or its own that it replaces: not read
        List,    ///< a list given on the command line: read as such, not as a log
        Refused, ///< an output's file that existed before, in a folder the walk reached
    };
    /// reason: why it is refused, or which list it is.
    Met Meet(const FileIdentity& folder, const std::wstring& folderKey, const std::wstring& name,
             std::wstring& reason) const;

private:
    /// A path to read, where it exists.
    struct Input {
        std::wstring path;
        bool isFolder;
        FileIdentity identity;
    };

    struct Output {
        FilePlace place;
        /// It exists, and the report wrote it: it may be replaced.
        bool earlier = false;
    };
    struct List {
        FilePlace place;
        const wchar_t* what;
    };

    /// Why the output may not be written; empty when it may.
    std::wstring Objection(const Output& output, const std::vector<Input>& inputs) const;

    std::vector<Output> outputs;
    std::vector<List> lists;
    std::vector<std::wstring> created;
    std::vector<std::wstring> removed;
};

} // namespace report
