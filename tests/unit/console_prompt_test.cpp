#include <doctest.h>

#include <optional>
#include <string>
#include <vector>

#include "logging/console_handler.h"
#include "memory_screen.h"
#include "test_support.h"

namespace {

constexpr int16_t Width = 40;
constexpr WORD Normal = color::Normal;
const std::wstring Headline = L"Replace the file?";
const std::wstring Message = L"C:\\data\\report.doc";

using Keys = std::vector<INPUT_RECORD>;

Keys Press(wchar_t character, WORD virtualKey) {
    return {KeyRecord(true, virtualKey, character), KeyRecord(false, virtualKey, character)};
}

/// As Wine and Windows type a capital: Shift goes down first and up last.
Keys WithShift(wchar_t character, WORD virtualKey) {
    return {KeyRecord(true, VK_SHIFT), KeyRecord(true, virtualKey, character),
            KeyRecord(false, virtualKey, character), KeyRecord(false, VK_SHIFT)};
}

Keys Release(WORD virtualKey) {
    return {KeyRecord(false, virtualKey)};
}

INPUT_RECORD Event(WORD type) {
    INPUT_RECORD record = {};
    record.EventType = type;
    return record;
}

Keys operator+(Keys keys, const Keys& more) {
    keys.insert(keys.end(), more.begin(), more.end());
    return keys;
}

/// Keys that answer no yes/no question: with a character or without, with Control.
const Keys NotAnswers = Press(L'x', 'X') + Press(L'1', '1') + Press(L'\r', VK_RETURN) +
                        Press(0, VK_UP) + Press(0, VK_F5) + Press(0x1B, VK_ESCAPE) +
                        Press(0x19, 'Y'); // Control+Y types a control character

/// A row's text as MemoryScreen::Row shows it: without trailing blanks.
std::wstring Shown(std::wstring text) {
    return text.erase(text.find_last_not_of(L' ') + 1);
}

/// The text on the left of a row, `fill` after it and the tag ending at the last column.
std::wstring Tagged(const std::wstring& text, const std::wstring& tag, wchar_t fill = L' ') {
    return Shown(text + std::wstring(Width - text.size() - tag.size(), fill) + tag);
}

/// Plays a user who types the keys once the question's row ends with its tag.
class User {
public:
    User(MemoryScreen& screen, const std::wstring& tag, Keys keys)
        : screen(screen), tag(Shown(tag)), keys(keys) {
        screen.user = [this] { Look(); };
    }
    ~User() { screen.user = nullptr; }

    /// The rows as they were when the user typed.
    std::wstring seenText;
    std::wstring seenHeadlineColours;
    std::wstring seenMessageColours;

private:
    void Look() {
        const std::wstring row = screen.Row(1);
        if (typed || row.size() < tag.size() ||
            row.compare(row.size() - tag.size(), tag.size(), tag) != 0) {
            return;
        }
        typed = true;
        seenText = screen.Text();
        seenHeadlineColours = screen.Colours(0);
        seenMessageColours = screen.Colours(1);
        for (const INPUT_RECORD& key : keys) {
            screen.Queue(key);
        }
    }

    MemoryScreen& screen;
    std::wstring tag; // as the row shows it: without the trailing blank
    Keys keys;
    bool typed = false;
};

/// The box after its answer: plain headline, the message and the tag in the answer's colour,
/// an empty row below and the cursor under that.
void CheckAnswered(const MemoryScreen& screen, const std::wstring& tag, WORD colour) {
    CHECK(screen.Row(0) == Headline);
    CHECK(screen.Colours(0) == Span(Normal, Width));
    CHECK(screen.Row(1) == Tagged(Message, tag));
    CHECK(screen.Colours(1) == Span(colour, Message.size()) +
                                   Span(Normal, Width - Message.size() - tag.size()) +
                                   Span(colour, tag.size()));
    CHECK(screen.Row(2) == L"");
    CHECK(screen.cursor.X == 0);
    CHECK(screen.cursor.Y == 3);
}

} // namespace

TEST_CASE("Ask_YesNo_TheFirstYOrNReleasedAnswers") {
    struct Case {
        const char* what;
        Keys keys;
        bool result;
        const wchar_t* tag;
        WORD colour;
        size_t left; // keys not read when the prompt ended
    };
    const Case cases[] = {
        {"y", Press(L'y', 'Y'), true, L" [Yes] ", color::Success, 0},
        {"Y typed with Shift", WithShift(L'Y', 'Y'), true, L" [Yes] ", color::Success, 1},
        {"n", Press(L'n', 'N'), false, L" [No] ", color::Error, 0},
        {"N typed with Shift", WithShift(L'N', 'N'), false, L" [No] ", color::Error, 1},
        // Either answer after the same keys: none of them answered, as yes or as no.
        {"other keys, then y", NotAnswers + Press(L'y', 'Y'), true, L" [Yes] ", color::Success, 0},
        {"other keys, then n", NotAnswers + Press(L'n', 'N'), false, L" [No] ", color::Error, 0},
        {"y held down, then n", Keys{KeyRecord(true, 'Y', L'y')} + Press(L'n', 'N'), false,
         L" [No] ", color::Error, 0},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        MemoryScreen screen(Width, 6);
        ConsoleHandler console(screen);
        // Typed the moment the tag shows: a key pressed then must never be dropped.
        User user(screen, L" [Yes / No] ", c.keys);
        CHECK(console.Ask(Headline, Message, PromptKind::YesNo, PromptStyle::Warning) == c.result);
        CHECK(screen.QueuedInput() == c.left);
        CHECK(std::wstring(console.LastAnswerSource()) == L"user");
        CheckAnswered(screen, c.tag, c.colour);
    }
}

TEST_CASE("Ask_WhileWaiting_TheBoxInTheColoursOfItsStyle") {
    struct Case {
        PromptStyle style;
        WORD background;
        WORD headline;
    };
    const Case cases[] = {
        {PromptStyle::Notice, 1, color::Heading},         {PromptStyle::Success, 1, color::Success},
        {PromptStyle::Warning, 1, color::Warning},        {PromptStyle::Alert, 4, color::Warning},
        {static_cast<PromptStyle>(9), 1, color::Heading}, // unknown: as a notice
    };
    for (const Case& c : cases) {
        CAPTURE(static_cast<int>(c.style));
        MemoryScreen screen(Width, 6);
        ConsoleHandler console(screen);
        const std::wstring tag = L" [Yes / No] ";
        User user(screen, tag, Press(L'y', 'Y'));
        (void)console.Ask(Headline, Message, PromptKind::YesNo, c.style);
        const WORD bar = static_cast<WORD>(c.background * 17);
        const WORD text = static_cast<WORD>(c.background * 16 + color::Emphasis);
        // The message row is a bar of underscores drawn in the background colour on itself.
        CHECK(user.seenText == Headline + L"\n" + Tagged(Message, tag, L'_') + L"\n\n\n\n");
        CHECK(user.seenHeadlineColours ==
              Span(static_cast<WORD>(c.background * 16 + c.headline), Headline.size()) +
                  Span(bar, Width - Headline.size()));
        CHECK(user.seenMessageColours == Span(text, Message.size()) +
                                             Span(bar, Width - Message.size() - tag.size()) +
                                             Span(text, tag.size()));
    }
}

TEST_CASE("Ask_PressAnyKey_TheFirstKeyReleasedThatCountsAnswers") {
    struct Case {
        const char* what;
        Keys keys;
        size_t left; // keys not read when the prompt ended
    };
    const Case cases[] = {
        {"any key", Press(L'q', 'Q') + Press(L'z', 'Z'), 2},
        {"a key without a character", Press(0, VK_F5) + Press(L'z', 'Z'), 2},
        {"presses are passed over", Keys{KeyRecord(true, 'Q', L'q')} + Press(L'z', 'Z'), 0},
        {"Shift, Control, left Alt and right Alt released alone are passed over",
         Release(VK_SHIFT) + Release(VK_CONTROL) + Release(VK_LSHIFT) + Release(VK_LCONTROL) +
             Release(VK_LMENU) + Release(VK_RMENU) + Press(L'z', 'Z'),
         0},
        {"Alt released alone counts", Release(VK_MENU) + Press(L'z', 'Z'), 2},
        {"right Shift released alone counts", Release(VK_RSHIFT) + Press(L'z', 'Z'), 2},
        {"right Control released alone counts", Release(VK_RCONTROL) + Press(L'z', 'Z'), 2},
        {"other events are passed over",
         Keys{Event(MOUSE_EVENT), Event(FOCUS_EVENT), Event(WINDOW_BUFFER_SIZE_EVENT)} +
             Press(L'z', 'Z'),
         0},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        MemoryScreen screen(Width, 6);
        ConsoleHandler console(screen);
        User user(screen, L" [Press Any Key] ", c.keys);
        CHECK_FALSE(console.Ask(Headline, Message, PromptKind::PressAnyKey, PromptStyle::Success));
        CHECK(screen.QueuedInput() == c.left);
        CheckAnswered(screen, L" [Ok] ", Normal);
    }
}

TEST_CASE("Ask_KeysTypedBeforeTheQuestion_DoNotAnswerIt") {
    MemoryScreen screen(Width, 6);
    ConsoleHandler console(screen);
    for (const INPUT_RECORD& key : Press(L'y', 'Y')) {
        screen.Queue(key);
    }
    User user(screen, L" [Yes / No] ", Press(L'n', 'N'));
    CHECK_FALSE(console.Ask(Headline, Message, PromptKind::YesNo, PromptStyle::Warning));
    CheckAnswered(screen, L" [No] ", color::Error);
}

TEST_CASE("Ask_NoKeyCanBeRead_YesNoAnswersNoAndPressAnyKeyGoesOn") {
    struct Case {
        const char* what;
        bool inputIsConsole;
    };
    const Case cases[] = {
        {"standard input is not a console", false},
        {"the console's input ends", true},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        MemoryScreen screen(Width, 6);
        screen.inputIsConsole = c.inputIsConsole;
        ConsoleHandler console(screen);
        CHECK_FALSE(console.Ask(Headline, Message, PromptKind::YesNo, PromptStyle::Warning));
        CHECK(std::wstring(console.LastAnswerSource()) == L"no console input");
        CheckAnswered(screen, L" [No] ", color::Error);

        MemoryScreen again(Width, 6);
        again.inputIsConsole = c.inputIsConsole;
        ConsoleHandler pressAnyKey(again);
        CHECK_FALSE(
            pressAnyKey.Ask(Headline, Message, PromptKind::PressAnyKey, PromptStyle::Success));
        CheckAnswered(again, L" [Ok] ", Normal);
    }
}

TEST_CASE("Ask_SilentOrForced_AnswersWithoutDrawingOrReading") {
    struct Case {
        bool silent;
        bool forced;
        bool result;
        const wchar_t* source;
    };
    const Case cases[] = {
        {true, false, false, L"silent mode"},
        {false, true, true, L"forced mode"},
        {true, true, true, L"forced mode"}, // forced decides first
    };
    for (const Case& c : cases) {
        for (const PromptKind kind : {PromptKind::YesNo, PromptKind::PressAnyKey}) {
            CAPTURE(c.silent);
            CAPTURE(c.forced);
            CAPTURE(static_cast<int>(kind));
            MemoryScreen screen(Width, 6);
            ConsoleHandler console(screen);
            console.SetSilent(c.silent);
            console.SetForced(c.forced);
            for (const INPUT_RECORD& key : Press(L'n', 'N')) {
                screen.Queue(key);
            }
            CHECK(console.Ask(Headline, Message, kind, PromptStyle::Warning) == c.result);
            CHECK(std::wstring(console.LastAnswerSource()) == c.source);
            CHECK(screen.Text() == L"\n\n\n\n\n");
            CHECK(screen.QueuedInput() == 2);
        }
    }
}

TEST_CASE("Ask_OutputRedirected_QuestionPrintedAndAnsweredYes") {
    MemoryScreen screen(Width, 6);
    screen.outputIsConsole = false;
    ConsoleHandler console(screen);
    for (const PromptKind kind : {PromptKind::YesNo, PromptKind::PressAnyKey}) {
        CAPTURE(static_cast<int>(kind));
        screen.printed.clear();
        CHECK(console.Ask(Headline, Message, kind, PromptStyle::Alert));
        CHECK(std::wstring(console.LastAnswerSource()) == L"output redirected");
        CHECK(screen.printed == Headline + L"\r\n" + Message + L" [YES]\r\n");
    }
}

TEST_CASE("ReadKey_TheCharacterOfTheNextKeyReleasedTypedAheadOrNot") {
    struct Case {
        const char* what;
        Keys keys;
        std::optional<wchar_t> key;
    };
    const Case cases[] = {
        {"a key typed ahead", Press(L'q', 'Q'), L'q'},
        {"a key without a character", Press(0, VK_UP), L'\0'},
        {"Shift passed over", WithShift(L'Q', 'Q'), L'Q'},
        {"no key at all", Keys{}, std::nullopt},
    };
    for (const Case& c : cases) {
        INFO(c.what);
        MemoryScreen screen(Width, 6);
        ConsoleHandler console(screen);
        for (const INPUT_RECORD& key : c.keys) {
            screen.Queue(key);
        }
        CHECK(console.ReadKey() == c.key);
    }
}
