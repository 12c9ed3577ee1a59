#pragma once
// The application-wide picture stores of the device display: the logo slots, the last
// screenshot and its cell colours. Colours are 0x00BBGGRR; a logo pixel is 0 or 0xFFFFFF.

#include <QtGlobal>

#include <array>

constexpr int DisplayWidth = 128;  // pixels per display row
constexpr int DisplayMaxRows = 64; // the tallest display
constexpr int DisplayLineRows = 8; // pixel rows per transferred display line
constexpr int DisplayLineBytes = 128;
constexpr int LogoSlots = 8;
constexpr int LogoLines = 32;    // display lines moved by every logo transfer
constexpr int ScreenCells = 128; // 8 x 8 pixel cells of a 128 x 64 display
constexpr quint32 PixelOn = 0xFFFFFF;
constexpr quint32 PixelOff = 0;

using TPictureRow = std::array<quint32, DisplayWidth>;
using TPicture = std::array<TPictureRow, DisplayMaxRows>; // [row][column]
using TLogoSet = std::array<TPicture, LogoSlots>;         // [slot][row][column]

extern TLogoSet LogoImages;
extern TPicture ScreenImage;
extern std::array<quint32, ScreenCells> ScreenColors;

// The cell (index into ScreenColors) of the pixel at row r, column c.
constexpr int ScreenCellOf(int r, int c) {
    return (r / 8) * 16 + c / 8;
}

// "Clear" of a logo slot: every pixel of the rows below `rows` lit (white).
void ClearLogo(int slot, int rows);

void ResetDisplayData(); // all stores back to 0 (for tests)
