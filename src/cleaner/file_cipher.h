#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cryptopp/salsa.h>

#include <cstdint>
#include <string>

#include "cleaner/format.h"
#include "logging/failure.h"
#include "platform/unique_handle.h"

/// The cipher of one file, as its variant's layout names it. Decrypts in place, chunk after
/// chunk.
class FileCipher {
public:
    /// Keys the cipher from the recovered blocks; on failure, says why.
    [[nodiscard]] bool SetUp(const VariantFormat& layout, const Footer& footer, Failure& failure);

    /// Decrypts length bytes; an AES call with removePadding may shorten length. False leaves the
    /// system's last error.
    [[nodiscard]] bool Decrypt(uint8_t* data, uint32_t& length, bool removePadding);

private:
    bool aes = false;
    UniqueCryptProvider provider;
    UniqueCryptKey key;
    CryptoPP::Salsa20::Encryption salsa;
};
