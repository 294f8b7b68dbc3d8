#include "logging/console_line.h"

#include "logging/console_handler.h"

void ConsoleLine::Fill(wchar_t character) {
    console.FillRow(row, character);
}

void ConsoleLine::DrawText(const std::wstring& text) {
    console.DrawOnRow(row, text, RowAlign::Left);
}

void ConsoleLine::DrawRight(const std::wstring& text) {
    console.DrawOnRow(row, text, RowAlign::Right);
}
