// Prints what Windows itself reads of a program's resources, for tests/e2e/test_resources.py:
//   resource_probe PROGRAM
// through the version API (what Explorer's Details tab and inventory tools show), one
// "name: value" line each for the fixed versions, the translation and the strings; and through
// an activation context made from the program's manifest (what the loader applies): the
// requested run level and each supported release's GUID. Exit code 1 when either is missing.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "platform/unique_handle.h"

namespace {

struct ActivationContextTraits {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static void Release(Handle h) { ReleaseActCtx(h); }
};
using UniqueActivationContext = UniqueHandle<ActivationContextTraits>;

/// The layout of Windows 10 1903 and later, which Wine returns too; MinGW's headers still have
/// the one without MaxVersionTested.
struct CompatibilityElement {
    GUID id;
    DWORD type;
    ULONGLONG maxVersionTested;
};
static_assert(sizeof(CompatibilityElement) == 32, "as Windows lays it out");

const wchar_t* const StringNames[] = {L"Comments",      L"FileDescription",  L"FileVersion",
                                      L"InternalName",  L"OriginalFilename", L"ProductName",
                                      L"ProductVersion"};

void PrintVersion(const wchar_t* name, DWORD high, DWORD low) {
    wprintf(L"%ls: %lu.%lu.%lu.%lu\n", name, HIWORD(high), LOWORD(high), HIWORD(low), LOWORD(low));
}

bool PrintVersionResource(const wchar_t* program) {
    DWORD ignored = 0;
    std::vector<BYTE> data(GetFileVersionInfoSizeW(program, &ignored));
    if (data.empty() ||
        !GetFileVersionInfoW(program, 0, static_cast<DWORD>(data.size()), data.data())) {
        fwprintf(stderr, L"no version resource: error %lu\n", GetLastError());
        return false;
    }
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(data.data(), L"\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        PrintVersion(L"fixed file version", fixed->dwFileVersionMS, fixed->dwFileVersionLS);
        PrintVersion(L"fixed product version", fixed->dwProductVersionMS,
                     fixed->dwProductVersionLS);
    }
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length) ||
        length < 2 * sizeof(WORD)) {
        fwprintf(stderr, L"no translation\n");
        return false;
    }
    const auto* translation = static_cast<const WORD*>(value);
    wprintf(L"translation: %04x%04x\n", translation[0], translation[1]);
    for (const wchar_t* name : StringNames) {
        wchar_t query[128];
        swprintf(query, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translation[0], translation[1],
                 name);
        if (VerQueryValueW(data.data(), query, &value, &length) && length > 0) {
            wprintf(L"%ls: %ls\n", name, static_cast<const wchar_t*>(value));
        }
    }
    return true;
}

bool PrintManifest(const wchar_t* program) {
    ACTCTXW request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = program;
    request.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    UniqueActivationContext context(CreateActCtxW(&request));
    if (!context) {
        fwprintf(stderr, L"no activation context from the manifest: error %lu\n", GetLastError());
        return false;
    }
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION runLevel = {};
    if (QueryActCtxW(0, context.get(), nullptr, RunlevelInformationInActivationContext, &runLevel,
                     sizeof runLevel, nullptr)) {
        wprintf(L"run level: %d\n", static_cast<int>(runLevel.RunLevel));
        wprintf(L"ui access: %lu\n", runLevel.UiAccess);
    }
    // The count, then the elements at the alignment of their 64-bit member.
    std::vector<BYTE> buffer(4096);
    SIZE_T written = 0;
    if (!QueryActCtxW(0, context.get(), nullptr, CompatibilityInformationInActivationContext,
                      buffer.data(), buffer.size(), &written)) {
        fwprintf(stderr, L"no compatibility information: error %lu\n", GetLastError());
        return false;
    }
    const DWORD count = *reinterpret_cast<const DWORD*>(buffer.data());
    const auto* elements = reinterpret_cast<const CompatibilityElement*>(buffer.data() + 8);
    if (written != 8 + count * sizeof(CompatibilityElement)) {
        fwprintf(stderr, L"compatibility information of an unknown layout: %lu bytes\n",
                 static_cast<unsigned long>(written));
        return false;
    }
    for (DWORD i = 0; i < count; ++i) {
        const GUID& id = elements[i].id;
        wprintf(L"supported OS: {%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}\n", id.Data1,
                id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4],
                id.Data4[5], id.Data4[6], id.Data4[7]);
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fwprintf(stderr, L"usage: resource_probe PROGRAM\n");
        return 2;
    }
    const bool version = PrintVersionResource(argv[1]);
    const bool manifest = PrintManifest(argv[1]);
    return version && manifest ? 0 : 1;
}
