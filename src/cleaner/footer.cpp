#include "cleaner/footer.h"

#include <algorithm>
#include <cstring>

#include "cleaner/filecoder_cleaner.h"
#include "cleaner/little_endian.h"
#include "logging/file_stream_mod.h"
#include "platform/system_functions.h"

namespace {

constexpr const wchar_t* NotValid = L"Not valid Bristoke file.";
constexpr const wchar_t* FooterMismatch = L"Not valid Bristoke file. Footer doesn't match.";

/// AES data is the plain size rounded up to whole 16-byte blocks, and never empty.
bool AesSizesAgree(uint64_t plainSize, uint64_t dataLength) {
    const uint64_t rest = plainSize % 16;
    const uint64_t expected = rest == 0 ? plainSize : plainSize + 16 - rest;
    return dataLength == expected && dataLength >= 16;
}

/// RSA PKCS #1 v1.5 decryption of a copy of both blocks; they are replaced only on success.
bool TryKey(HCRYPTKEY key, Footer& footer) {
    uint8_t keyBlock[footer::RsaBlockLength];
    uint8_t ivBlock[footer::RsaBlockLength];
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

bool FilecoderCleaner::ReadFooter(FileStreamMod& input, uint64_t fileSize, Footer& result,
                                  std::wstring& message) {
    message.clear();
    switch (variant) {
    case 1: {
        // A file too short for the probe fails here rather than through a seek before the start.
        uint8_t last[8];
        if (fileSize < sizeof last || !input.SetPosition(fileSize - sizeof last) ||
            input.Read(last, sizeof last) != sizeof last) {
            message = NotValid;
            return false;
        }
        const bool allZero =
            std::all_of(last, last + sizeof last, [](uint8_t b) { return b == 0; });
        if (!allZero) {
            variant = 3;
        }
        result.footerLength = allZero ? footer::Variant1Length : footer::Variant34Length;
        break;
    }
    case 4:
        result.footerLength = footer::Variant34Length;
        break;
    case 5:
        result.footerLength = footer::Variant5Length;
        break;
    default:
        message = NotValid;
        return false;
    }
    if (fileSize < result.footerLength) {
        message = NotValid;
        return false;
    }
    uint8_t bytes[footer::Variant5Length];
    const uint32_t length = static_cast<uint32_t>(result.footerLength);
    if (!input.SetPosition(fileSize - length) || input.Read(bytes, length) != length) {
        return false;
    }
    std::memcpy(result.keyBlock, bytes, footer::RsaBlockLength);
    std::memcpy(result.ivBlock, bytes + footer::RsaBlockLength, footer::RsaBlockLength);
    const uint64_t beforeFooter = fileSize - length;
    if (variant == 5) {
        const uint64_t product = ReadUint64(bytes + 520) * ReadUint32(bytes + 528);
        result.plainSize = beforeFooter;
        result.dataLength = std::min(product, beforeFooter);
    } else {
        result.plainSize = ReadUint64(bytes + 512);
        result.dataLength = beforeFooter;
    }
    if (variant < 4 && !AesSizesAgree(result.plainSize, result.dataLength)) {
        message = FooterMismatch;
        return false;
    }
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
