#include <doctest.h>

#include <string>
#include <vector>

#include "driver/run_modes.h"

namespace {

struct Parsed {
    bool help;
    RunModes modes;
};

Parsed Parse(std::vector<std::wstring> arguments) {
    arguments.insert(arguments.begin(), L"BristokeDecryptor.exe");
    std::vector<wchar_t*> argv;
    for (std::wstring& argument : arguments) {
        argv.push_back(argument.data());
    }
    Parsed parsed{false, RunModes()};
    parsed.help = parsed.modes.ParseCommandLine(static_cast<int>(argv.size()), argv.data());
    return parsed;
}

} // namespace

TEST_CASE("ParseCommandLine_SwitchTable") {
    struct Case {
        const wchar_t* argument;
        uint32_t flags;
        bool help;
        bool isPath;
    };
    const Case cases[] = {
        {L"/S", FlagBit(ModeFlags::Silent), false, false},
        {L"-s", FlagBit(ModeFlags::Silent), false, false},
        {L"/silent", FlagBit(ModeFlags::Silent), false, false},
        {L"/sfoo", FlagBit(ModeFlags::Silent), false, false},
        {L"/f", FlagBit(ModeFlags::Forced), false, false},
        {L"-D", FlagBit(ModeFlags::Debug), false, false},
        {L"-data.txt", FlagBit(ModeFlags::Debug), false, false},
        {L"/n", FlagBit(ModeFlags::NoCleaning), false, false},
        {L"/h", 0, true, false},
        {L"-?", 0, true, false},
        {L"/x", 0, false, true},
        {L"-", 0, false, true},
        {L"", 0, false, true},
        {L"C:\\data", 0, false, true},
    };
    for (const Case& c : cases) {
        CAPTURE(std::string(c.argument, c.argument + wcslen(c.argument)));
        const Parsed parsed = Parse({c.argument});
        CHECK(parsed.modes.flags == c.flags);
        CHECK(parsed.help == c.help);
        CHECK(parsed.modes.paths ==
              (c.isPath ? std::vector<std::wstring>{c.argument} : std::vector<std::wstring>{}));
    }
}

TEST_CASE("ParseCommandLine_KeepsPathOrderAndDuplicates") {
    const Parsed parsed = Parse({L"b", L"/s", L"a", L"b", L"/s"});
    CHECK(parsed.modes.flags == FlagBit(ModeFlags::Silent));
    CHECK(parsed.modes.paths == std::vector<std::wstring>{L"b", L"a", L"b"});
}

TEST_CASE("ParseCommandLine_NoArguments") {
    const Parsed parsed = Parse({});
    CHECK_FALSE(parsed.help);
    CHECK(parsed.modes.flags == 0);
    CHECK(parsed.modes.paths.empty());
}
