#include "doctest.h"

#include "app/folder_sites.h"
#include "fleet/site_list.h"

using namespace report;

TEST_CASE("SiteOfFolder_AsAdministratorsCollectLogs") {
    const struct {
        const char* what;
        std::wstring given;
        bool inGivenFolder;
        std::wstring folder;
        bool oneMachine;
        std::wstring site;
    } cases[] = {
        {"a folder a machine under the share: the share", L"\\\\srv\\bristoke", true,
         L"\\\\srv\\bristoke\\PC01\\", true, L"bristoke"},
        {"a folder a machine in a folder a site", L"\\\\srv\\bristoke", true,
         L"\\\\srv\\bristoke\\Berlin\\BER-WS0471\\", true, L"Berlin"},
        {"deeper: the path below the share", L"\\\\srv\\bristoke\\", true,
         L"\\\\srv\\bristoke\\Europe\\Berlin\\BER-WS0471\\", true, L"Europe\\Berlin"},
        {"logs side by side in a folder a site", L"\\\\srv\\bristoke", true,
         L"\\\\srv\\bristoke\\Berlin\\", false, L"Berlin"},
        {"logs side by side right in the share", L"\\\\srv\\bristoke", true, L"\\\\srv\\bristoke\\",
         false, L"bristoke"},
        {"a machine's folder given itself: the folder above it", L"D:\\logs\\Berlin\\PC01", true,
         L"D:\\logs\\Berlin\\PC01\\", true, L"Berlin"},
        {"a log given by its path, in a machine's folder", L"D:\\logs\\Berlin\\PC01\\a.log", false,
         L"D:\\logs\\Berlin\\PC01\\", true, L"Berlin"},
        {"a log given by its path, beside others' logs", L"D:\\logs\\Berlin\\a.log", false,
         L"D:\\logs\\Berlin\\", false, L"Berlin"},
        {"a log given by a bare name", L"a.log", false, L"", false, L""},
    };
    for (const auto& c : cases) {
        CAPTURE(c.what);
        CHECK(SiteOfFolder(c.given, c.inGivenFolder, c.folder, c.oneMachine) == c.site);
    }
}

TEST_CASE("SiteList_NamesWithoutCaseByAnyOfTheMachinesNames") {
    SiteList sites;
    const std::pair<const wchar_t*, bool> lines[] = {
        {L"PC01\tBerlin", true},  {L" pc02 , Paris ", true},
        {L"\\\\PC03,Lyon", true}, {L"", true},
        {L"   ", true},           {L"PC04 Munich", false},
        {L"PC05,", false},        {L",Rome", false},
    };
    for (const auto& line : lines) {
        CHECK(sites.Add(line.first) == line.second);
    }
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"pc01", L"Berlin"}, {L"PC02", L"Paris"}, {L"PC03 (pc03.corp.example)", L"Lyon"},
        {L"PC04", L""},       {L"PC09", L""},
    };
    for (const auto& c : cases) {
        CHECK(sites.SiteOf(c.first) == c.second);
    }
}
