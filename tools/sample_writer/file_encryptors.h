#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cryptopp/salsa.h>

#include "cleaner/format.h"
#include "platform/unique_handle.h"

/// Encrypts a file's data chunk by chunk, carrying its state from one chunk to the next.
class FileEncryptor {
public:
    virtual ~FileEncryptor() = default;
    /// Encrypts length bytes in place; the last chunk may grow up to capacity by its padding.
    [[nodiscard]] virtual bool Encrypt(BYTE* data, DWORD& length, DWORD capacity, bool last) = 0;
};

/// AES-256-CBC through CryptoAPI.
class AesFileEncryptor : public FileEncryptor {
public:
    [[nodiscard]] bool Init(const BYTE (&key)[format::KeyLength],
                            const BYTE (&iv)[format::AesBlockLength]);
    [[nodiscard]] bool Encrypt(BYTE* data, DWORD& length, DWORD capacity, bool last) override;

private:
    UniqueCryptProvider context;
    UniqueCryptKey aesKey; // destroyed before its context
};

/// Salsa20 with 20 rounds through Crypto++.
class Salsa20FileEncryptor : public FileEncryptor {
public:
    Salsa20FileEncryptor(const BYTE (&key)[format::KeyLength],
                         const BYTE (&nonce)[format::SalsaNonceLength]);
    [[nodiscard]] bool Encrypt(BYTE* data, DWORD& length, DWORD capacity, bool last) override;

private:
    CryptoPP::Salsa20::Encryption salsa;
};
