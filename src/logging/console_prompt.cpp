#include "logging/console_handler.h"

#include <cwctype>

#include "logging/key_release.h"

namespace {

struct BoxColors {
    WORD background;
    WORD headline;
};

BoxColors ColorsOf(PromptStyle style) {
    switch (style) {
    case PromptStyle::Success:
        return {1, color::Success};
    case PromptStyle::Warning:
        return {1, color::Warning};
    case PromptStyle::Alert:
        return {4, color::Warning};
    default:
        return {1, color::Heading};
    }
}

WORD OnBackground(WORD background, WORD foreground) {
    return static_cast<WORD>(background * 16 + foreground);
}

struct Answer {
    const wchar_t* tag;
    WORD attribute;
    bool result;
};

} // namespace

bool ConsoleHandler::Ask(const std::wstring& headline, const std::wstring& message, PromptKind kind,
                         PromptStyle style) {
    if (forced) {
        lastAnswerSource = L"forced mode";
        return true;
    }
    if (silent) {
        lastAnswerSource = L"silent mode";
        return false;
    }
    if (outputRedirected) {
        lastAnswerSource = L"output redirected";
        (void)Render(headline + L"\r\n", cursor, cursorExtra); // plain output cannot fail
        (void)Render(message + L" [YES]\r\n", cursor, cursorExtra);
        return true;
    }

    const BoxColors colors = ColorsOf(style);
    ConsoleLine headlineRow = NewRow();
    ConsoleLine messageRow = NewRow();
    attribute = OnBackground(colors.background, colors.background);
    headlineRow.Fill(L' ');
    attribute = OnBackground(colors.background, colors.headline);
    headlineRow.DrawText(headline);
    MirrorLineEnd();
    attribute = OnBackground(colors.background, colors.background);
    // Underscores in the background colour: the row shows as a solid bar.
    messageRow.Fill(L'_');
    attribute = OnBackground(colors.background, color::Emphasis);
    messageRow.DrawText(message);

    lastAnswerSource = L"user";
    // Keys typed before the question was there do not answer it. They go before the tag is drawn,
    // so that a key pressed once the tag shows is never dropped.
    if (!inputRedirected) {
        screen.DiscardInput();
    }
    Answer answer = {L" [Ok] ", color::Normal, false};
    if (kind == PromptKind::YesNo) {
        messageRow.DrawRight(L" [Yes / No] ");
        answer = WaitForYes() ? Answer{L" [Yes] ", color::Success, true}
                              : Answer{L" [No] ", color::Error, false};
    } else {
        messageRow.DrawRight(L" [Press Any Key] ");
        (void)ReadKey(); // any key, or none when there is no console to read
    }
    MirrorLineEnd();

    // The box stays on screen in plain colours as a record of the question and its answer.
    attribute = color::Normal;
    headlineRow.Fill(L' ');
    headlineRow.DrawText(headline);
    MirrorLineEnd();
    messageRow.Fill(L' ');
    attribute = answer.attribute;
    messageRow.DrawText(message);
    messageRow.DrawRight(answer.tag);
    attribute = color::Normal;
    MirrorLineEnd();
    (void)NewRow(); // an empty row below the box
    return answer.result;
}

bool ConsoleHandler::WaitForYes() {
    for (;;) {
        const std::optional<wchar_t> key = ReadKey();
        if (!key) {
            lastAnswerSource = L"no console input";
            return false; // nobody can answer: nothing is overwritten, nothing runs on
        }
        const wint_t lower = std::towlower(*key);
        if (lower == L'y') {
            return true;
        }
        if (lower == L'n') {
            return false;
        }
    }
}

std::optional<wchar_t> ConsoleHandler::ReadKey() {
    if (inputRedirected) {
        return std::nullopt;
    }
    for (;;) {
        INPUT_RECORD record;
        if (!screen.ReadInput(record)) {
            return std::nullopt;
        }
        if (IsAnsweringKeyRelease(record)) {
            return record.Event.KeyEvent.uChar.UnicodeChar;
        }
    }
}
