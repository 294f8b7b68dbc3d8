// A plain recursive listing, for comparison with the walker (bench/walk_bench.sh): every path
// below a directory through FindFirstFileW and FindNextFileW, counted and not printed, so that
// the figure is the search's and not the output's.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

unsigned long List(const std::wstring& directory) {
    unsigned long count = 0;
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW((directory + L"\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        const std::wstring path = directory + L"\\" + name;
        ++count;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            count += List(path);
        }
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return count;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fwprintf(stderr, L"usage: list_tree.exe <directory>\n");
        return 2;
    }
    fwprintf(stderr, L"%lu entries\n", List(argv[1]));
    return 0;
}
