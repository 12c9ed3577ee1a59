#include "shell/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

void drawBody(QPainter& p, const QRectF& body) {
    QLinearGradient metal(body.topLeft(), body.topRight());
    metal.setColorAt(0, QColor(0x2b, 0x33, 0x3d));
    metal.setColorAt(0.45, QColor(0x5c, 0x6a, 0x78));
    metal.setColorAt(1, QColor(0x22, 0x29, 0x31));
    p.setPen(QPen(QColor(0x15, 0x1a, 0x20), body.width() / 60));
    p.setBrush(metal);
    p.drawRoundedRect(body, body.width() / 8, body.width() / 8);
}

void drawScreen(QPainter& p, const QRectF& screen) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x0a, 0x12, 0x1a));
    p.drawRoundedRect(screen, screen.width() / 20, screen.width() / 20);
    QFont font(QStringLiteral("Sans"));
    font.setBold(true);
    font.setPixelSize(qMax(4, int(screen.height() / 3.2)));
    p.setFont(font);
    p.setPen(QColor(0x4f, 0xd1, 0xff));
    p.drawText(screen.adjusted(0, 0, 0, -screen.height() / 3), Qt::AlignCenter,
               QStringLiteral("75W"));
    font.setPixelSize(qMax(3, int(screen.height() / 6)));
    p.setFont(font);
    p.setPen(QColor(0x9a, 0xe6, 0x7a));
    p.drawText(screen.adjusted(0, screen.height() / 2, 0, 0), Qt::AlignCenter,
               QStringLiteral("0.25\u03a9  3.9V"));
}

void drawButtons(QPainter& p, const QRectF& body) {
    const qreal w = body.width();
    // fire button on the upper front, adjust buttons below the screen
    p.setPen(QPen(QColor(0x10, 0x10, 0x10), w / 80));
    p.setBrush(QColor(0xe0, 0x6a, 0x1b));
    p.drawRoundedRect(QRectF(body.left() + w * 0.22, body.top() + w * 0.08, w * 0.56, w * 0.16),
                      w * 0.08, w * 0.08);
    p.setBrush(QColor(0x9a, 0xa5, 0xb1));
    for (int i = 0; i < 2; ++i)
        p.drawEllipse(QRectF(body.left() + w * (0.22 + 0.36 * i), body.bottom() - w * 0.32, w * 0.2,
                             w * 0.2));
}

void drawAtomizer(QPainter& p, const QRectF& body) {
    const qreal w = body.width();
    const QRectF tank(body.center().x() - w * 0.22, body.top() - w * 0.55, w * 0.44, w * 0.5);
    QLinearGradient glass(tank.topLeft(), tank.topRight());
    glass.setColorAt(0, QColor(0x8a, 0x97, 0xa3));
    glass.setColorAt(0.5, QColor(0xd8, 0xe0, 0xe6));
    glass.setColorAt(1, QColor(0x70, 0x7c, 0x88));
    p.setPen(QPen(QColor(0x30, 0x38, 0x40), w / 80));
    p.setBrush(glass);
    p.drawRoundedRect(tank, w * 0.04, w * 0.04);
    p.setBrush(QColor(0x30, 0x38, 0x40));
    p.drawRoundedRect(
        QRectF(tank.center().x() - w * 0.08, tank.top() - w * 0.12, w * 0.16, w * 0.14), w * 0.03,
        w * 0.03);
}

} // namespace

QPixmap ProductPicture(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = size * 0.46;
    const QRectF body(size / 2.0 - w / 2, size * 0.34, w, size * 0.62);
    drawAtomizer(p, body);
    drawBody(p, body);
    drawScreen(p, QRectF(body.left() + w * 0.1, body.top() + w * 0.32, w * 0.8, w * 0.5));
    drawButtons(p, body);
    return pixmap;
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 32, 64, 128})
        icon.addPixmap(ProductPicture(size));
    return icon;
}
