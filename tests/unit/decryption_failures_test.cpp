// Every line a failed decryption writes, each made to happen: through the cleaning of a crafted
// file where the file itself can cause it, through the cipher's set-up where only the system
// can. The file stream's own lines ("Can't open file [", "Can't create file [", short reads and
// writes) are file_stream_mod_test's; "Can't decrypt data of file [" needs a key that opens the
// footer (e2e/test_output_names.py), "Can't get output filename." a path (e2e/test_decrypt.py).
#include <doctest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "cleaner/file_cipher.h"
#include "cleaner/filecoder_cleaner.h"
#include "log_capture.h"
#include "streams/folder.h"
#include "logging/console_handler.h"
#include "memory_screen.h"
#include "test_support.h"

namespace {

using Bytes = std::vector<unsigned char>;

/// A footer spelled out: 512 bytes of RSA blocks that no key opens, then the plain size, and a
/// zero mark of 8 bytes when zeroMarked (a 528-byte footer, else 520).
Bytes File(size_t dataBytes, uint64_t plainSize, bool zeroMarked) {
    Bytes bytes(dataBytes, 0x5A);
    for (int i = 0; i < 512; ++i) {
        bytes.push_back(static_cast<unsigned char>(i % 251 + 1));
    }
    for (int i = 0; i < 8; ++i) {
        bytes.push_back(static_cast<unsigned char>(plainSize >> (8 * i)));
    }
    if (zeroMarked) {
        bytes.insert(bytes.end(), 8, 0);
    }
    return bytes;
}

BOOL WINAPI NoFreeSpace(LPCWSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER) {
    SetLastError(ERROR_NOT_READY);
    return FALSE;
}

BOOL WINAPI TenBytesFree(LPCWSTR, PULARGE_INTEGER available, PULARGE_INTEGER, PULARGE_INTEGER) {
    available->QuadPart = 10;
    return TRUE;
}

int setKeyParamCalls = 0;
int failingSetKeyParam = 0;

BOOL WINAPI NoContext(HCRYPTPROV*, LPCWSTR, LPCWSTR, DWORD, DWORD) {
    SetLastError(static_cast<DWORD>(NTE_BAD_KEYSET));
    return FALSE;
}

BOOL WINAPI NoImport(HCRYPTPROV, const BYTE*, DWORD, HCRYPTKEY, DWORD, HCRYPTKEY*) {
    return FALSE;
}

/// Fails the call numbered failingSetKeyParam (from 1); the others reach the system.
BOOL WINAPI SetKeyParamFailingOnce(HCRYPTKEY key, DWORD param, const BYTE* data, DWORD flags) {
    return ++setKeyParamCalls == failingSetKeyParam ? FALSE
                                                    : CryptSetKeyParam(key, param, data, flags);
}

} // namespace

TEST_CASE("CleaningFailures_EveryLineOfAFailedDecryption_OnceFromTheOnePlaceThatLogsIt") {
    const PrivateCurrentUser user;
    const CounterScope counter(BackupNotInitialised);
    FilecoderCleaner cleaner;
    REQUIRE(cleaner.Init());
    struct Case {
        const char* what;
        const wchar_t* name;
        Bytes bytes;
        std::function<void(FakeSystemFunctions&)> stage;
        /// The lines after "Decrypting [...]", with "%s" for the output's path.
        std::vector<std::wstring> lines;
    } cases[] = {
        {"shorter than any footer",
         L"a.doc.BRSK",
         Bytes(5, 1),
         nullptr,
         {L"INFO: Not valid Bristoke file."}},
        {"AES data short of its plain size",
         L"b.doc.BRSK",
         File(16, 100, true),
         nullptr,
         {L"INFO: Not valid Bristoke file. Footer doesn't match."}},
        {"no key opens the footer",
         L"c.doc.QOVY",
         File(30, 30, false),
         nullptr,
         {L"INFO: Loaded keys don't match."}},
        {"the free space cannot be read: said, and the decryption goes on",
         L"d.doc.QOVY",
         File(30, 30, false),
         [](FakeSystemFunctions& fake) { fake.Replace("GetDiskFreeSpaceExW", NoFreeSpace); },
         {L"INFO: Can't read the free space for [%s], GLE(0x00000015)",
          L"INFO: Loaded keys don't match."}},
        {"not enough free space",
         L"e.doc.QOVY",
         File(30, 30, false),
         [](FakeSystemFunctions& fake) { fake.Replace("GetDiskFreeSpaceExW", TenBytesFree); },
         {L"INFO: Not enough free space for [%s]: 30 bytes needed, 10 bytes free."}},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        const TempDir dir;
        const std::wstring path = dir / c.name;
        const std::wstring output = path.substr(0, path.rfind(L'.'));
        WriteBytes(path, c.bytes);
        FakeSystemFunctions fake;
        if (c.stage) {
            c.stage(fake);
        }
        MemoryScreen screen(80, 10);
        ConsoleHandler console(screen);
        ProgressIndicator row(console, L"Cleaning");
        const LogCapture log;
        const FolderEntry file{HeldFolder::OpenPath(dir.path()), c.name};
        REQUIRE(static_cast<bool>(file.folder));
        CHECK(cleaner.Clean(file, row) == CleanerResult::Failed);
        std::vector<std::wstring> expected;
        for (std::wstring line : c.lines) {
            const size_t at = line.find(L"%s");
            expected.push_back(at == std::wstring::npos ? line : line.replace(at, 2, output));
        }
        expected.push_back(L"ERROR: Not cleaned");
        std::vector<std::wstring> lines = log.Lines();
        const auto decrypting = std::find_if(lines.begin(), lines.end(), [](const std::wstring& l) {
            return l.compare(0, 18, L"INFO: Decrypting [") == 0;
        });
        REQUIRE(decrypting != lines.end());
        CHECK(std::vector<std::wstring>(decrypting + 1, lines.end()) == expected);
        // The encrypted file is back where it was, whole.
        CHECK(ReadBytes(path) == c.bytes);
        std::vector<std::wstring> left = FindNames(dir.path(), L"*");
        left.erase(std::remove_if(left.begin(), left.end(),
                                  [](const std::wstring& n) { return n == L"." || n == L".."; }),
                   left.end());
        CHECK(left == std::vector<std::wstring>{c.name});
    }
}

TEST_CASE("FileCipher_SetUpRefusedBySystem_TheStepsText") {
    struct Case {
        const char* what;
        std::function<void(FakeSystemFunctions&)> stage;
        const wchar_t* text;
    } cases[] = {
        {"no context, also with a new key set",
         [](FakeSystemFunctions& fake) { fake.Replace("CryptAcquireContextW", NoContext); },
         L"Unable to initialize crypto context."},
        {"the key not imported",
         [](FakeSystemFunctions& fake) { fake.Replace("CryptImportKey", NoImport); },
         L"Unable to import decrypted key."},
        {"the mode not set",
         [](FakeSystemFunctions& fake) {
             failingSetKeyParam = 1;
             fake.Replace("CryptSetKeyParam", SetKeyParamFailingOnce);
         },
         L"Unable to set AES mode."},
        {"the IV not set",
         [](FakeSystemFunctions& fake) {
             failingSetKeyParam = 2;
             fake.Replace("CryptSetKeyParam", SetKeyParamFailingOnce);
         },
         L"Unable to set AES IV."},
    };
    const Footer footer;
    for (const Case& c : cases) {
        INFO(c.what);
        setKeyParamCalls = 0;
        FakeSystemFunctions fake;
        c.stage(fake);
        Failure failure;
        FileCipher cipher;
        CHECK_FALSE(cipher.SetUp(*FormatOf(Variant{1}), footer, failure));
        CHECK(failure.Line() == c.text);
    }
    Failure failure;
    FileCipher aes;
    CHECK(aes.SetUp(*FormatOf(Variant{1}), footer, failure));
    FileCipher salsa;
    CHECK(salsa.SetUp(*FormatOf(Variant{4}), footer, failure));
    CHECK(failure.text.empty());
}
