#pragma once
// The device's LED colour word (brTime column 2) and the screen colour that shows it.
// The word's low 15 bits are 5-5-5 red (10-14), green (5-9), blue (0-4) for a solid
// colour; bit 15 marks an effect whose number is bits 0-14.

#include "settings/settings.h"

#include <QColor>

// A colour word as a screen colour: white for an effect; otherwise each 5-bit channel
// times 8 (full intensity shows as 248).
QColor ColourWordToRgb(qint32 word);

// A screen colour as a solid-colour word: each channel divided by 8 (bit 15 clear).
qint32 RgbToColourWord(const QColor& colour);

// Whether the word names an effect; the effect's number.
inline bool IsLedEffect(qint32 word) {
    return (word & LedEffectBit) != 0;
}
inline qint32 LedEffectNumber(qint32 word) {
    return word & (LedEffectBit - 1);
}
