#include "display/displaydata.h"

TLogoSet LogoImages{};
TPicture ScreenImage{};
std::array<quint32, ScreenCells> ScreenColors{};

void ResetDisplayData() {
    for (auto& slot : LogoImages)
        for (auto& row : slot)
            row.fill(PixelOff);
    for (auto& row : ScreenImage)
        row.fill(PixelOff);
    ScreenColors.fill(0);
}

void ClearLogo(int slot, int rows) {
    if (slot < 0 || slot >= LogoSlots)
        return;
    for (int r = 0; r < rows && r < DisplayMaxRows; ++r)
        LogoImages[slot][r].fill(PixelOn);
}
