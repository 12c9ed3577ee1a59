#include "display/transfers.h"

#include "display/displaydata.h"
#include "display/packing.h"
#include "link/transport.h"
#include "settings/models.h"
#include "settings/settings.h"

#include <QElapsedTimer>

#include <memory>

namespace {

int LinesPerSlot() {
    return ModInfo.scrHeight / DisplayLineRows;
}

bool Refused(QString* refusal) {
    const QString text = DisplayRefusal();
    if (refusal)
        *refusal = text;
    return !text.isEmpty();
}

// A decoded 128-byte display line; anything else loses the link.
bool DecodeLine(const QString& text, QByteArray& bytes) {
    if (LinkLost)
        return false;
    if (DecodePayload(text, bytes) && bytes.size() == DisplayLineBytes)
        return true;
    LinkLost = true;
    return false;
}

void ReadLogoLine(int k, TLogoSet& logos) {
    const int p = LinesPerSlot();
    const int slot = k / p, firstRow = (k % p) * DisplayLineRows;
    QString text;
    ReadParam(QStringLiteral("LOGO[%1]").arg(k), text);
    QByteArray bytes;
    if (!DecodeLine(text, bytes) || slot >= LogoSlots)
        return;
    UnpackLine(bytes, ModInfo.scrColor, [&](int row, int col, bool lit) {
        logos[slot][firstRow + row][col] = lit ? PixelOn : PixelOff;
    });
}

void WriteLogoLine(int k) {
    const int p = LinesPerSlot();
    const int slot = k / p;
    const QByteArray bytes = slot < LogoSlots ? PackLine(LogoImages[slot], k % p, ModInfo.scrColor)
                                              : QByteArray(DisplayLineBytes, '\0');
    WriteParam(QStringLiteral("LOGO[%1]").arg(k), EncodePayload(bytes));
}

// One screen line, asked again while the device answers "BUSY".
QString ReadScreenLine(int q) {
    const QString name = QStringLiteral("SCR[%1]").arg(q);
    QElapsedTimer clock;
    clock.start();
    QString text;
    for (int repeats = 0;; ++repeats) {
        ReadParam(name, text);
        if (text != QLatin1String("BUSY"))
            return text;
        if (repeats >= ScreenBusyLimit || clock.elapsed() >= ScreenBusyMs) {
            LinkLost = true;
            return {};
        }
    }
}

void ReadScreenColors(int p) {
    for (int t = 0; t < 2; ++t) {
        QByteArray bytes;
        if (!DecodeLine(ReadScreenLine(p + t), bytes))
            continue;
        for (int d = 0; d < 64; ++d) {
            const auto hi = static_cast<unsigned char>(bytes[2 * d]);
            const auto lo = static_cast<unsigned char>(bytes[2 * d + 1]);
            ScreenColors[t * 64 + d] = ColorFrom565(quint16((hi << 8) | lo));
        }
    }
}

void ReadScreenPicture(int q) {
    QByteArray bytes;
    if (!DecodeLine(ReadScreenLine(q), bytes))
        return;
    const bool color = ModInfo.scrColor;
    UnpackLine(bytes, color, [&](int row, int col, bool lit) {
        const int r = q * DisplayLineRows + row;
        const quint32 on = color ? ScreenColors[ScreenCellOf(r, col)] : PixelOn;
        ScreenImage[r][col] = lit ? on : PixelOff;
    });
}

} // namespace

QString DisplayRefusal() {
    if (ModInfo.scrHeight >= DisplayLineRows && ModInfo.scrHeight <= DisplayMaxRows)
        return {};
    return QStringLiteral("The connected model has no display: read the device first.");
}

bool ReadLogos(QString* refusal) {
    if (Refused(refusal))
        return false;
    TSequence sequence(LogoLines);
    const int count = qBound(0, ModInfo.numLogo, LogoSlotCount);
    TIntegers screens;
    ReadInts(QStringLiteral("LSCR"), count, screens);
    auto logos = std::make_unique<TLogoSet>(LogoImages);
    for (int k = 0; k < LogoLines; ++k)
        ReadLogoLine(k, *logos);
    if (!sequence.Finish())
        return false;
    for (int i = 0; i < count && i < screens.size(); ++i)
        Settings.logoScreen[size_t(i)] = screens[i];
    LogoImages = *logos;
    return true;
}

bool WriteLogos(QString* refusal) {
    if (Refused(refusal))
        return false;
    TSequence sequence(LogoLines);
    RunCommand(QStringLiteral("LRST"));
    Pause(100);
    FlushPort();
    if (ModInfo.numLogo == 8 || ModInfo.numLogo == 4) {
        const auto& screens = Settings.logoScreen;
        WriteInts(QStringLiteral("LSCR"),
                  TIntegers(screens.begin(), screens.begin() + ModInfo.numLogo));
    }
    for (int k = 0; k < LogoLines; ++k)
        WriteLogoLine(k);
    return sequence.Finish();
}

bool ReadScreen(QString* refusal) {
    if (Refused(refusal))
        return false;
    const int p = ModInfo.scrHeight / DisplayLineRows;
    TSequence sequence(p);
    if (ModInfo.scrColor)
        ReadScreenColors(p);
    for (int q = 0; q < p; ++q)
        ReadScreenPicture(q);
    return sequence.Finish();
}
