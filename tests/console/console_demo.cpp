// Draws scripted scenes with the tool's console handler, for the tests that read the screen.
// Usage: console_demo SCENE [silent] [forced] [mirror=PATH]
// Where a scene waits between steps, any key goes on (at once without a console to read).

#include <map>
#include <string>

#include "logging/console_handler.h"
#include "logging/lines.h"

namespace {

void NextStep() {
    (void)TheConsole.ReadKey();
}

std::wstring Digits(size_t length) {
    std::wstring digits;
    for (size_t i = 0; i < length; ++i) {
        digits.push_back(static_cast<wchar_t>(L'0' + i % 10));
    }
    return digits;
}

void Lines() {
    const size_t width = static_cast<size_t>(TheConsole.GetWidth());
    PrintLine(L"plain start");
    TheConsole << ConsoleColor(color::Success) << L"green" << ConsoleColor(color::Normal)
               << L" then plain\r\n";
    TheConsole << ConsoleColor(color::Error) << L"red" << ConsoleColor(color::Normal) << L" "
               << ConsoleColor(color::Warning) << L"yellow" << ConsoleColor(color::Normal)
               << L" end\r\n";
    TheConsole << std::wstring(width, L'=') << L"\r\n";
    PrintLine(L"after full row");
    PrintLine(L"long:" + Digits(width + 20));
    PrintLine(L"abcd\bX");
    PrintLine(L"12345\rAB");
    TheConsole << LogHorizontalLine(width <= 1 ? 80 : width - 1) << L"\r\n";
    PrintLine(L"scene end");
}

void Scroll() {
    ProgressIndicator lost(L"lost row");
    lost.SetProgress(0);
    for (int i = 1; i <= 10; ++i) {
        PrintLine(L"filler a" + std::to_wstring(i));
    }
    ProgressIndicator kept(L"kept row");
    kept.SetProgress(0);
    for (int i = 1; i <= 25; ++i) {
        PrintLine(L"filler b" + std::to_wstring(i));
    }
    lost.SetError();
    kept.SetDone();
    TheConsole << L"partial";
    ProgressIndicator afterPartial(L"after partial");
    afterPartial.SetProgress(7);
    PrintLine(L"scene end");
}

void Progress() {
    PrintLine(L"progress scene");
    ProgressIndicator first(L"Cleaning [first.BRSK]");
    first.SetProgress(0);
    NextStep();
    first.SetProgress(42);
    NextStep();
    first.SetDone();
    ProgressIndicator second(L"Cleaning [second.BRSK]");
    second.SetProgress(0);
    second.SetError();
    const size_t width = static_cast<size_t>(TheConsole.GetWidth());
    TheConsole.NewRow().DrawRight(L"<" + Digits(width + 20) + L">");
    PrintLine(L"scene end");
}

void Prompt() {
    PrintLine(L"prompt scene");
    const bool overwrite =
        TheConsole.Ask(L"Do you want to overwrite the following file?", L"C:\\data\\report.doc",
                       PromptKind::YesNo, PromptStyle::Warning);
    const bool proceed = TheConsole.Ask(L"Another Instance Running", L"Continue anyway?",
                                        PromptKind::YesNo, PromptStyle::Alert);
    const bool finished =
        TheConsole.Ask(L"Cleaning Finished.", L"The cleaner has successfully finished.",
                       PromptKind::PressAnyKey, PromptStyle::Success);
    PrintLine(L"answers: " + std::wstring(overwrite ? L"yes" : L"no") + L" " +
              (proceed ? L"yes" : L"no") + L" " + (finished ? L"yes" : L"no"));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::map<std::wstring, void (*)()> scenes = {
        {L"lines", Lines}, {L"scroll", Scroll}, {L"progress", Progress}, {L"prompt", Prompt}};
    const auto scene = argc > 1 ? scenes.find(argv[1]) : scenes.end();
    if (scene == scenes.end()) {
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        const std::wstring option = argv[i];
        if (option == L"silent") {
            TheConsole.SetSilent(true);
        } else if (option == L"forced") {
            TheConsole.SetForced(true);
        } else if (option.rfind(L"mirror=", 0) == 0) {
            (void)TheConsole.Open(option.substr(7));
        } else {
            return 2;
        }
    }
    try {
        scene->second();
    } catch (...) {
        return 255;
    }
    return 0;
}
