#include <doctest.h>

#include <initializer_list>

#include "logging/key_release.h"
#include "memory_screen.h"

TEST_CASE("KeyRelease_OnlyReleasesOfAnsweringKeysCount") {
    struct Case {
        bool down;
        WORD virtualKey;
        bool counts;
    };
    const Case cases[] = {
        {false, 'Y', true},
        {true, 'Y', false}, // presses never count, so a held key answers once
        {false, VK_RETURN, true},
        {false, VK_UP, true}, // no character, but a key all the same
        // Modifiers held with the answer, left out so that Shift+Y answers with its Y.
        {false, VK_SHIFT, false},
        {false, VK_CONTROL, false},
        {false, VK_LSHIFT, false},
        {false, VK_LCONTROL, false},
        {false, VK_LMENU, false},
        {false, VK_RMENU, false},
        // These three are not in that list: they count like any key.
        {false, VK_MENU, true},
        {false, VK_RSHIFT, true},
        {false, VK_RCONTROL, true},
    };
    for (const Case& c : cases) {
        CAPTURE(c.virtualKey);
        CAPTURE(c.down);
        CHECK(IsAnsweringKeyRelease(KeyRecord(c.down, c.virtualKey)) == c.counts);
    }
}

TEST_CASE("KeyRelease_OtherEventsNeverCount") {
    for (const WORD type :
         {WORD(MOUSE_EVENT), WORD(WINDOW_BUFFER_SIZE_EVENT), WORD(FOCUS_EVENT), WORD(MENU_EVENT)}) {
        INPUT_RECORD record = {};
        record.EventType = type;
        CAPTURE(type);
        CHECK_FALSE(IsAnsweringKeyRelease(record));
    }
}
