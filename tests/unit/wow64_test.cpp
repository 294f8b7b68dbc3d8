#include <doctest.h>

#include <windows.h>

#include <vector>

#include "driver/wow64.h"
#include "test_support.h"

namespace {

struct Wow64World {
    BOOL isWow64Result = TRUE; ///< what IsWow64Process returns
    BOOL reportsWow64 = TRUE;  ///< what it stores
    DWORD processSeen = 0;
    BOOL disableResult = TRUE;
    std::vector<PVOID> disableCalls;
    std::vector<PVOID> revertCalls;
};

Wow64World world;
int redirectionToken;

BOOL WINAPI FakeIsWow64Process(HANDLE process, PBOOL wow64) {
    world.processSeen = GetProcessId(process);
    *wow64 = world.reportsWow64;
    return world.isWow64Result;
}

BOOL WINAPI FakeDisable(PVOID* oldValue) {
    world.disableCalls.push_back(oldValue);
    if (world.disableResult) {
        *oldValue = &redirectionToken;
    }
    return world.disableResult;
}

BOOL WINAPI FakeRevert(PVOID oldValue) {
    world.revertCalls.push_back(oldValue);
    return TRUE;
}

} // namespace

TEST_CASE("IsWow64_AsksAboutTheOwnProcess") {
    struct Case {
        bool present;
        BOOL callResult;
        BOOL reported;
        bool isWow64;
    };
    const Case cases[] = {
        {false, TRUE, TRUE, false}, // Windows 2000 and XP before SP2 lack the function
        {true, TRUE, TRUE, true},
        {true, TRUE, FALSE, false},
        {true, FALSE, TRUE, false}, // a failed call says nothing
    };
    for (const Case& c : cases) {
        CAPTURE(c.present);
        CAPTURE(c.callResult);
        CAPTURE(c.reported);
        FakeSystemFunctions fakes;
        world = Wow64World();
        world.isWow64Result = c.callResult;
        world.reportsWow64 = c.reported;
        if (c.present) {
            fakes.Replace("IsWow64Process", FakeIsWow64Process);
        } else {
            fakes.Remove("IsWow64Process");
        }
        CHECK(IsWow64() == c.isWow64);
        CHECK(world.processSeen == (c.present ? GetCurrentProcessId() : 0));
    }
}

TEST_CASE("Wow64RedirectionGuard_DisablesForItsLifetimeOnlyWhenItCanRestore") {
    struct Case {
        const char* what;
        bool wow64;
        bool hasDisable;
        bool hasRevert;
        BOOL disableResult;
        size_t disableCalls;
        bool reverted;
    };
    const Case cases[] = {
        {"native process", false, true, true, TRUE, 0, false},
        {"WoW64", true, true, true, TRUE, 1, true},
        {"disable fails", true, true, true, FALSE, 1, false},
        {"no revert function", true, true, false, TRUE, 0, false},
        {"no disable function", true, false, true, TRUE, 0, false},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        FakeSystemFunctions fakes;
        world = Wow64World();
        world.reportsWow64 = c.wow64;
        world.disableResult = c.disableResult;
        fakes.Replace("IsWow64Process", FakeIsWow64Process);
        if (c.hasDisable) {
            fakes.Replace("Wow64DisableWow64FsRedirection", FakeDisable);
        } else {
            fakes.Remove("Wow64DisableWow64FsRedirection");
        }
        if (c.hasRevert) {
            fakes.Replace("Wow64RevertWow64FsRedirection", FakeRevert);
        } else {
            fakes.Remove("Wow64RevertWow64FsRedirection");
        }
        {
            const Wow64RedirectionGuard guard;
            CHECK(world.disableCalls.size() == c.disableCalls);
            CHECK(world.revertCalls.empty());
        }
        if (c.reverted) {
            REQUIRE(world.revertCalls.size() == 1);
            CHECK(world.revertCalls[0] == &redirectionToken);
        } else {
            CHECK(world.revertCalls.empty());
        }
    }
}
