// Loads the key database of its own resource as the cleaner's initialisation does, and reports
// how long that took, how many keys were loaded, and whether each key decrypts what its public
// half encrypted. Tests run copies with other resources; the key loading benchmark times it.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cleaner/key_database.h"
#include "logging/log_file.h"
#include "public_key.h"

namespace {

bool DecryptsItsOwnBlock(HCRYPTKEY key) {
    std::vector<BYTE> publicBlob;
    PublicKeyEncryptor encryptor;
    const BYTE probe[32] = "the key database probe message";
    std::vector<BYTE> block;
    if (!ExportPublicKey(key, publicBlob) || !encryptor.Init(publicBlob) ||
        !encryptor.Encrypt(probe, sizeof probe, block)) {
        return false;
    }
    DWORD length = static_cast<DWORD>(block.size());
    return CryptDecrypt(key, 0, TRUE, 0, block.data(), &length) && length == sizeof probe &&
           std::memcmp(block.data(), probe, sizeof probe) == 0;
}

/// The modulus in hex, most significant byte first, as openssl prints it.
std::string ModulusHex(HCRYPTKEY key) {
    std::vector<BYTE> blob;
    if (!ExportPublicKey(key, blob) || blob.size() < sizeof(BLOBHEADER) + sizeof(RSAPUBKEY)) {
        return "none";
    }
    RSAPUBKEY header;
    std::memcpy(&header, blob.data() + sizeof(BLOBHEADER), sizeof header);
    const size_t start = sizeof(BLOBHEADER) + sizeof(RSAPUBKEY);
    const size_t length = header.bitlen / 8;
    std::string hex;
    for (size_t i = std::min(blob.size(), start + length); i > start; --i) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", blob[i - 1]);
        hex += digits;
    }
    return hex;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fwprintf(stderr, L"usage: BristokeKeyProbe LOGFILE\n");
        return 2;
    }
    if (!TheLogFile.Open(argv[1])) {
        fwprintf(stderr, L"BristokeKeyProbe: cannot open the log %ls\n", argv[1]);
        return 2;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    std::unique_ptr<HCRYPTKEY[]> table;
    uint32_t count = 0;
    KeySetIdentity identity;
    QueryPerformanceCounter(&start);
    const bool loaded = LoadKeyTable(table, count, identity);
    QueryPerformanceCounter(&end);
    const double milliseconds =
        static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
    std::printf("loaded=%d keys=%u ms=%.3f records=%u fingerprint=%ls\n", loaded ? 1 : 0, count,
                milliseconds, identity.records, identity.fingerprint.c_str());
    for (uint32_t i = 0; i < count; ++i) {
        std::printf("key=%u usable=%d modulus=%s\n", i, DecryptsItsOwnBlock(table[i]) ? 1 : 0,
                    ModulusHex(table[i]).c_str());
    }
    TheLogFile.Close();
    return loaded ? 0 : 1;
}
