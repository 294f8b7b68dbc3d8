#include "cleaner/file_cipher.h"

#include "cleaner/aes_key_blob.h"

namespace {

bool AcquireAesContext(UniqueCryptProvider& provider) {
    if (sys::CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_AES,
                                  CRYPT_VERIFYCONTEXT)) {
        return true;
    }
    return GetLastError() == static_cast<DWORD>(NTE_BAD_KEYSET) &&
           sys::CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_AES,
                                     CRYPT_NEWKEYSET);
}

} // namespace

bool FileCipher::SetUp(const VariantFormat& layout, const Footer& footer, Failure& failure) {
    aes = layout.cipher == FileCipherKind::Aes256Cbc;
    if (!aes) {
        salsa.SetKeyWithIV(footer.keyBlock, format::KeyLength, footer.ivBlock, layout.ivLength);
        return true;
    }
    AesKeyBlob blob;
    FillAesKeyBlob(blob, footer.keyBlock);
    const bool ready = [&] {
        if (!AcquireAesContext(provider)) {
            failure = Failure(L"Unable to initialize crypto context.");
            return false;
        }
        if (!sys::CryptImportKey(provider.get(), reinterpret_cast<const BYTE*>(&blob), sizeof blob,
                                 0, 0, key.put())) {
            failure = Failure(L"Unable to import decrypted key.");
            return false;
        }
        const DWORD mode = CRYPT_MODE_CBC;
        if (!sys::CryptSetKeyParam(key.get(), KP_MODE, reinterpret_cast<const BYTE*>(&mode), 0)) {
            failure = Failure(L"Unable to set AES mode.");
            return false;
        }
        if (!sys::CryptSetKeyParam(key.get(), KP_IV, footer.ivBlock, 0)) {
            failure = Failure(L"Unable to set AES IV.");
            return false;
        }
        return true;
    }();
    // The file key must not outlive its use in a readable buffer.
    SecureZeroMemory(&blob, sizeof blob);
    return ready;
}

bool FileCipher::Decrypt(uint8_t* data, uint32_t& length, bool removePadding) {
    if (!aes) {
        salsa.ProcessData(data, data, length);
        return true;
    }
    DWORD count = length;
    if (sys::CryptDecrypt(key.get(), 0, removePadding, 0, data, &count)) {
        length = count;
        return true;
    }
    // Padding that does not check out leaves the block decrypted; the caller cuts to size. Any
    // other failure leaves nothing to keep.
    return removePadding && GetLastError() == static_cast<DWORD>(NTE_BAD_DATA);
}
