#include <cstring>

#include "cleaner/filecoder_cleaner.h"
#include "logging/failure.h"
#include "logging/file_stream_mod.h"
#include "platform/system_functions.h"

namespace {

/// RSA PKCS #1 v1.5 decryption of a copy of both blocks; they are replaced only on success.
bool TryKey(HCRYPTKEY key, Footer& footer) {
    uint8_t keyBlock[format::RsaBlockLength];
    uint8_t ivBlock[format::RsaBlockLength];
    std::memcpy(keyBlock, footer.keyBlock, sizeof keyBlock);
    std::memcpy(ivBlock, footer.ivBlock, sizeof ivBlock);
    DWORD length = sizeof keyBlock;
    if (!sys::CryptDecrypt(key, 0, TRUE, 0, keyBlock, &length)) {
        return false;
    }
    length = sizeof ivBlock;
    if (!sys::CryptDecrypt(key, 0, TRUE, 0, ivBlock, &length)) {
        return false;
    }
    std::memcpy(footer.keyBlock, keyBlock, sizeof keyBlock);
    std::memcpy(footer.ivBlock, ivBlock, sizeof ivBlock);
    return true;
}

} // namespace

bool FilecoderCleaner::ReadFooter(FileStreamMod& input, uint64_t fileSize, Footer& footer,
                                  Failure& failure) {
    uint8_t tail[format::LongestFooter];
    const uint32_t length = static_cast<uint32_t>(std::min<uint64_t>(fileSize, sizeof tail));
    // A read that comes back short is logged by the stream and refused by the parser.
    const uint32_t got = input.SetPosition(fileSize - length) ? input.Read(tail, length) : 0;
    const ParsedFooter parsed = ParseFooter(variant, tail, got == length ? length : 0, fileSize);
    if (!parsed.ok) {
        failure = Failure(parsed.message ? parsed.message : L"");
        return false;
    }
    variant = parsed.variant;
    footer = parsed.footer;
    return true;
}

bool FilecoderCleaner::RecoverFileKey(Footer& result) {
    if (lastKey != 0 && TryKey(lastKey, result)) {
        return true;
    }
    for (uint32_t i = 0; i < keyCount; ++i) {
        lastKey = keyTable[i];
        if (TryKey(lastKey, result)) {
            return true;
        }
    }
    return false;
}
