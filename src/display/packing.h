#pragma once
// The display byte packings, the payload coding and the cell colours of the display
// protocol. A display line is 8 pixel rows x 128 columns carried as 128 bytes:
// - column packing (monochrome displays): byte b is column b, bit j is row j of the line;
// - row packing (colour displays): byte b is row b / 16 of the line, bit j is column
//   8 * (b % 16) + j.
// Bit j has the value 2^j; a set bit is a lit pixel.

#include "display/displaydata.h"

#include <QByteArray>
#include <QString>

#include <functional>

struct TLinePixel {
    int row; // 0..7 within the line
    int col; // 0..127
};

// The pixel that bit `bit` of byte `byte` stands for.
TLinePixel PackedPixel(bool rowPacking, int byte, int bit);

// The 128 bytes of the line holding rows 8 * line .. 8 * line + 7 of `picture`; a pixel
// that is not 0 is lit.
QByteArray PackLine(const TPicture& picture, int line, bool rowPacking);

// Calls `pixel` for each of the 1024 pixels of a 128-byte line (row within the line,
// column, lit). Returns false (without calling) when `bytes` is not 128 bytes long.
bool UnpackLine(const QByteArray& bytes, bool rowPacking,
                const std::function<void(int row, int col, bool lit)>& pixel);

// Base64 with the standard alphabet and "=" padding, no line breaks.
QString EncodePayload(const QByteArray& bytes);
// Strict decoding: false for characters outside the alphabet or bad padding.
bool DecodePayload(const QString& text, QByteArray& bytes);

// A 5-6-5 cell colour (high byte first on the wire) as 0x00BBGGRR.
quint32 ColorFrom565(quint16 value);
