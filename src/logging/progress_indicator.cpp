#include "logging/progress_indicator.h"

#include <cwchar>

#include "logging/console_handler.h"

ProgressIndicator::ProgressIndicator(const std::wstring& text)
    : ProgressIndicator(TheConsole, text) {}

ProgressIndicator::ProgressIndicator(ConsoleHandler& console, const std::wstring& text)
    : console(console), line(console.NewRow()), text(text) {
    // Plain output cannot come back to a row: the text once as a line of its own, and the
    // updates print nothing.
    if (console.OutputRedirected()) {
        console << text << L"\r\n";
    }
}

void ProgressIndicator::SetProgress(int32_t percent) {
    wchar_t tag[32];
    swprintf(tag, 32, L" [%d%%] ", percent);
    Redraw(tag, 0);
}

void ProgressIndicator::SetDone() {
    Redraw(L" [Done] ", color::Success);
}

void ProgressIndicator::SetError() {
    Redraw(L" [Error] ", color::Error);
}

void ProgressIndicator::Redraw(const std::wstring& tag, WORD tagAttribute) {
    line.Fill(L' ');
    line.DrawText(text);
    if (tagAttribute != 0) {
        console << ConsoleColor(tagAttribute);
    }
    line.DrawRight(tag);
    if (tagAttribute != 0) {
        console << ConsoleColor(color::Normal);
    }
    console.MirrorLineEnd();
}
