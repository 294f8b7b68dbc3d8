#include <doctest.h>

#include <cstdint>
#include <vector>

#include "platform/registry_key.h"
#include "test_support.h"

namespace {

constexpr const wchar_t* TestKey = L"SOFTWARE\\OVIX\\RegistryKeyTest";

using Bytes = std::vector<uint8_t>;

Bytes Wide(const wchar_t* text, size_t characters) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text);
    return Bytes(bytes, bytes + characters * sizeof(wchar_t));
}

void StoreValue(HKEY root, const wchar_t* name, DWORD type, const Bytes& data) {
    HKEY key = nullptr;
    REQUIRE(RegCreateKeyExW(root, TestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
            ERROR_SUCCESS);
    REQUIRE(RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())) ==
            ERROR_SUCCESS);
    RegCloseKey(key);
}

} // namespace

TEST_CASE("RegistryKey_QueryValue_TypeRules") {
    struct Case {
        const char* what;
        DWORD type;
        Bytes stored;
        bool accepted;
        Bytes buffer; // all 4 bytes, when accepted
        DWORD size;
    };
    const Case cases[] = {
        {"REG_DWORD", REG_DWORD, {7, 0, 0, 0}, true, {7, 0, 0, 0}, 4},
        {"REG_DWORD of 2 bytes, zero-filled", REG_DWORD, {0x34, 0x12}, true, {0x34, 0x12, 0, 0}, 2},
        {"REG_QWORD", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, false, {}, 0},
        {"REG_QWORD that would fit", REG_QWORD, {1, 0, 0, 0}, false, {}, 0},
        {"REG_BINARY", REG_BINARY, {1, 2, 3}, true, {1, 2, 3, 0}, 3},
        {"REG_SZ of one character", REG_SZ, Wide(L"7", 2), true, {'7', 0, 0, 0}, 4},
        {"REG_SZ of one character, unterminated", REG_SZ, Wide(L"7", 1), true, {'7', 0, 0, 0}, 4},
        {"REG_SZ of one odd byte", REG_SZ, {'7'}, true, {'7', 0, 0, 0}, 4},
        {"REG_SZ empty", REG_SZ, {}, true, {0, 0, 0, 0}, 2},
        {"REG_EXPAND_SZ of one character", REG_EXPAND_SZ, Wide(L"7", 2), true, {'7', 0, 0, 0}, 4},
        {"REG_SZ of two characters, unterminated", REG_SZ, Wide(L"78", 2), false, {}, 0},
        {"REG_SZ of two characters", REG_SZ, Wide(L"78", 3), false, {}, 0},
        {"REG_SZ of three odd bytes", REG_SZ, {'7', 0, '8'}, false, {}, 0},
        {"REG_MULTI_SZ empty", REG_MULTI_SZ, Wide(L"\0", 2), true, {0, 0, 0, 0}, 2},
        {"REG_MULTI_SZ of one NUL", REG_MULTI_SZ, Wide(L"", 1), true, {0, 0, 0, 0}, 2},
        {"REG_MULTI_SZ with a string", REG_MULTI_SZ, Wide(L"7", 2), false, {}, 0},
        {"REG_NONE", REG_NONE, {1, 0, 0, 0}, false, {}, 0},
        {"REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 7}, false, {}, 0},
    };
    const PrivateCurrentUser user;
    for (const Case& c : cases) {
        INFO(c.what);
        StoreValue(user.root(), L"Value", c.type, c.stored);
        RegistryKey key;
        DWORD disposition = 0;
        REQUIRE(key.OpenOrCreate(TestKey, disposition));
        CHECK(disposition == REG_OPENED_EXISTING_KEY);
        uint8_t buffer[RegistryKey::ValueCapacity];
        DWORD size = 0;
        REQUIRE(key.QueryValue(L"Value", buffer, size) == c.accepted);
        if (c.accepted) {
            CHECK(Bytes(buffer, buffer + 4) == c.buffer);
            CHECK(size == c.size);
        }
    }
}

TEST_CASE("RegistryKey_QueryValue_MissingValueAndDefaultValue") {
    const PrivateCurrentUser user;
    RegistryKey key;
    DWORD disposition = 0;
    REQUIRE(key.OpenOrCreate(TestKey, disposition));
    CHECK(disposition == REG_CREATED_NEW_KEY);
    uint8_t buffer[RegistryKey::ValueCapacity];
    DWORD size = 0;
    CHECK_FALSE(key.QueryValue(L"Missing", buffer, size));

    // An empty name is the key's default value.
    REQUIRE(key.SetDwordValue(L"", 0x01020304));
    REQUIRE(key.QueryValue(L"", buffer, size));
    CHECK(Bytes(buffer, buffer + 4) == Bytes{4, 3, 2, 1});
    CHECK(size == 4);
}

TEST_CASE("RegistryKey_CloseKey_ReleasesTheKeyAndIsHarmlessWithoutOne") {
    const PrivateCurrentUser user;
    RegistryKey key;
    key.CloseKey();
    uint8_t buffer[RegistryKey::ValueCapacity];
    DWORD size = 0;
    CHECK_FALSE(key.QueryValue(L"Value", buffer, size));

    DWORD disposition = 0;
    REQUIRE(key.OpenOrCreate(TestKey, disposition));
    REQUIRE(key.SetDwordValue(L"Value", 5));
    key.CloseKey();
    CHECK_FALSE(key.SetDwordValue(L"Value", 6));
    CHECK_FALSE(key.QueryValue(L"Value", buffer, size));
}
