#include <doctest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cleaner/filecoder_cleaner.h"
#include "cleaner/key_database.h"
#include "cleaner/key_scramble.h"
#include "test_support.h"

namespace {

/// The chain as the format defines it, one byte at a time.
uint8_t ChainOf(uint8_t b) {
    b = static_cast<uint8_t>(b + key_scramble::Add1);
    b ^= key_scramble::Xor1;
    b = static_cast<uint8_t>(b + key_scramble::Add2);
    return b ^ key_scramble::Xor2;
}

/// The build's key list as Base64 PRIVATEKEYBLOB lines (BRISTOKE_BUILD is a Unix path under Wine).
std::vector<std::string> BuildKeyRecords() {
    wchar_t build[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"BRISTOKE_BUILD", build, MAX_PATH);
    REQUIRE(length > 0);
    std::wstring path = L"Z:" + std::wstring(build, length) + L"/key_database/key_blobs.txt";
    for (wchar_t& c : path) {
        c = c == L'/' ? L'\\' : c;
    }
    const std::vector<unsigned char> bytes = ReadBytes(path);
    std::vector<std::string> records;
    std::string line;
    for (const unsigned char c : bytes) {
        if (c == '\n') {
            records.push_back(line);
            line.clear();
        } else {
            line.push_back(static_cast<char>(c));
        }
    }
    return records;
}

} // namespace

TEST_CASE("DescrambleBuffer_BlocksAndTail_SameAsTheChainOnEachByte") {
    // 33 bytes: one block and a tail of one; 256 and more: every byte value through the blocks.
    for (const size_t length : {0u, 1u, 31u, 32u, 33u, 64u, 95u, 256u, 257u}) {
        CAPTURE(length);
        std::vector<uint8_t> buffer(length + 1);
        for (size_t i = 0; i < buffer.size(); ++i) {
            buffer[i] = static_cast<uint8_t>(i * 167 + 13);
        }
        std::vector<uint8_t> expected = buffer;
        for (size_t i = 1; i < expected.size(); ++i) {
            expected[i] = ChainOf(expected[i]);
        }
        // From the second byte on, so blocks need not start at an aligned address.
        DescrambleBuffer(buffer.data() + 1, length);
        CHECK(buffer == expected);
    }
}

TEST_CASE("ImportKey_LengthZero_NoKeyEvenWhenTextFollows") {
    // With a length of 0 the decoder would read on to a terminator and import the key behind it.
    const std::string record = BuildKeyRecords().at(0);
    HCRYPTKEY key = ImportKey(record.c_str(), static_cast<DWORD>(record.size()));
    CHECK(key != 0);
    CHECK(ImportKey(record.c_str(), 0) == 0);
}

TEST_CASE("LoadKeys_OwnResource_EveryKeyOfTheBuildsList") {
    FilecoderCleaner cleaner;
    REQUIRE(cleaner.LoadKeys());
    CHECK(cleaner.KeyCount() == BuildKeyRecords().size());
}
