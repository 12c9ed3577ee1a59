#include "shell/progressbar.h"

#include "link/transport.h"

#include <QPainter>

namespace {
constexpr int kBlock = 8; // block width
constexpr int kGap = 2;   // space between blocks
} // namespace

TSegmentedProgressBar::TSegmentedProgressBar(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TSegmentedProgressBar::setProgress(int position, int max) {
    if (position == m_position && max == m_max)
        return;
    m_position = position;
    m_max = max;
    if (isVisible())
        repaint(); // the event loop may not run again until the transaction ends
}

void TSegmentedProgressBar::follow(TProgress& progress) {
    setProgress(progress.Position(), progress.Max());
    connect(&progress, &TProgress::changed, this, &TSegmentedProgressBar::setProgress);
}

QSize TSegmentedProgressBar::sizeHint() const {
    return {200, 17};
}

void TSegmentedProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame);
    if (m_max <= 0 || m_position <= 0)
        return;
    const QRect inner = frame.adjusted(2, 2, -1, -1);
    const qint64 filled =
        qint64(inner.width()) * std::min(m_position, m_max) / m_max; // pixels to cover
    const QColor block = palette().color(QPalette::Highlight);
    for (int x = 0; x < filled; x += kBlock + kGap) {
        const int w = int(std::min<qint64>(kBlock, filled - x));
        painter.fillRect(inner.left() + x, inner.top(), w, inner.height(), block);
    }
}
