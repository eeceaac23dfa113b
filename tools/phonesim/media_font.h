#pragma once

// A tiny fixed bitmap font, so the simulator can letter its screen without a GUI library.
namespace MediaFont {
constexpr int kColumns = 5;
constexpr int kRows = 7;
// Cell advance including one column / row of spacing.
constexpr int kAdvanceX = kColumns + 1;
constexpr int kAdvanceY = kRows + 2;

// kRows bytes, one per row from the top; bit (kColumns - 1 - x) set means ink at column x.
const unsigned char *glyph(char32_t ch);
} // namespace MediaFont
