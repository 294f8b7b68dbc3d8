#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cryptopp/salsa.h>

#include "platform/unique_handle.h"

/// Encrypts a file's data chunk by chunk, carrying its state from one chunk to the next.
class FileCipher {
public:
    virtual ~FileCipher() = default;
    /// Encrypts length bytes in place; the last chunk may grow up to capacity by its padding.
    [[nodiscard]] virtual bool Encrypt(BYTE* data, DWORD& length, DWORD capacity, bool last) = 0;
};

/// AES-256-CBC through CryptoAPI.
class AesFileCipher : public FileCipher {
public:
    [[nodiscard]] bool Init(const BYTE (&key)[32], const BYTE (&iv)[16]);
    [[nodiscard]] bool Encrypt(BYTE* data, DWORD& length, DWORD capacity, bool last) override;

private:
    UniqueCryptProvider context;
    UniqueCryptKey aesKey; // destroyed before its context
};

/// Salsa20 with 20 rounds through Crypto++.
class Salsa20FileCipher : public FileCipher {
public:
    Salsa20FileCipher(const BYTE (&key)[32], const BYTE (&nonce)[8]);
    [[nodiscard]] bool Encrypt(BYTE* data, DWORD& length, DWORD capacity, bool last) override;

private:
    CryptoPP::Salsa20::Encryption salsa;
};
