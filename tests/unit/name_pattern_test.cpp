#include <doctest.h>

#include <string>

#include "walker/name_pattern.h"

TEST_CASE("NamePattern_MatchesAsTheSystemsDirectorySearch") {
    struct Case {
        const wchar_t* pattern;
        std::wstring name;
        const wchar_t* shortName;
        bool matches;
    };
    const Case cases[] = {
        // A name without wildcards: itself, in any letter case, or its short form.
        {L"a.txt", L"a.txt", L"", true},
        {L"a.txt", L"A.TXT", L"", true},
        {L"a.txt", L"a.txt.bak", L"", false},
        {L"LONGNA~1.TXT", L"long name.txt", L"LONGNA~1.TXT", true},
        {L"\u0423\u0440\u043E\u0432\u0435\u043D\u044C",
         L"\u0443\u0440\u043E\u0432\u0435\u043D\u044C", L"", true},
        // "*" and "?".
        {L"*", L"anything at all", L"", true},
        {L"*.doc", L"y.doc", L"", true},
        {L"*.doc", L"y.DOC", L"", true},
        {L"*.doc", L"y.docx", L"", false},
        {L"*.doc", L"x.doc.BRSK", L"", false},
        {L"*.doc", L"report.docx", L"REPORT~1.DOC", true},
        {L"report.dat.BRSK*", L"report.dat.BRSK", L"", true},
        {L"report.dat.BRSK*", L"report.dat.BRSK.cleaning_77_by_ovix", L"", true},
        {L"a*b*c", L"a-b-b-c", L"", true},
        {L"a*b*c", L"a-b-b-c-d", L"", false},
        {L"?.txt", L"a.txt", L"", true},
        {L"?.txt", L"ab.txt", L"", false},
        // The system's rules for dots: "*.*" is every name, "*." a name without a dot, and a "?"
        // before a dot or at the end may match nothing.
        {L"*.*", L"no dot", L"", true},
        {L"*.*", L"a.b.c", L"", true},
        {L"*.", L"no dot", L"", true},
        {L"*.", L"a.txt", L"", false},
        {L"a?", L"a", L"", true},
        {L"a?", L"ab", L"", true},
        {L"a?", L"abc", L"", false},
        {L"a??.txt", L"a.txt", L"", true},
        {L"a??.txt", L"abc.txt", L"", true},
        {L"a??.txt", L"abcd.txt", L"", false},
        {L"a.*", L"a", L"", true},
        {L"a.*", L"a.txt", L"", true},
        {L"*.t*", L"b.c.txt", L"", true},
        {L"*.t*", L"b.txt.c", L"", true},
        // A long hostile name against many stars: answered at once.
        {L"*a*a*a*a*a*a*a*a*a*a*b", std::wstring(250, L'a'), L"", false},
    };
    for (const Case& c : cases) {
        CAPTURE(std::wstring(c.pattern));
        CAPTURE(c.name);
        CHECK(NamePattern(c.pattern).Matches(c.name, c.shortName) == c.matches);
    }
}
