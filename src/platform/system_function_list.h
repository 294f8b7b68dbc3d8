// The functions reached through the resolve-on-first-use table, one list per
// library: X(result, name, (parameters), (arguments), fallback expression).
// Signatures are spelled out here because the build targets Windows XP headers,
// which lack several of them; the argument sizes must match the real ones.
// No include guard: expanded several times with different X.

#define SYSFN_ADVAPI32(X)                                                                          \
    /* not called: kept for the table's documented shape */                                        \
    X(BOOL, InitiateSystemShutdownA, (LPSTR a, LPSTR b, DWORD c, BOOL d, BOOL e), (a, b, c, d, e), \
      FALSE)                                                                                       \
    /* not called: kept for the table's documented shape */                                        \
    X(BOOL, InitiateSystemShutdownW, (LPWSTR a, LPWSTR b, DWORD c, BOOL d, BOOL e),                \
      (a, b, c, d, e), FALSE)                                                                      \
    /* not called: kept for the table's documented shape */                                        \
    X(BOOL, DecryptFileW, (LPCWSTR a, DWORD b), (a, b), FALSE)                                     \
    /* not called: kept for the table's documented shape */                                        \
    X(BOOL, LookupAccountSidW,                                                                     \
      (LPCWSTR a, PSID b, LPWSTR c, LPDWORD d, LPWSTR e, LPDWORD f, PSID_NAME_USE g),              \
      (a, b, c, d, e, f, g), FALSE)                                                                \
    X(BOOL, ConvertSidToStringSidW, (PSID a, LPWSTR * b), (a, b), FALSE)                           \
    X(LONG, RegCreateKeyExW,                                                                       \
      (HKEY a, LPCWSTR b, DWORD c, LPWSTR d, DWORD e, REGSAM f, LPSECURITY_ATTRIBUTES g, PHKEY h,  \
       LPDWORD i),                                                                                 \
      (a, b, c, d, e, f, g, h, i), ERROR_INVALID_FUNCTION)                                         \
    X(LONG, RegQueryValueExW, (HKEY a, LPCWSTR b, LPDWORD c, LPDWORD d, LPBYTE e, LPDWORD f),      \
      (a, b, c, d, e, f), ERROR_INVALID_FUNCTION)                                                  \
    X(LONG, RegCloseKey, (HKEY a), (a), ERROR_INVALID_FUNCTION)                                    \
    X(LONG, RegSetValueExW, (HKEY a, LPCWSTR b, DWORD c, DWORD d, const BYTE* e, DWORD f),         \
      (a, b, c, d, e, f), ERROR_INVALID_FUNCTION)                                                  \
    /* not called: kept for the table's documented shape */                                        \
    X(DWORD, SetEntriesInAclW, (ULONG a, void* b, PACL c, PACL* d), (a, b, c, d),                  \
      ERROR_INVALID_FUNCTION)                                                                      \
    X(LONG, RegOpenKeyExW, (HKEY a, LPCWSTR b, DWORD c, REGSAM d, PHKEY e), (a, b, c, d, e),       \
      ERROR_INVALID_FUNCTION)                                                                      \
    /* not called: kept for the table's documented shape */                                        \
    X(BOOL, InitiateSystemShutdownExW, (LPWSTR a, LPWSTR b, DWORD c, BOOL d, BOOL e, DWORD f),     \
      (a, b, c, d, e, f), FALSE)                                                                   \
    /* through the table so that a test program can make a decryption fail as Wine cannot */       \
    X(BOOL, CryptDecrypt, (HCRYPTKEY a, HCRYPTHASH b, BOOL c, DWORD d, BYTE * e, DWORD * f),       \
      (a, b, c, d, e, f), FALSE)                                                                   \
    X(BOOL, CryptAcquireContextW, (HCRYPTPROV * a, LPCWSTR b, LPCWSTR c, DWORD d, DWORD e),        \
      (a, b, c, d, e), FALSE)                                                                      \
    X(BOOL, CryptImportKey,                                                                        \
      (HCRYPTPROV a, const BYTE* b, DWORD c, HCRYPTKEY d, DWORD e, HCRYPTKEY* f),                  \
      (a, b, c, d, e, f), FALSE)                                                                   \
    X(BOOL, CryptSetKeyParam, (HCRYPTKEY a, DWORD b, const BYTE* c, DWORD d), (a, b, c, d), FALSE)

#define SYSFN_IEFRAME(X)                                                                           \
    /* not called: kept for the table's documented shape */                                        \
    X(HRESULT, IEIsProtectedModeProcess, (BOOL * a), (a), E_NOTIMPL)

#define SYSFN_PSAPI(X)                                                                             \
    /* not called: kept for the table's documented shape */                                        \
    X(DWORD, GetModuleBaseNameW, (HANDLE a, HMODULE b, LPWSTR c, DWORD d), (a, b, c, d), 0)        \
    /* not called: kept for the table's documented shape */                                        \
    X(BOOL, EnumProcesses, (DWORD * a, DWORD b, DWORD * c), (a, b, c), FALSE)                      \
    X(BOOL, GetProcessMemoryInfo, (HANDLE a, void* b, DWORD c), (a, b, c), FALSE)                  \
    /* not called: kept for the table's documented shape */                                        \
    X(BOOL, GetModuleInformation, (HANDLE a, HMODULE b, void* c, DWORD d), (a, b, c, d), FALSE)    \
    /* not called: kept for the table's documented shape */                                        \
    X(DWORD, GetModuleBaseNameA, (HANDLE a, HMODULE b, LPSTR c, DWORD d), (a, b, c, d), 0)         \
    /* not called: kept for the table's documented shape */                                        \
    X(BOOL, EnumProcessModules, (HANDLE a, HMODULE * b, DWORD c, LPDWORD d), (a, b, c, d), FALSE)  \
    /* not called: kept for the table's documented shape */                                        \
    X(DWORD, GetProcessImageFileNameW, (HANDLE a, LPWSTR b, DWORD c), (a, b, c), 0)                \
    /* not called: kept for the table's documented shape */                                        \
    X(DWORD, GetModuleFileNameExA, (HANDLE a, HMODULE b, LPSTR c, DWORD d), (a, b, c, d), 0)       \
    /* not called: kept for the table's documented shape */                                        \
    X(DWORD, GetProcessImageFileNameA, (HANDLE a, LPSTR b, DWORD c), (a, b, c), 0)                 \
    /* not called: kept for the table's documented shape */                                        \
    X(DWORD, GetModuleFileNameExW, (HANDLE a, HMODULE b, LPWSTR c, DWORD d), (a, b, c, d), 0)

#define SYSFN_KERNEL32(X)                                                                          \
    X(BOOL, InitializeCriticalSectionAndSpinCount, (LPCRITICAL_SECTION a, DWORD b), (a, b),        \
      SubstituteInitializeCriticalSectionAndSpinCount(a, b))                                       \
    X(BOOL, CloseHandle, (HANDLE a), (a), FALSE)                                                   \
    X(BOOL, Wow64DisableWow64FsRedirection, (PVOID * a), (a), FALSE)                               \
    X(BOOL, Wow64RevertWow64FsRedirection, (PVOID a), (a), FALSE)                                  \
    X(HANDLE, CreateFileW,                                                                         \
      (LPCWSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e, DWORD f, HANDLE g),          \
      (a, b, c, d, e, f, g), INVALID_HANDLE_VALUE)                                                 \
    /* not called: kept for the table's documented shape */                                        \
    X(DWORD, GetLongPathNameW, (LPCWSTR a, LPWSTR b, DWORD c), (a, b, c), 0)                       \
    /* not called: kept for the table's documented shape */                                        \
    X(HANDLE, CreateFileMappingW,                                                                  \
      (HANDLE a, LPSECURITY_ATTRIBUTES b, DWORD c, DWORD d, DWORD e, LPCWSTR f),                   \
      (a, b, c, d, e, f), nullptr)                                                                 \
    X(BOOL, GetDiskFreeSpaceExW,                                                                   \
      (LPCWSTR a, PULARGE_INTEGER b, PULARGE_INTEGER c, PULARGE_INTEGER d), (a, b, c, d), FALSE)   \
    /* not called: kept for the table's documented shape */                                        \
    X(HANDLE, CreateFileA,                                                                         \
      (LPCSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e, DWORD f, HANDLE g),           \
      (a, b, c, d, e, f, g), INVALID_HANDLE_VALUE)                                                 \
    /* not called: kept for the table's documented shape */                                        \
    X(BOOL, DeviceIoControl,                                                                       \
      (HANDLE a, DWORD b, LPVOID c, DWORD d, LPVOID e, DWORD f, LPDWORD g, LPOVERLAPPED h),        \
      (a, b, c, d, e, f, g, h), FALSE)                                                             \
    /* not called: kept for the table's documented shape */                                        \
    X(DWORD, GetFinalPathNameByHandleW, (HANDLE a, LPWSTR b, DWORD c, DWORD d), (a, b, c, d), 0)   \
    X(BOOL, IsWow64Process, (HANDLE a, PBOOL b), (a, b), FALSE)                                    \
    /* not called: kept for the table's documented shape */                                        \
    X(HANDLE, OpenThread, (DWORD a, BOOL b, DWORD c), (a, b, c), nullptr)                          \
    /* not called: kept for the table's documented shape */                                        \
    X(ULONGLONG, GetTickCount64, (), (), 0)                                                        \
    X(BOOL, GetFileSizeEx, (HANDLE a, PLARGE_INTEGER b), (a, b), FALSE)                            \
    /* not called: kept for the table's documented shape */                                        \
    X(UINT, GetSystemWow64DirectoryW, (LPWSTR a, UINT b), (a, b), 0)                               \
    /* not called: kept for the table's documented shape */                                        \
    X(UINT, GetWindowsDirectoryW, (LPWSTR a, UINT b), (a, b), 0)                                   \
    X(PVOID, EncodePointer, (PVOID a), (a), a)                                                     \
    X(PVOID, DecodePointer, (PVOID a), (a), a)                                                     \
    /* not called: kept for the table's documented shape */                                        \
    X(BOOL, IsDebuggerPresent, (), (), FALSE)                                                      \
    /* not called: kept for the table's documented shape */                                        \
    X(HANDLE, CreateEventW, (LPSECURITY_ATTRIBUTES a, BOOL b, BOOL c, LPCWSTR d), (a, b, c, d),    \
      nullptr)                                                                                     \
    X(BOOL, GetModuleHandleExW, (DWORD a, LPCWSTR b, HMODULE * c), (a, b, c),                      \
      SubstituteGetModuleHandleExW(a, b, c))                                                       \
    /* not called: kept for the table's documented shape */                                        \
    X(BOOL, HeapQueryInformation, (HANDLE a, int b, PVOID c, SIZE_T d, PSIZE_T e),                 \
      (a, b, c, d, e), FALSE)                                                                      \
    /* not called: kept for the table's documented shape */                                        \
    X(BOOL, SetFilePointerEx, (HANDLE a, LARGE_INTEGER b, PLARGE_INTEGER c, DWORD d),              \
      (a, b, c, d), FALSE)                                                                         \
    X(BOOL, GetVolumePathNameW, (LPCWSTR a, LPWSTR b, DWORD c), (a, b, c), FALSE)

#define SYSFN_WS2_32(X)                                                                            \
    /* not called: kept for the table's documented shape */                                        \
    X(void, freeaddrinfo, (void* a), (a), void())                                                  \
    /* not called: kept for the table's documented shape */                                        \
    X(int, getaddrinfo, (const char* a, const char* b, const void* c, void** d), (a, b, c, d),     \
      WSANO_RECOVERY_CODE)

#define SYSFN_NTDLL(X)                                                                             \
    /* not called: kept for the table's documented shape */                                        \
    X(void, RtlInitUnicodeString, (void* a, PCWSTR b), (a, b), void())                             \
    /* not called: kept for the table's documented shape */                                        \
    X(LONG, RtlUnicodeStringToAnsiString, (void* a, void* b, BOOLEAN c), (a, b, c),                \
      STATUS_NOT_IMPLEMENTED_CODE)                                                                 \
    X(LONG, RtlGetVersion, (PRTL_OSVERSIONINFOW a), (a), STATUS_NOT_IMPLEMENTED_CODE)              \
    /* not called: kept for the table's documented shape */                                        \
    X(LONG, NtQueryInformationProcess, (HANDLE a, int b, PVOID c, ULONG d, PULONG e),              \
      (a, b, c, d, e), STATUS_NOT_IMPLEMENTED_CODE)                                                \
    /* every open of a walked name: relative to its folder's handle, never through a link */      \
    X(LONG, NtCreateFile,                                                                          \
      (PHANDLE a, ACCESS_MASK b, void* c, void* d, PLARGE_INTEGER e, ULONG f, ULONG g, ULONG h,    \
       ULONG i, PVOID j, ULONG k),                                                                 \
      (a, b, c, d, e, f, g, h, i, j, k), STATUS_NOT_IMPLEMENTED_CODE)                              \
    X(LONG, NtQueryDirectoryFile,                                                                  \
      (HANDLE a, HANDLE b, PVOID c, PVOID d, void* e, PVOID f, ULONG g, int h, BOOLEAN i, void* j, \
       BOOLEAN k),                                                                                 \
      (a, b, c, d, e, f, g, h, i, j, k), STATUS_NOT_IMPLEMENTED_CODE)                              \
    X(LONG, NtSetInformationFile, (HANDLE a, void* b, PVOID c, ULONG d, int e), (a, b, c, d, e),   \
      STATUS_NOT_IMPLEMENTED_CODE)                                                                 \
    X(LONG, NtQueryInformationFile, (HANDLE a, void* b, PVOID c, ULONG d, int e),                  \
      (a, b, c, d, e), STATUS_NOT_IMPLEMENTED_CODE)                                                \
    X(LONG, NtQueryVolumeInformationFile, (HANDLE a, void* b, PVOID c, ULONG d, int e),            \
      (a, b, c, d, e), STATUS_NOT_IMPLEMENTED_CODE)                                                \
    X(ULONG, RtlNtStatusToDosError, (LONG a), (a), ERROR_INVALID_FUNCTION)

#define SYSFN_NETAPI32(X)                                                                          \
    /* not called: kept for the table's documented shape */                                        \
    X(DWORD, NetServerGetInfo, (LPWSTR a, DWORD b, LPBYTE * c), (a, b, c), ERROR_NOT_SUPPORTED)    \
    /* not called: kept for the table's documented shape */                                        \
    X(DWORD, NetApiBufferFree, (LPVOID a), (a), ERROR_NOT_SUPPORTED)

#define SYSFN_SHELL32(X)                                                                           \
    /* not called: kept for the table's documented shape */                                        \
    X(HRESULT, SHGetFolderPathW, (HWND a, int b, HANDLE c, DWORD d, LPWSTR e), (a, b, c, d, e),    \
      E_NOTIMPL)

#define SYSFN_OLE32(X)                                                                             \
    X(HRESULT, CoInitializeEx, (LPVOID a, DWORD b), (a, b), S_FALSE)                               \
    /* not called: kept for the table's documented shape */                                        \
    X(HRESULT, CoCreateInstance, (const GUID& a, void* b, DWORD c, const GUID& d, LPVOID* e),      \
      (a, b, c, d, e), E_NOTIMPL)

#define SYSFN_VERSION(X)                                                                           \
    /* not called: kept for the table's documented shape */                                        \
    X(BOOL, GetFileVersionInfoW, (LPCWSTR a, DWORD b, DWORD c, LPVOID d), (a, b, c, d), FALSE)     \
    /* not called: kept for the table's documented shape */                                        \
    X(BOOL, VerQueryValueW, (LPCVOID a, LPCWSTR b, LPVOID * c, PUINT d), (a, b, c, d), FALSE)      \
    X(DWORD, GetFileVersionInfoSizeW, (LPCWSTR a, LPDWORD b), (a, b), 0)

// Not bound at load time: a static import would pull its dependencies from the
// application's directory before any search restriction is in force.
#define SYSFN_CRYPT32(X)                                                                           \
    X(BOOL, CryptStringToBinaryA,                                                                  \
      (LPCSTR a, DWORD b, DWORD c, BYTE * d, DWORD * e, DWORD * f, DWORD * g),                     \
      (a, b, c, d, e, f, g), FALSE)

// library file name, list
#define SYSFN_LIBRARIES(L)                                                                         \
    L(advapi32, L"advapi32.dll", SYSFN_ADVAPI32)                                                   \
    L(ieframe, L"ieframe.dll", SYSFN_IEFRAME)                                                      \
    L(psapi, L"psapi.dll", SYSFN_PSAPI)                                                            \
    L(kernel32, L"kernel32.dll", SYSFN_KERNEL32)                                                   \
    L(ws2_32, L"ws2_32.dll", SYSFN_WS2_32)                                                         \
    L(ntdll, L"ntdll.dll", SYSFN_NTDLL)                                                            \
    L(netapi32, L"netapi32.dll", SYSFN_NETAPI32)                                                   \
    L(shell32, L"shell32.dll", SYSFN_SHELL32)                                                      \
    L(ole32, L"ole32.dll", SYSFN_OLE32)                                                            \
    L(version, L"version.dll", SYSFN_VERSION)                                                      \
    L(crypt32, L"crypt32.dll", SYSFN_CRYPT32)
