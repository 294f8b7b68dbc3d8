#include "public_key.h"

#include <cstring>

bool ExportPublicKey(HCRYPTKEY key, std::vector<BYTE>& blob) {
    DWORD size = 0;
    if (!CryptExportKey(key, 0, PUBLICKEYBLOB, 0, nullptr, &size)) {
        return false;
    }
    blob.resize(size);
    if (!CryptExportKey(key, 0, PUBLICKEYBLOB, 0, blob.data(), &size)) {
        return false;
    }
    blob.resize(size);
    return true;
}

bool PublicKeyEncryptor::Init(const std::vector<BYTE>& publicBlob) {
    key.reset();
    return CryptAcquireContextW(context.put(), nullptr, nullptr, PROV_RSA_FULL,
                                CRYPT_VERIFYCONTEXT) &&
           CryptImportKey(context.get(), publicBlob.data(), static_cast<DWORD>(publicBlob.size()),
                          0, 0, key.put());
}

bool PublicKeyEncryptor::Encrypt(const BYTE* data, DWORD length, std::vector<BYTE>& block) const {
    DWORD blockSize = length;
    if (!CryptEncrypt(key.get(), 0, TRUE, 0, nullptr, &blockSize, 0)) {
        return false;
    }
    block.assign(blockSize, 0);
    std::memcpy(block.data(), data, length);
    DWORD used = length;
    if (!CryptEncrypt(key.get(), 0, TRUE, 0, block.data(), &used, blockSize)) {
        return false;
    }
    block.resize(used);
    return true;
}
