#include "app/abandoned_outputs.h"

#include <windows.h>

#include "backup/backup.h"
#include "parse/file_start.h"
#include "platform/unique_handle.h"
#include "streams/path_helpers.h"

namespace report {

namespace {

/// The process id in a temporary's name, "<name>.~<id>.tmp"; false when the name is not one.
bool ProcessIdOf(const std::wstring& name, const std::wstring& outputName, DWORD& id) {
    const std::wstring head = UpperCase(outputName) + L".~";
    const std::wstring key = UpperCase(name);
    if (key.size() <= head.size() + 4 || key.size() > head.size() + 4 + 10 ||
        key.compare(0, head.size(), head) != 0 || key.compare(key.size() - 4, 4, L".TMP") != 0) {
        return false;
    }
    const size_t digits = key.size() - head.size() - 4;
    unsigned long long value = 0;
    for (size_t i = head.size(); i < head.size() + digits; ++i) {
        if (key[i] < L'0' || key[i] > L'9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(key[i] - L'0');
    }
    id = static_cast<DWORD>(value);
    return value <= 0xFFFFFFFFull;
}

/// Whether a process of that id runs: one that cannot be opened for another reason than its
/// absence runs, for all the report can tell.
bool Runs(DWORD id) {
    UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id));
    if (!process) {
        return GetLastError() != ERROR_INVALID_PARAMETER;
    }
    DWORD code = 0;
    return !GetExitCodeProcess(process.get(), &code) || code == STILL_ACTIVE;
}

} // namespace

void RemoveAbandonedOutputs(const std::wstring& output, bool page,
                            std::vector<std::wstring>& removed) {
    const std::wstring name = FileNameOf(output);
    const std::wstring folder = output.substr(0, output.size() - name.size());
    WIN32_FIND_DATAW entry;
    UniqueFind search(FindFirstFileW(ToSystemPath(output + L".~*.tmp").c_str(), &entry));
    if (!search) {
        return;
    }
    do {
        DWORD id = 0;
        if ((entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) !=
                0 ||
            !ProcessIdOf(entry.cFileName, name, id) || id == GetCurrentProcessId() || Runs(id)) {
            continue;
        }
        const std::wstring path = folder + entry.cFileName;
        const bool empty = entry.nFileSizeHigh == 0 && entry.nFileSizeLow == 0;
        if ((empty || IsEarlierOutput(path, page)) && DeleteFileW(ToSystemPath(path).c_str())) {
            removed.push_back(path);
        }
    } while (FindNextFileW(search.get(), &entry));
}

} // namespace report
