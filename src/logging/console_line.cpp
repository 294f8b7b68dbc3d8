#include "logging/console_line.h"

#include "logging/console_handler.h"

void ConsoleLine::Fill(wchar_t character) {
    console.FillRow(row, character);
    leftExtra = 0;
}

void ConsoleLine::DrawText(const std::wstring& text) {
    leftExtra = console.DrawOnRow(row, text, RowAlign::Left, 0);
}

void ConsoleLine::DrawRight(const std::wstring& text) {
    console.DrawOnRow(row, text, RowAlign::Right, leftExtra);
}
