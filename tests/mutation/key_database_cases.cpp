#include "key_database_cases.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cleaner/key_database.h"
#include "cleaner/key_scramble.h"
#include "cleaner/little_endian.h"
#include "mutation_random.h"
#include "platform/unique_handle.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t HeaderSize = 8;
constexpr size_t BodyHeadSize = 8;

/// The inverse of key_scramble::DescrambleByte.
uint8_t ScrambleByte(uint8_t b) {
    b ^= key_scramble::Xor2;
    b = static_cast<uint8_t>(b - key_scramble::Add2);
    b ^= key_scramble::Xor1;
    return static_cast<uint8_t>(b - key_scramble::Add1);
}

/// Offsets of the records' length fields in a descrambled resource (header included).
std::vector<size_t> RecordOffsets(const Bytes& plain) {
    std::vector<size_t> offsets;
    size_t offset = HeaderSize + BodyHeadSize;
    while (offset + 4 <= plain.size()) {
        offsets.push_back(offset);
        const uint32_t length = ReadUint32(plain.data() + offset);
        if (length > plain.size() - offset - 4) {
            break;
        }
        offset += 4 + length;
    }
    return offsets;
}

/// Records present in a descrambled body, by their length fields alone.
uint32_t RecordsPresent(const Bytes& body) {
    Bytes withHeader(HeaderSize, 0);
    withHeader.insert(withHeader.end(), body.begin(), body.end());
    uint32_t present = 0;
    for (const size_t offset : RecordOffsets(withHeader)) {
        present += ReadUint32(withHeader.data() + offset) <= withHeader.size() - offset - 4;
    }
    return present;
}

const std::vector<uint32_t> Interesting32 = {0,   1,          2,          3,          4,
                                             255, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};

/// One change of the descrambled resource; returns what it did.
std::wstring MutateOnce(MutationRandom& random, Bytes& plain) {
    wchar_t text[120];
    const std::vector<size_t> records = RecordOffsets(plain);
    switch (random.Below(6)) {
    case 0: {
        // The header's total size, the version or the key count.
        const size_t offset = 4 + 4 * random.Below(3);
        const uint32_t value = random.Below(3) == 0 ? static_cast<uint32_t>(random.Next())
                                                    : random.Pick(Interesting32);
        PutLe(plain, offset, value, 4);
        swprintf(text, 120, L"word at %u = 0x%x", static_cast<unsigned>(offset), value);
        break;
    }
    case 1: {
        if (records.empty()) {
            return L"no record to change";
        }
        const size_t offset = random.Pick(records);
        const uint32_t length = ReadUint32(plain.data() + offset);
        const uint32_t value = random.Below(2) == 0
                                   ? random.Pick(Interesting32)
                                   : length + static_cast<uint32_t>(random.Below(9)) - 4;
        PutLe(plain, offset, value, 4);
        swprintf(text, 120, L"record length at %u = 0x%x", static_cast<unsigned>(offset), value);
        break;
    }
    case 2: {
        const uint64_t flips = 1 + random.Below(6);
        for (uint64_t i = 0; i < flips && !plain.empty(); ++i) {
            plain[static_cast<size_t>(random.Below(plain.size()))] ^=
                static_cast<uint8_t>(1u << random.Below(8));
        }
        swprintf(text, 120, L"flip %llu bits", static_cast<unsigned long long>(flips));
        break;
    }
    case 3: {
        // Cut anywhere; the header may then be made to agree with the new size.
        plain.resize(static_cast<size_t>(random.Below(plain.size() + 1)));
        swprintf(text, 120, L"cut to %u", static_cast<unsigned>(plain.size()));
        break;
    }
    case 4: {
        const size_t at = static_cast<size_t>(random.Below(plain.size() + 1));
        const size_t count = static_cast<size_t>(1 + random.Below(64));
        Bytes extra(count);
        for (uint8_t& b : extra) {
            b = random.Below(2) == 0 ? static_cast<uint8_t>("A/+=\r\n\0x"[random.Below(8)])
                                     : static_cast<uint8_t>(random.Next());
        }
        plain.insert(plain.begin() + static_cast<ptrdiff_t>(at), extra.begin(), extra.end());
        swprintf(text, 120, L"insert %u at %u", static_cast<unsigned>(count),
                 static_cast<unsigned>(at));
        break;
    }
    default: {
        // A record's text with a character replaced: not Base64, or another key blob.
        if (records.empty()) {
            return L"no record to change";
        }
        const size_t offset = random.Pick(records);
        const size_t length =
            std::min<size_t>(ReadUint32(plain.data() + offset), plain.size() - offset - 4);
        if (length > 0) {
            const size_t at = offset + 4 + static_cast<size_t>(random.Below(length));
            plain[at] = static_cast<uint8_t>("A/+=\r\n\0x."[random.Below(9)]);
        }
        swprintf(text, 120, L"record text at %u", static_cast<unsigned>(offset));
        break;
    }
    }
    if (plain.size() >= HeaderSize && random.Below(2) == 0) {
        PutLe(plain, 4, plain.size(), 4);
        return std::wstring(text) + L", header fixed";
    }
    return text;
}

/// The program's own key database, descrambled; empty when it has none.
Bytes OwnDatabase() {
    const KeyResource own = LoadKeyResource();
    Bytes plain(own.data, own.data + (own.data ? own.size : 0));
    for (uint8_t& b : plain) {
        b = key_scramble::DescrambleByte(b);
    }
    return plain;
}

/// Case index of a run, scrambled as a resource holds it; what says how it was changed.
Bytes MakeCase(const Bytes& original, uint64_t seed, uint32_t index, std::wstring& what) {
    MutationRandom random(seed * 1000003 + index);
    Bytes bytes = original;
    what.clear();
    const uint64_t changes = 1 + random.Below(3);
    for (uint64_t i = 0; i < changes; ++i) {
        what += (i ? L"; " : L"") + MutateOnce(random, bytes);
    }
    for (uint8_t& b : bytes) {
        b = ScrambleByte(b);
    }
    return bytes;
}

} // namespace

int WriteKeyDatabaseCases(const std::wstring& outDirectory, uint64_t seed, uint32_t first,
                          uint32_t count) {
    const Bytes original = OwnDatabase();
    for (uint32_t index = first; index < first + count && !original.empty(); ++index) {
        std::wstring what;
        const Bytes bytes = MakeCase(original, seed, index, what);
        const std::wstring path = outDirectory + L"\\key-" + std::to_wstring(index) + L".bin";
        UniqueFile file(
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        DWORD written = 0;
        if (!file ||
            (!bytes.empty() && (!WriteFile(file.get(), bytes.data(),
                                           static_cast<DWORD>(bytes.size()), &written, nullptr) ||
                                written != bytes.size()))) {
            fwprintf(stderr, L"cannot write case %u\n", index);
            return 1;
        }
        fwprintf(stderr, L"case %u: %ls\n", index, what.c_str());
    }
    return original.empty() ? 1 : 0;
}

int RunKeyDatabaseCases(uint64_t seed, uint32_t first, uint32_t count) {
    const Bytes original = OwnDatabase();
    if (original.empty()) {
        fwprintf(stderr, L"the program carries no key database\n");
        return 1;
    }
    int violations = 0;
    uint32_t loaded = 0;
    for (uint32_t index = first; index < first + count; ++index) {
        std::wstring what;
        Bytes scrambled = MakeCase(original, seed, index, what);
        fwprintf(stderr, L"case %u: %ls\n", index, what.c_str());
        fflush(stderr);
        const DWORD size = static_cast<DWORD>(scrambled.size());
        // A resource is never empty; the copy keeps one byte so that data is never null.
        scrambled.push_back(0);
        const KeyResource resource{scrambled.data(), size};
        const Bytes body = ReadKeyDatabase(resource);
        std::unique_ptr<HCRYPTKEY[]> table;
        uint32_t keys = 0;
        KeySetIdentity identity;
        const bool usable = ImportKeyTable(body, table, keys, identity);
        std::wstring problem;
        if (usable && keys > RecordsPresent(body)) {
            problem = L"more keys than records";
        }
        for (uint32_t i = 0; usable && i < keys; ++i) {
            DWORD length = 0;
            DWORD size = sizeof length;
            if (!CryptGetKeyParam(table[i], KP_KEYLEN, reinterpret_cast<BYTE*>(&length), &size,
                                  0)) {
                problem = L"an imported key cannot be used";
            }
            // Keys live until the process ends in the tool; thousands of cases must not pile up.
            UniqueCryptKey owned(table[i]);
        }
        loaded += usable && keys > 0;
        if (!problem.empty()) {
            ++violations;
            fwprintf(stderr, L"VIOLATION case %u: %ls\n", index, problem.c_str());
        }
    }
    fwprintf(stderr, L"key database cases %u: %u gave keys, %d violations\n", count, loaded,
             violations);
    return violations;
}
