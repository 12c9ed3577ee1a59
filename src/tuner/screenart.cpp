#include "tuner/screenart.h"

#include <QPainter>
#include <QPainterPath>

namespace {

struct TValueText {
    QString number;
    QString unit;
};

TValueText SplitValue(TScreenMode mode) {
    switch (mode) {
    case TScreenMode::VV:
        return {QStringLiteral("4.2"), QStringLiteral("V")};
    case TScreenMode::TC:
        return {QStringLiteral("220"), QStringLiteral("C")};
    case TScreenMode::VW:
    case TScreenMode::Charge:
        break;
    }
    return {QStringLiteral("40"), QStringLiteral("W")};
}

QFont ValueFont(qreal pixelSize) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(qMax(1, qRound(pixelSize)));
    return font;
}

// The number in large digits and its unit at about half their size, sharing one baseline,
// as large as fits into area.
void PaintValue(QPainter& painter, const QRectF& area, TScreenMode mode) {
    const TValueText text = SplitValue(mode);
    const qreal margin = area.height() * 0.1;
    const QRectF box = area.adjusted(margin, margin, -margin / 2, -margin);
    qreal size = box.height() * 0.78;
    QFont big, small;
    qreal bigWidth = 0, smallWidth = 0;
    for (int attempt = 0; attempt < 24; ++attempt, size *= 0.92) {
        big = ValueFont(size);
        small = ValueFont(size * 0.55);
        bigWidth = QFontMetricsF(big).horizontalAdvance(text.number);
        smallWidth = QFontMetricsF(small).horizontalAdvance(text.unit);
        if (bigWidth + margin / 4 + smallWidth <= box.width())
            break;
    }
    const QFontMetricsF metrics(big);
    const qreal baseline = box.center().y() + metrics.capHeight() / 2;
    painter.setPen(Qt::white);
    painter.setFont(big);
    painter.drawText(QPointF(box.left(), baseline), text.number);
    painter.setFont(small);
    painter.drawText(QPointF(box.left() + bigWidth + margin / 4, baseline), text.unit);
}

// A standing battery in a 44 x 80 design box fitted into area: outline, cap, and either
// three charge bars or a lightning bolt.
void PaintBattery(QPainter& painter, const QRectF& area, bool charging) {
    const qreal scale = qMin(area.width() / 44.0, area.height() / 80.0);
    painter.save();
    painter.translate(area.center());
    painter.scale(scale, scale);
    painter.translate(-22, -40);

    QPen outline(Qt::white, 2.5);
    outline.setJoinStyle(Qt::MiterJoin);
    painter.setPen(outline);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(11, 16, 22, 54));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(17, 10, 10, 6));
    if (charging) {
        QPainterPath bolt;
        bolt.moveTo(25.5, 21);
        bolt.lineTo(15, 45);
        bolt.lineTo(21.5, 45);
        bolt.lineTo(18.5, 65);
        bolt.lineTo(29, 39);
        bolt.lineTo(22.5, 39);
        bolt.closeSubpath();
        painter.drawPath(bolt);
    } else {
        for (int bar = 0; bar < 3; ++bar)
            painter.drawRect(QRectF(15, 52.5 - bar * 16.5, 14, 13.5));
    }
    painter.restore();
}

} // namespace

QString ScreenArtValue(TScreenMode mode) {
    const TValueText text = SplitValue(mode);
    return text.number + text.unit;
}

void PaintScreenArt(QPainter& painter, const QRectF& rect, TScreenMode mode, qreal valueWidth,
                    qreal batteryWidth) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(rect, Qt::black);
    PaintValue(painter, QRectF(rect.left(), rect.top(), valueWidth, rect.height()), mode);
    PaintBattery(painter,
                 QRectF(rect.right() - batteryWidth, rect.top(), batteryWidth, rect.height()),
                 mode == TScreenMode::Charge);
    painter.restore();
}

TScreenPicture::TScreenPicture(TScreenMode mode, QWidget* parent) : QWidget(parent), m_mode(mode) {
    setMinimumSize(ScreenArtWidth, ScreenArtHeight);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void TScreenPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintScreenArt(painter, QRectF(rect()), m_mode);
}
