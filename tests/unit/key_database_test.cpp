#include <doctest.h>

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cleaner/filecoder_cleaner.h"
#include "cleaner/key_database.h"
#include "cleaner/key_scramble.h"
#include "key_set.h"
#include "log_capture.h"
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

/// A descrambled body of format version 3 holding the records, each after its length.
std::vector<uint8_t> BodyOf(const std::vector<std::string>& records) {
    std::vector<uint8_t> body = {3, 0, 0, 0, static_cast<uint8_t>(records.size()), 0, 0, 0};
    for (const std::string& record : records) {
        const uint32_t length = static_cast<uint32_t>(record.size());
        for (int shift = 0; shift < 32; shift += 8) {
            body.push_back(static_cast<uint8_t>(length >> shift));
        }
        body.insert(body.end(), record.begin(), record.end());
    }
    return body;
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

TEST_CASE("KeySetFingerprint_Records_FirstSixteenHexDigitsOfTheirSha256") {
    // Expected values from tools/key_database/make_key_database.py's fingerprint(), which
    // names the key set in the version resource and the release.
    struct Case {
        const char* what;
        std::vector<std::string> records;
        const wchar_t* fingerprint;
    } cases[] = {
        {"no records", {}, L"e3b0c44298fc1c14"},
        {"one record", {"QUJD"}, L"753024e0c98c0b52"},
        {"an empty record counts by its length", {"QUJD", ""}, L"5a68391c3e61182c"},
        {"two records", {"QUJD", "RUZH"}, L"10e0bb467ad5bab0"},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        const std::vector<uint8_t> body = BodyOf(c.records);
        CHECK(KeySetFingerprint(body, FindKeyRecords(body)) == c.fingerprint);
    }
}

TEST_CASE("ImportKeyTable_RecordThatDoesNotImport_NamedAndTheOthersLoaded") {
    const std::vector<std::string> keys = BuildKeyRecords();
    REQUIRE(keys.size() >= 2);
    const std::vector<uint8_t> body = BodyOf({keys[0], "!! not base64 !!", keys[1]});
    std::unique_ptr<HCRYPTKEY[]> table;
    uint32_t count = 0;
    KeySetIdentity identity;
    const LogCapture log;
    REQUIRE(ImportKeyTable(body, table, count, identity));
    CHECK(count == 2);
    CHECK(identity.records == 3);
    const std::vector<std::wstring> lines = log.Lines();
    REQUIRE(lines.size() == 1);
    CHECK(lines[0].rfind(L"WARNING: Key record 2 of 3 can't be imported, GLE(0x", 0) == 0);
    CHECK(lines[0].find(L"; the other keys are loaded.") != std::wstring::npos);
}

TEST_CASE("LoadKeyTable_OwnResource_TheKeySetTheVersionResourceNames") {
    std::unique_ptr<HCRYPTKEY[]> table;
    uint32_t count = 0;
    KeySetIdentity identity;
    REQUIRE(LoadKeyTable(table, count, identity));
    const std::string named = BRISTOKE_KEY_SET;
    CHECK(L"key set " + identity.fingerprint == std::wstring(named.begin(), named.end()));
    CHECK(identity.records == count);
}
