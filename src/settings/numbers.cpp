#include "settings/numbers.h"

#include <cmath>

double ParseFloat(const QString& text, const QLocale& locale) {
    QString normal = text.trimmed();
    const QString separator = locale.decimalPoint();
    normal.replace(QLatin1Char('.'), separator);
    normal.replace(QLatin1Char(','), separator);
    QLocale strict = locale;
    strict.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = strict.toDouble(normal, &ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

qint64 RoundHalfEven(double value) {
    constexpr double limit = 4611686018427387904.0; // 2^62: far beyond any stored value
    if (!(value > -limit))
        return -qint64(limit);
    if (value > limit)
        return qint64(limit);
    return qint64(std::nearbyint(value)); // the default rounding: to nearest, ties to even
}

QString FormatFixed(double value, int decimals, const QLocale& locale) {
    QLocale plain = locale;
    plain.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    QString text = plain.toString(value, 'f', decimals);
    // A value that rounds to zero keeps no sign.
    const QString zero = plain.toString(0.0, 'f', decimals);
    if (text == plain.negativeSign() + zero)
        text = zero;
    return text;
}

namespace {
qint64 PowerOfTen(int decimals) {
    qint64 p = 1;
    for (int i = 0; i < decimals; ++i)
        p *= 10;
    return p;
}
} // namespace

TClamped ClampValue(const QString& text, int decimals, double min, double max, int scale,
                    const QLocale& locale) {
    double value = ParseFloat(text, locale);
    if (!(value >= min))
        value = min;
    if (value > max)
        value = max;
    const qint64 shownUnits = PowerOfTen(decimals);
    qint64 stored = 0;
    if (scale >= shownUnits && scale % shownUnits == 0)
        stored = RoundHalfEven(value * double(shownUnits)) * (scale / shownUnits);
    else
        stored = RoundHalfEven(value * double(scale));
    return {qint32(stored), FormatStored(stored, decimals, scale, locale)};
}

QString FormatStored(qint64 stored, int decimals, int scale, const QLocale& locale) {
    return FormatFixed(double(stored) / double(scale), decimals, locale);
}
