#include "display/packing.h"

TLinePixel PackedPixel(bool rowPacking, int byte, int bit) {
    if (rowPacking)
        return {byte / 16, 8 * (byte % 16) + bit};
    return {bit, byte};
}

QByteArray PackLine(const TPicture& picture, int line, bool rowPacking) {
    QByteArray bytes(DisplayLineBytes, '\0');
    for (int b = 0; b < DisplayLineBytes; ++b) {
        unsigned value = 0;
        for (int j = 0; j < 8; ++j) {
            const TLinePixel p = PackedPixel(rowPacking, b, j);
            if (picture[line * DisplayLineRows + p.row][p.col] != PixelOff)
                value |= 1u << j;
        }
        bytes[b] = static_cast<char>(value);
    }
    return bytes;
}

bool UnpackLine(const QByteArray& bytes, bool rowPacking,
                const std::function<void(int row, int col, bool lit)>& pixel) {
    if (bytes.size() != DisplayLineBytes)
        return false;
    for (int b = 0; b < DisplayLineBytes; ++b) {
        const auto value = static_cast<unsigned char>(bytes[b]);
        for (int j = 0; j < 8; ++j) {
            const TLinePixel p = PackedPixel(rowPacking, b, j);
            pixel(p.row, p.col, (value >> j) & 1u);
        }
    }
    return true;
}

QString EncodePayload(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toBase64());
}

bool DecodePayload(const QString& text, QByteArray& bytes) {
    const auto result = QByteArray::fromBase64Encoding(
        text.toLatin1(), QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    bytes = result ? *result : QByteArray();
    return static_cast<bool>(result);
}

quint32 ColorFrom565(quint16 value) {
    const quint32 r = (value >> 11) & 0x1F;
    const quint32 g = (value >> 5) & 0x3F;
    const quint32 b = value & 0x1F;
    return (r * 33 / 4) | ((g * 405 / 100) << 8) | ((b * 33 / 4) << 16);
}
