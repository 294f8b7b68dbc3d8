// Turns plain files into encrypted samples of the family's file variants, for tests and demos.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cleaner/key_database.h"
#include "key_list.h"
#include "options.h"
#include "public_key.h"
#include "sample_writer.h"
#include "streams/path_helpers.h"

namespace {

int Fail(const std::wstring& error) {
    fwprintf(stderr, L"BristokeSampleWriter: %ls\n", error.c_str());
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    SampleOptions options;
    std::wstring error;
    if (!ParseOptions(argc, argv, options, error)) {
        fwprintf(stderr, L"BristokeSampleWriter: %ls\n%ls", error.c_str(), SampleWriterUsage);
        return 2;
    }
    std::string entry;
    if (!ReadKeyEntry(options.keyList, options.keyIndex, entry, error)) {
        return Fail(error);
    }
    // Only the public half encrypts, in a context of its own, as the family has no private keys.
    const HCRYPTKEY privateKey = ImportKey(entry.data(), static_cast<DWORD>(entry.size()));
    std::vector<BYTE> publicBlob;
    PublicKeyEncryptor rsa;
    if (privateKey == 0 || !ExportPublicKey(privateKey, publicBlob) || !rsa.Init(publicBlob)) {
        return Fail(L"key " + std::to_wstring(options.keyIndex) + L" of " + options.keyList +
                    L" is not a usable RSA key, " + FormatLastError());
    }
    for (const std::wstring& input : options.inputs) {
        std::wstring output;
        if (!WriteSample(options, rsa, input, output, error)) {
            return Fail(error);
        }
        wprintf(L"%ls\n", output.c_str());
    }
    return 0;
}
