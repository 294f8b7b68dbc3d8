#include "cleaner/key_database.h"

#include <cryptopp/sha.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cleaner/filecoder_cleaner.h"
#include "cleaner/key_scramble.h"
#include "cleaner/little_endian.h"
#include "logging/lines.h"
#include "platform/system_functions.h"
#include "platform/unique_handle.h"
#include "streams/path_helpers.h"

namespace {

constexpr WORD KeyResourceId = 101;
constexpr size_t HeaderSize = 8;
constexpr size_t BlockSize = 32;
constexpr uint32_t NewestFormatVersion = 3;
constexpr size_t BodyHeadSize = 8;
constexpr size_t RecordLengthSize = 4;

KeyResource ResourceFailure(const wchar_t* code) {
    LogLine(prefix::Error, code + FormatLastError());
    return {};
}

constexpr uint32_t Broadcast(uint8_t value) {
    return value * 0x01010101u;
}

// Adds four bytes lane by lane: the high bits are summed apart so no carry crosses a lane.
uint32_t AddPerByte(uint32_t lanes, uint32_t addend) {
    const uint32_t low = (lanes & 0x7F7F7F7Fu) + (addend & 0x7F7F7F7Fu);
    return low ^ ((lanes ^ addend) & 0x80808080u);
}

void DescrambleBlock(uint8_t* block) {
    uint32_t lanes[BlockSize / sizeof(uint32_t)];
    std::memcpy(lanes, block, BlockSize);
    for (uint32_t& lane : lanes) {
        lane = AddPerByte(lane, Broadcast(key_scramble::Add1)) ^ Broadcast(key_scramble::Xor1);
        lane = AddPerByte(lane, Broadcast(key_scramble::Add2)) ^ Broadcast(key_scramble::Xor2);
    }
    std::memcpy(block, lanes, BlockSize);
}

} // namespace

KeyResource LoadKeyResource() {
    const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(KeyResourceId), RT_RCDATA);
    if (found == nullptr) {
        return ResourceFailure(L"ERR_LRES02, ");
    }
    const HGLOBAL loaded = LoadResource(nullptr, found);
    if (loaded == nullptr) {
        return ResourceFailure(L"ERR_LRES03, ");
    }
    const void* locked = LockResource(loaded);
    if (locked == nullptr) {
        return ResourceFailure(L"ERR_LRES04, ");
    }
    const DWORD size = SizeofResource(nullptr, found);
    if (size == 0) {
        return ResourceFailure(L"ERR_LRES05, ");
    }
    return {static_cast<const uint8_t*>(locked), size};
}

void DescrambleBuffer(uint8_t* buffer, size_t length) {
    if (buffer == nullptr) {
        return;
    }
    const size_t blocked = length - length % BlockSize;
    for (size_t offset = 0; offset < blocked; offset += BlockSize) {
        DescrambleBlock(buffer + offset);
    }
    for (size_t i = blocked; i < length; ++i) {
        buffer[i] = key_scramble::DescrambleByte(buffer[i]);
    }
}

std::vector<uint8_t> ReadKeyDatabase(const KeyResource& resource) {
    if (resource.data != nullptr && resource.size > HeaderSize) {
        uint8_t header[HeaderSize];
        std::memcpy(header, resource.data, HeaderSize);
        DescrambleBuffer(header, HeaderSize);
        if (std::memcmp(header, "OVIX", 4) == 0 && ReadUint32(header + 4) == resource.size) {
            std::vector<uint8_t> body(resource.data + HeaderSize, resource.data + resource.size);
            DescrambleBuffer(body.data(), body.size());
            return body;
        }
        LogLine(prefix::Info, L"Resource has corrupted header, it is probably invalid");
    }
    LogLine(prefix::Error, L"Can't read key from resource");
    return {};
}

HCRYPTKEY ImportKey(const char* text, DWORD length) {
    // A length of 0 would make the decoder look for a terminator that record text does not have.
    if (length == 0) {
        return 0;
    }
    DWORD size = 0;
    if (!sys::CryptStringToBinaryA(text, length, CRYPT_STRING_BASE64, nullptr, &size, nullptr,
                                   nullptr)) {
        return 0;
    }
    std::vector<BYTE> blob(size);
    if (!sys::CryptStringToBinaryA(text, length, CRYPT_STRING_BASE64, blob.data(), &size, nullptr,
                                   nullptr)) {
        return 0;
    }
    UniqueCryptProvider context;
    if (!CryptAcquireContextW(context.put(), nullptr, nullptr, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT) &&
        GetLastError() == static_cast<DWORD>(NTE_BAD_KEYSET)) {
        (void)CryptAcquireContextW(context.put(), nullptr, nullptr, PROV_RSA_FULL, CRYPT_NEWKEYSET);
    }
    if (!context) {
        return 0;
    }
    HCRYPTKEY key = 0;
    if (!CryptImportKey(context.get(), blob.data(), size, 0, 0, &key)) {
        return 0;
    }
    // The key is only usable inside its context, and keys are kept until the process ends.
    context.release();
    return key;
}

bool LoadKeyTable(std::unique_ptr<HCRYPTKEY[]>& table, uint32_t& count, KeySetIdentity& identity) {
    return ImportKeyTable(ReadKeyDatabase(LoadKeyResource()), table, count, identity);
}

KeyRecords FindKeyRecords(const std::vector<uint8_t>& body) {
    KeyRecords records;
    if (body.size() < 4) {
        return records;
    }
    if (ReadUint32(body.data()) > NewestFormatVersion) {
        records.newer = true;
        return records;
    }
    if (body.size() < BodyHeadSize) {
        return records;
    }
    records.usable = true;
    const uint32_t stored = ReadUint32(body.data() + 4);
    size_t offset = BodyHeadSize;
    // Bounded by the body, never by the stored count alone: a record takes at least its length.
    while (records.texts.size() < stored && body.size() - offset >= RecordLengthSize) {
        const uint32_t length = ReadUint32(body.data() + offset);
        if (length > body.size() - offset - RecordLengthSize) {
            break;
        }
        records.texts.emplace_back(offset + RecordLengthSize, length);
        offset += RecordLengthSize + length;
    }
    return records;
}

std::wstring KeySetFingerprint(const std::vector<uint8_t>& body, const KeyRecords& records) {
    // The records lie one after the other from the end of the body's head.
    const size_t end = records.texts.empty()
                           ? BodyHeadSize
                           : records.texts.back().first + records.texts.back().second;
    CryptoPP::SHA256 hash;
    if (end > BodyHeadSize) {
        hash.Update(body.data() + BodyHeadSize, end - BodyHeadSize);
    }
    uint8_t digest[CryptoPP::SHA256::DIGESTSIZE];
    hash.Final(digest);
    std::wstring text;
    for (size_t i = 0; i < 8; ++i) {
        wchar_t digits[3];
        std::swprintf(digits, 3, L"%02x", digest[i]);
        text += digits;
    }
    return text;
}

bool ImportKeyTable(const std::vector<uint8_t>& body, std::unique_ptr<HCRYPTKEY[]>& table,
                    uint32_t& count, KeySetIdentity& identity) {
    const KeyRecords records = FindKeyRecords(body);
    if (records.newer) {
        LogLine(prefix::Info, L"This variant is not supported (version error).");
    }
    if (!records.usable) {
        return false;
    }
    identity.records = static_cast<uint32_t>(records.texts.size());
    identity.fingerprint = KeySetFingerprint(body, records);
    table = std::make_unique<HCRYPTKEY[]>(records.texts.size());
    uint32_t stored = 0;
    uint32_t number = 0;
    for (const auto& [offset, length] : records.texts) {
        ++number;
        const HCRYPTKEY key =
            ImportKey(reinterpret_cast<const char*>(body.data() + offset), length);
        if (key == 0) {
            // The files of the other keys can still be cleaned.
            LogLine(prefix::Warning, L"Key record " + std::to_wstring(number) + L" of " +
                                         std::to_wstring(identity.records) +
                                         L" can't be imported, " + FormatLastError() +
                                         L"; the other keys are loaded.");
            continue;
        }
        table[stored++] = key;
    }
    count = stored;
    return true;
}

bool FilecoderCleaner::LoadKeys() {
    KeySetIdentity identity;
    if (!LoadKeyTable(keyTable, keyCount, identity)) {
        return false;
    }
    LogLine(log_text::KeysLoaded,
            log_text::KeysLoadedText(keyCount, identity.records, identity.fingerprint));
    return true;
}
