#pragma once
// Decimal numbers as the user types and sees them: tolerant parsing, the clamp-and-store
// rule of the editor's text fields, fixed-notation formatting. Shared by the editor, the
// monitor and the curve files; no widgets here.

#include <QLocale>
#include <QString>

// Every "." and "," counts as the decimal separator; surrounding blanks are ignored. A text
// that is not a finite number (an empty text too) gives 0.
double ParseFloat(const QString& text, const QLocale& locale = QLocale());

// The nearest integer, ties to the even one (12.5 -> 12, 13.5 -> 14); saturates at +-2^62.
qint64 RoundHalfEven(double value);

// value in fixed notation with exactly `decimals` decimals, the locale's decimal
// separator, no group separators, never "-0".
QString FormatFixed(double value, int decimals, const QLocale& locale = QLocale());

// A text field's commit: the typed text parsed, clamped to [min, max], stored as an integer
// in units of 1/scale, and the text the field shows afterwards. The stored value is rounded
// (ties to even) to what the field can show, so the field always shows exactly what is
// stored: 12.25 in a one-decimal field of scale 10 stores 122 and shows 12.2; 1.25 in a
// one-decimal field of scale 1000 stores 1200 and shows 1.2.
struct TClamped {
    qint32 stored = 0;
    QString shown;
};
TClamped ClampValue(const QString& text, int decimals, double min, double max, int scale,
                    const QLocale& locale = QLocale());

// A stored integer as its field shows it: stored / scale with `decimals` decimals.
QString FormatStored(qint64 stored, int decimals, int scale, const QLocale& locale = QLocale());
