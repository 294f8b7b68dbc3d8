#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstring>

#include "cleaner/format.h"

/// An AES-256 key as CryptImportKey takes it in plain text: 44 bytes, the key last. Whoever
/// fills one wipes it once the key is imported.
struct AesKeyBlob {
    BLOBHEADER header;
    DWORD keyLength;
    BYTE key[format::KeyLength];
};

inline void FillAesKeyBlob(AesKeyBlob& blob, const BYTE* key) {
    blob.header.bType = PLAINTEXTKEYBLOB;
    blob.header.bVersion = CUR_BLOB_VERSION;
    blob.header.reserved = 0;
    blob.header.aiKeyAlg = CALG_AES_256;
    blob.keyLength = sizeof blob.key;
    std::memcpy(blob.key, key, sizeof blob.key);
}
