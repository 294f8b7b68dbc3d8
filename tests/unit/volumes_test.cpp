#include <doctest.h>

#include <string>

#include "streams/volumes.h"

TEST_CASE("VolumeIdentityOf_OneVolumeWhateverTheTextOfItsRoot") {
    // In the test prefix Z: is a volume with a GUID; no drive Y: or X: exists, so those are
    // told apart by their text alone.
    struct Case {
        const char* what;
        const wchar_t* first;
        const wchar_t* second;
        bool same;
    };
    const Case cases[] = {
        {"a drive in both cases", L"Z:\\", L"z:\\", true},
        {"two volumes", L"Z:\\", L"C:\\", false},
        {"a drive the system cannot name, in both cases", L"Y:\\", L"y:\\", true},
        {"two drives the system cannot name", L"Y:\\", L"X:\\", false},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        CHECK((VolumeIdentityOf(c.first) == VolumeIdentityOf(c.second)) == c.same);
    }
    CHECK(VolumeIdentityOf(L"z:\\").rfind(L"\\\\?\\Volume{", 0) == 0);
}
