#pragma once
// The curve files the editor exchanges: a profile's TFR curve and the battery discharge
// curve, as small CSV texts ("." as decimal separator whatever the locale, CR LF after every
// line). Reading checks the whole text first and yields a complete curve or nothing, so a
// bad file never leaves a half-loaded curve behind.

#include "settings/settings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

using TTfrCurve = std::array<qint32, TFRCount>;

// The text of a file as lines (CR LF, LF or CR). A byte-order mark selects UTF-8 or UTF-16;
// otherwise UTF-8, or Latin-1 when the bytes are not valid UTF-8. A line break at the end
// does not start another line.
QStringList CsvLines(const QByteArray& content);

// TFR file: the heading "Temperature (degC)","Electrical Resistivity", then one line per
// temperature 100..300: "100,1.0000".
QByteArray FormatTfrCsv(const TTfrCurve& curve);
// Lines 2 to 6: the text after the first comma is the value (ParseFloat: "." and "," both
// decimal separators, a non-number is 0), stored as value x 10000. Nothing when a line is
// missing or has no comma.
std::optional<TTfrCurve> ParseTfrCsv(const QByteArray& content);

// Battery file: 14 lines, the heading, the 11 curve points (charge %, voltage V, 2 decimals
// each), a second heading, and energy (Wh, 3 decimals) with the soft cut-off (V, 2 decimals).
QByteArray FormatBatteryCsv(const TV2PTable& table);
// Lines 2 to 12 are the points, line 14 the energy and cut-off; a file of 12 lines or fewer
// gives 18.000 Wh and 2.50 V. Each line splits at its first comma. Nothing when a needed
// line is missing or has no comma.
std::optional<TV2PTable> ParseBatteryCsv(const QByteArray& content);

// A parsed decimal times scale as a stored integer (ties to even), saturated to 32 bits.
qint32 ToStored(double value, int scale);
