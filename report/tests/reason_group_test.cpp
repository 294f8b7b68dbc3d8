#include "doctest.h"

#include <utility>

#include "parse/reason_group.h"

using report::ReasonGroup;

TEST_CASE("ReasonGroup_PathsAndNumbersLeftOut_ErrorCodesKept") {
    // A reason and its group.
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"Not valid Bristoke file.", L"Not valid Bristoke file."},
        {L"Can't open file [C:\\a\\b.BRSK.backup_by_ovix], GLE(0x00000020)",
         L"Can't open file [\u2026], GLE(0x00000020)"},
        {L"Can't move (backup) file [C:\\a] b]\\x.BRSK] to [C:\\a] b]\\x.BRSK.backup_2_by_ovix], "
         L"GLE(0x00000005)",
         L"Can't move (backup) file [\u2026] to [\u2026], GLE(0x00000005)"},
        {L"Not enough free space for [D:\\x.doc]: 5000 bytes needed, 12 bytes free.",
         L"Not enough free space for [\u2026]: # bytes needed, # bytes free."},
        {L"Can't get backup filename of file C:\\a\\x.BRSK",
         L"Can't get backup filename of file \u2026"},
        {L"Internal error while cleaning C:\\a\\x.BRSK", L"Internal error while cleaning \u2026"},
        {L"consistency error: 00000010", L"consistency error: #"},
        {L"Unbalanced [bracket", L"Unbalanced [bracket"},
        {L"Skipping [C:\\x]... (interrupted)", L"Skipping [\u2026]... (interrupted)"},
        {L"Win32 error 5x and x5 and 7", L"Win32 error 5x and x5 and #"},
        {L"", L""},
    };
    for (const auto& [reason, group] : cases) {
        CHECK(ReasonGroup(reason) == group);
    }
}
