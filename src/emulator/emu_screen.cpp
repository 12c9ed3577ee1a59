// What the device's display shows: the active profile's main value in large digits and a
// battery symbol with its charge, packed line by line as the display memory holds it.

#include "emulator/emu_device.h"

#include <algorithm>
#include <cmath>

namespace emu {

namespace {

constexpr int Width = 128;

struct Glyph {
    char c;
    quint8 rows[7]; // 5 pixels per row, bit 4 is the leftmost
};

const Glyph Font[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'%', {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03}},
    {'*', {0x0C, 0x12, 0x12, 0x0C, 0x00, 0x00, 0x00}}, // the degree sign
};

class Canvas {
public:
    explicit Canvas(int height) : m_height(height), m_pixels(size_t(Width * height), 0) {}
    void set(int x, int y) {
        if (x >= 0 && x < Width && y >= 0 && y < m_height)
            m_pixels[size_t(y * Width + x)] = 1;
    }
    void fill(int x, int y, int w, int h) {
        for (int yy = y; yy < y + h; ++yy)
            for (int xx = x; xx < x + w; ++xx)
                set(xx, yy);
    }
    void frame(int x, int y, int w, int h) {
        fill(x, y, w, 1);
        fill(x, y + h - 1, w, 1);
        fill(x, y, 1, h);
        fill(x + w - 1, y, 1, h);
    }
    // Text at the given scale; returns the x after the last character.
    int text(int x, int y, const QByteArray& s, int scale) {
        for (char c : s) {
            for (const Glyph& g : Font) {
                if (g.c != c)
                    continue;
                for (int row = 0; row < 7; ++row)
                    for (int col = 0; col < 5; ++col)
                        if (g.rows[row] & (0x10 >> col))
                            fill(x + col * scale, y + row * scale, scale, scale);
            }
            x += 6 * scale;
        }
        return x;
    }
    std::vector<quint8>& pixels() { return m_pixels; }

private:
    int m_height;
    std::vector<quint8> m_pixels;
};

QByteArray fixed(int value, int decimals) {
    if (decimals == 0)
        return QByteArray::number(value);
    int div = decimals == 1 ? 10 : 100;
    QByteArray frac = QByteArray::number(std::abs(value) % div).rightJustified(decimals, '0');
    return QByteArray::number(value / div) + '.' + frac;
}

} // namespace

std::vector<quint8> Device::renderScreen() {
    const int h = m_model.height;
    Canvas canvas(h);
    const int p = std::clamp(get("PROF", 0), 0, 7);
    const QByteArray ppar = "PPAR[" + QByteArray::number(p) + ']';
    const int mode = get("PMOD[" + QByteArray::number(p) + ']', 0);
    const int flags = get("FLGS", 0);
    QByteArray main;
    if (mode == 0)
        main = fixed(get(ppar, 0), 2) + 'V';
    else if (mode == 1)
        main = fixed(get(ppar, 1), 1) + 'W';
    else
        main = QByteArray::number(get(ppar, 3)) + '*' + ((flags & 8) ? 'F' : 'C');
    const int scale = main.size() * 18 <= 96 ? 3 : 2;
    canvas.text(2, (h - 7 * scale) / 2, main, scale);
    // The battery symbol in the top right corner, filled by its charge.
    const int percent = std::clamp(cellPercent(), 0, 100);
    canvas.frame(100, 2, 24, 12);
    canvas.fill(124, 5, 3, 6);
    canvas.fill(102, 4, (20 * percent + 50) / 100, 8);
    canvas.text(100, 18, QByteArray::number(percent) + '%', 1);
    if (h >= 64)
        canvas.text(2, h - 16, "P" + QByteArray::number(p + 1), 2);
    std::vector<quint8> pixels = std::move(canvas.pixels());
    if (flags & 128) // rotated display
        std::reverse(pixels.begin(), pixels.end());
    if (flags & 256) // inverted display
        for (quint8& px : pixels)
            px ^= 1;
    return pixels;
}

// One colour per 8 x 8 cell in 5-6-5: the battery green (red when low), the rest white.
std::vector<quint16> Device::cellColors() {
    std::vector<quint16> colors(128, 0xFFFF);
    const bool low = cellPercent() < 20;
    for (int band = 0; band < 2; ++band)
        for (int col = 12; col < 16; ++col)
            colors[size_t(band * 16 + col)] = low ? 0xF800 : 0x07E0;
    return colors;
}

QByteArray Device::screenLine(int index) {
    const int lines = m_model.height / 8;
    QByteArray bytes(LineBytes, '\0');
    if (index >= lines) { // the two colour lines, 64 cells each, high byte first
        const std::vector<quint16> colors = cellColors();
        for (int d = 0; d < 64; ++d) {
            const quint16 c = colors[size_t((index - lines) * 64 + d)];
            bytes[2 * d] = static_cast<char>(c >> 8);
            bytes[2 * d + 1] = static_cast<char>(c & 0xFF);
        }
        return bytes.toBase64();
    }
    const std::vector<quint8> px = renderScreen();
    for (int b = 0; b < LineBytes; ++b) {
        int value = 0;
        for (int j = 0; j < 8; ++j) {
            const int row = m_model.color ? 8 * index + b / 16 : 8 * index + j;
            const int col = m_model.color ? 8 * (b % 16) + j : b;
            if (px[size_t(row * Width + col)])
                value |= 1 << j;
        }
        bytes[b] = static_cast<char>(value);
    }
    return bytes.toBase64();
}

} // namespace emu
