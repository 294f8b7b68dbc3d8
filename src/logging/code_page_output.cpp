#include "logging/code_page_output.h"

void WriteInConsoleCodePage(HANDLE output, const std::wstring& text) {
    if (text.empty()) {
        return;
    }
    // Whoever reads redirected output (a file, a pipe, a scheduled task's capture, remote
    // shells) decodes it in the console's output code page, the OEM one where there is no
    // console, as the system's own console tools write it. What that page cannot show becomes
    // "?"; the runtime's wide print would stop the line at it instead.
    UINT codePage = GetConsoleOutputCP();
    if (codePage == 0) {
        codePage = GetOEMCP();
    }
    const int length = static_cast<int>(text.size());
    DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* unknown = codePage == CP_UTF8 ? nullptr : "?";
    int size =
        WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, unknown, nullptr);
    if (size == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        // Some code pages (the ISO-2022 ones, UTF-7) take no flags and no replacement.
        flags = 0;
        unknown = nullptr;
        size =
            WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    if (size == 0 || WideCharToMultiByte(codePage, flags, text.data(), length, &bytes[0], size,
                                         unknown, nullptr) != size) {
        return;
    }
    DWORD written = 0;
    WriteFile(output, bytes.data(), static_cast<DWORD>(size), &written, nullptr);
}
