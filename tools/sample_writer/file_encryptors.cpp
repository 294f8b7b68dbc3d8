#include "file_encryptors.h"

#include "cleaner/aes_key_blob.h"

bool AesFileEncryptor::Init(const BYTE (&key)[format::KeyLength],
                            const BYTE (&iv)[format::AesBlockLength]) {
    AesKeyBlob blob;
    FillAesKeyBlob(blob, key);
    DWORD mode = CRYPT_MODE_CBC;
    aesKey.reset();
    const bool ready =
        CryptAcquireContextW(context.put(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
        CryptImportKey(context.get(), reinterpret_cast<const BYTE*>(&blob), sizeof blob, 0, 0,
                       aesKey.put()) &&
        CryptSetKeyParam(aesKey.get(), KP_MODE, reinterpret_cast<BYTE*>(&mode), 0) &&
        CryptSetKeyParam(aesKey.get(), KP_IV, iv, 0);
    SecureZeroMemory(&blob, sizeof blob);
    return ready;
}

bool AesFileEncryptor::Encrypt(BYTE* data, DWORD& length, DWORD capacity, bool last) {
    // The family pads only data that does not fill its last block: whole blocks go out as they are.
    const BOOL final = last && (length % format::AesBlockLength != 0 || length == 0);
    return CryptEncrypt(aesKey.get(), 0, final, 0, data, &length, capacity);
}

Salsa20FileEncryptor::Salsa20FileEncryptor(const BYTE (&key)[format::KeyLength],
                                           const BYTE (&nonce)[format::SalsaNonceLength]) {
    salsa.SetKeyWithIV(key, sizeof key, nonce, sizeof nonce);
}

bool Salsa20FileEncryptor::Encrypt(BYTE* data, DWORD& length, DWORD, bool) {
    salsa.ProcessData(data, data, length);
    return true;
}
