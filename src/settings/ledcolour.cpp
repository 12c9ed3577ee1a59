#include "settings/ledcolour.h"

QColor ColourWordToRgb(qint32 word) {
    if (IsLedEffect(word))
        return QColor(255, 255, 255);
    return QColor(((word >> 10) & 31) * 8, ((word >> 5) & 31) * 8, (word & 31) * 8);
}

qint32 RgbToColourWord(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return (rgb.red() / 8) * 1024 + (rgb.green() / 8) * 32 + rgb.blue() / 8;
}
