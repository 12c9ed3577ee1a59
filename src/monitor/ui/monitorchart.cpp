#include "monitor/ui/monitorchart.h"

#include "monitor/monitorhistory.h"

#include <QMouseEvent>
#include <QPainter>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr double LineWidth = 2;
constexpr double MarkerRadius = 3;
constexpr int MarkGap = 3; // between a marker and its value
// The curve image goes on this far right of the plot, under the margin: a line drawn to the
// newest point, which may sit half a pixel beyond the edge, is whole there when the next
// poll scrolls it into view.
constexpr double RunOn = LineWidth + 1;
} // namespace

TMonitorChart::TMonitorChart(const TMonitorHistory& history, QWidget* parent)
    : QWidget(parent), m_history(history) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(120, 80);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TMonitorChart::setCurveShown(int row, bool shown) {
    m_shown[size_t(row)] = shown;
    invalidate();
}

void TMonitorChart::samplesAdded() {
    page();
    update();
}

void TMonitorChart::setHoverIndex(int index) {
    if (index == m_hover)
        return;
    m_hover = index;
    emit hoverChanged(index);
    update();
}

qsizetype TMonitorChart::lastX() const {
    return m_history.size() - 1;
}

// Until the first page is full it stays in view; later a following chart shows the newest
// points and a panned one stays where the user left it.
void TMonitorChart::page() {
    const qsizetype last = lastX();
    if (last <= m_perPage - 1) {
        m_min = 0;
        m_max = m_perPage - 1;
        return;
    }
    if (m_follow) {
        m_max = double(last);
        m_min = m_max - m_perPage;
        return;
    }
    m_min = std::clamp(m_min, 0.0, double(last - m_perPage));
    m_max = m_min + m_perPage;
    m_follow = m_max >= double(last);
}

void TMonitorChart::panBy(double pixels) {
    const double width = plotRect().width();
    if (width > 0)
        panTo(m_min - pixels * (m_max - m_min) / width);
}

void TMonitorChart::panTo(double min) {
    const qsizetype last = lastX();
    if (last <= m_perPage - 1)
        return; // the first page is not full: nothing to pan
    m_min = std::clamp(min, 0.0, double(last - m_perPage));
    m_max = m_min + m_perPage;
    m_follow = m_max >= double(last);
    update();
}

QRectF TMonitorChart::plotRect() const {
    return QRectF(rect()).adjusted(Margin, Margin, -Margin, -Margin);
}

double TMonitorChart::xAt(double pixelX) const {
    const QRectF plot = plotRect();
    return m_min + (pixelX - m_phase - plot.left()) * (m_max - m_min) / plot.width();
}

QPointF TMonitorChart::position(double x, double y) const {
    const QRectF plot = plotRect();
    return {plot.left() + m_phase + (x - m_min) * plot.width() / (m_max - m_min),
            plot.bottom() - y * plot.height() / 100.0};
}

// The point left of the mouse: the first point whose X is not less than the mouse's, minus
// one. Beyond the last point, or with no curve shown, the index stays.
void TMonitorChart::hover(double pixelX) {
    const bool anyShown = std::find(m_shown.begin(), m_shown.end(), true) != m_shown.end();
    if (!anyShown || m_history.isEmpty())
        return;
    const double x = xAt(pixelX);
    const double first = std::max(0.0, std::ceil(x));
    if (first <= double(lastX()))
        setHoverIndex(int(first) - 1);
}

void TMonitorChart::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_perPage = std::max(1, width() / PixelsPerPoint);
    page();
    invalidate();
}

void TMonitorChart::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        invalidate();
}

void TMonitorChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_dragging = true;
    m_dragX = event->position().x();
    setCursor(Qt::ClosedHandCursor);
}

void TMonitorChart::mouseMoveEvent(QMouseEvent* event) {
    const double x = event->position().x();
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        panBy(x - m_dragX);
        m_dragX = x;
    }
    hover(x);
}

void TMonitorChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    m_dragging = false;
    unsetCursor();
}

void TMonitorChart::invalidate() {
    m_curvesValid = false;
    update();
}

void TMonitorChart::paintEvent(QPaintEvent*) {
    refreshCurves();
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), m_curves);
    const QRectF plot = plotRect(); // the run-on stays hidden
    painter.fillRect(QRectF(plot.right(), 0, width() - plot.right(), height()),
                     palette().color(QPalette::Base));
    painter.setRenderHint(QPainter::Antialiasing);
    for (int row = 0; row < MonitorRowCount; ++row)
        if (m_shown[size_t(row)])
            drawHighlights(painter, row);
}

// Brings the curve image up to the view: scrolled on by the points added, or drawn anew.
void TMonitorChart::refreshCurves() {
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (m_curves.size() != pixels || m_curves.devicePixelRatio() != ratio) {
        m_curves = QImage(pixels, QImage::Format_RGB32); // opaque: drawn onto the widget by copying
        m_curves.setDevicePixelRatio(ratio);
        m_curvesValid = false;
    }
    // The points in view, with one beyond each edge so that the lines run on to the edges.
    const qsizetype first = std::max<qsizetype>(0, qsizetype(std::ceil(m_min)) - 1);
    const qsizetype end = std::min(lastX(), qsizetype(std::floor(m_max)) + 1);
    if (m_curvesValid && scrollCurves()) {
        if (end > m_curvesEnd) // on from the last point drawn
            drawCurves(std::max(first, m_curvesEnd), end, m_curvesEnd >= first);
    } else {
        m_phase = 0;
        m_curves.fill(palette().color(QPalette::Base));
        drawCurves(first, end, false);
    }
    m_curvesValid = true;
    m_curvesMin = m_min;
    m_curvesSpan = m_max - m_min;
    m_curvesPlot = plotRect();
    m_curvesEnd = end;
}

// Moves the image left by the whole points the view moved on since it was drawn; false
// when the view changed otherwise (another scale or plot, a move back or by a fraction of
// a point) and the image has to be drawn anew. Spans are compared exactly: a difference
// too small to see costs one full drawing, never a wrong picture.
bool TMonitorChart::scrollCurves() {
    const QRectF plot = plotRect();
    if (m_max - m_min != m_curvesSpan || plot != m_curvesPlot)
        return false; // another scale
    const double points = m_min - m_curvesMin;
    if (points < 0 || points != std::floor(points) || lastX() < m_curvesEnd)
        return false;
    const qreal ratio = m_curves.devicePixelRatio();
    const double moved = m_phase + points * plot.width() / (m_max - m_min);
    const int shift = int(std::lround(moved * ratio));
    const int left = int(std::floor(plot.left() * ratio));
    const int right = std::min(m_curves.width(), int(std::ceil((plot.right() + RunOn) * ratio)));
    if (shift >= (right - left) / 2)
        return false; // most of it is new: draw it all
    m_phase = moved - shift / ratio;
    if (shift <= 0)
        return true;
    const QRgb background = palette().color(QPalette::Base).rgba();
    for (int y = 0; y < m_curves.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(m_curves.scanLine(y));
        std::memmove(line + left, line + left + shift, size_t(right - left - shift) * sizeof(QRgb));
        std::fill(line + right - shift, line + right, background);
    }
    return true;
}

void TMonitorChart::drawCurves(qsizetype first, qsizetype last, bool continued) {
    if (first > last)
        return;
    QPainter painter(&m_curves);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF plot = plotRect();
    painter.setClipRect(QRectF(plot.left(), 0, plot.width() + RunOn, height()));
    for (int row = 0; row < MonitorRowCount; ++row)
        if (m_shown[size_t(row)])
            drawCurve(painter, row, first, last, continued);
}

// The row's line through the points from first to last, broken at every gap; a point
// with gaps on both sides is a dot. Round ends, so that a line continued later (the next
// poll's segment) joins without a notch. continued: the point at first is drawn already.
void TMonitorChart::drawCurve(QPainter& painter, int row, qsizetype first, qsizetype last,
                              bool continued) const {
    QPen pen(QColor::fromRgb(MonitorRows()[size_t(row)].colour), LineWidth);
    pen.setCapStyle(continued ? Qt::RoundCap : Qt::FlatCap);
    pen.setJoinStyle(Qt::BevelJoin);
    painter.setPen(pen);
    QVarLengthArray<QPointF, 1024> run;
    qsizetype runStart = first;
    const auto flush = [&] {
        if (run.size() == 1 && !(continued && runStart == first))
            painter.drawPoint(run.front());
        else if (run.size() > 1)
            painter.drawPolyline(run.data(), int(run.size()));
        run.clear();
    };
    for (qsizetype i = first; i <= last; ++i) {
        if (const std::optional<double> y = SamplePoint(m_history.at(i), row)) {
            if (run.isEmpty())
                runStart = i;
            run.append(position(double(i), *y));
        } else {
            flush();
        }
    }
    flush();
}

// Highlighted: the curve's last point and the hovered index, where they are in view.
void TMonitorChart::drawHighlights(QPainter& painter, int row) const {
    const qsizetype newest = lastX();
    const auto inView = [&](qsizetype i) {
        return i >= 0 && i <= newest && double(i) >= m_min && double(i) <= m_max;
    };
    if (inView(newest))
        drawMark(painter, row, newest);
    if (m_hover != newest && inView(m_hover))
        drawMark(painter, row, m_hover);
}

void TMonitorChart::drawMark(QPainter& painter, int row, qsizetype index) const {
    const std::optional<double> y = SamplePoint(m_history.at(index), row);
    if (!y)
        return;
    const QPointF at = position(double(index), *y);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgb(MonitorRows()[size_t(row)].colour));
    painter.drawEllipse(at, MarkerRadius, MarkerRadius);
    const QString text = RowMarkText(row, *y);
    const QFontMetrics metrics = painter.fontMetrics();
    QRectF box(0, 0, metrics.horizontalAdvance(text), metrics.height());
    box.moveCenter(at);
    box.moveBottom(at.y() - MarkerRadius - MarkGap);
    if (box.top() < 0)
        box.moveTop(at.y() + MarkerRadius + MarkGap);
    box.moveLeft(std::clamp(box.left(), 0.0, std::max(0.0, width() - box.width())));
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(box, Qt::AlignCenter, text);
}
