#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "platform/unique_handle.h"

/// The public half of a key handle as a PUBLICKEYBLOB.
[[nodiscard]] bool ExportPublicKey(HCRYPTKEY key, std::vector<BYTE>& blob);

/// RSA PKCS #1 v1.5 encryption under a public key alone, in a provider context of its own.
class PublicKeyEncryptor {
public:
    [[nodiscard]] bool Init(const std::vector<BYTE>& publicBlob);
    /// A block as CryptEncrypt writes it: least significant byte first, one modulus long.
    [[nodiscard]] bool Encrypt(const BYTE* data, DWORD length, std::vector<BYTE>& block) const;

private:
    UniqueCryptProvider context;
    UniqueCryptKey key; // destroyed before its context
};
