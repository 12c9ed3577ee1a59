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
