#include "logging/console_handler.h"

#include <cstdio>

ConsoleHandler TheConsole;

ConsoleHandler::ConsoleHandler() = default;

namespace {

/// Standard output is in text mode, which turns every "\n" into "\r\n" itself.
void PrintPlain(const std::wstring& text) {
    std::wstring plain;
    plain.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')) {
            plain.push_back(text[i]);
        }
    }
    wprintf(L"%.*ls", static_cast<int>(plain.size()), plain.c_str());
    fflush(stdout);
}

} // namespace

bool ConsoleHandler::Open(const std::wstring& path) {
    if (!path.empty()) {
        (void)mirror.Open(path);
    }
    isOpen = true;
    return true;
}

void ConsoleHandler::Close() {
    mirror.Close();
    isOpen = false;
}

bool ConsoleHandler::Write(const std::wstring& text) {
    (void)mirror.Write(text); // refuses while closed, which it always is here
    PrintPlain(text);
    return true;
}

ILogger& ConsoleHandler::operator<<(const ILoggable& item) {
    if (item.GetColor() != 0) {
        attribute = item.GetColor();
    }
    return StreamItemText(item);
}

bool ConsoleHandler::Ask(const std::wstring& headline, const std::wstring& message, PromptKind,
                         PromptStyle) {
    if (forced) {
        return true;
    }
    if (silent) {
        return false;
    }
    (void)Write(headline + L"\r\n" + message + L" [YES]\r\n");
    return true;
}

ProgressIndicator::ProgressIndicator(const std::wstring& text) : text(text) {
    (void)TheConsole.Write(text);
}

void ProgressIndicator::SetProgress(int32_t) {}
void ProgressIndicator::SetDone() {}
void ProgressIndicator::SetError() {}
