#include "monitor/ui/monitorchart.h"

#include "monitor/monitorhistory.h"

#include <QMouseEvent>
#include <QPainter>
#include <QVarLengthArray>
#include <QWheelEvent>

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
constexpr double WheelStep = 120;  // one notch of a mouse wheel
constexpr double WheelZoom = 1.41; // the zoom of one notch: two notches make a "+"

QRgb RowColour(int row) {
    return 0xFF000000u | MonitorRows()[size_t(row)].colour;
}

// n pixels of one colour, two at a time.
void FillRun(QRgb* pixels, int n, QRgb colour) {
    if (n > 0 && reinterpret_cast<quintptr>(pixels) % sizeof(quint64) != 0) {
        *pixels++ = colour;
        --n;
    }
    const quint64 two = quint64(colour) << 32 | colour;
    auto* pairs = reinterpret_cast<quint64*>(pixels);
    for (int i = 0; i < n / 2; ++i)
        std::memcpy(pairs + i, &two, sizeof two);
    if (n % 2)
        pixels[n - 1] = colour;
}

QString DefaultEmptyText() {
    return QStringLiteral("Start Monitoring to see live values");
}
} // namespace

TMonitorChart::TMonitorChart(const TMonitorHistory& history, QWidget* parent)
    : QWidget(parent), m_history(history), m_emptyText(DefaultEmptyText()) {
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

void TMonitorChart::historyReset() {
    m_zoom = 1;
    m_fitAll = false;
    m_follow = true;
    m_curvesEnd = -1;
    page();
    invalidate();
}

void TMonitorChart::setEmptyText(const QString& text) {
    m_emptyText = text;
    update();
}

QString TMonitorChart::placeholder() const {
    if (m_history.isEmpty())
        return m_emptyText;
    if (std::find(m_shown.begin(), m_shown.end(), true) == m_shown.end())
        return QStringLiteral("Tick a value on the left to draw its curve");
    return {};
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

// Zoomed out no further than the whole session (or one unzoomed page, when that is more).
double TMonitorChart::wholeSpan() const {
    return double(std::max<qsizetype>({m_base, lastX(), MinPoints}));
}

// "Fit All": the polls there are across the whole plot.
double TMonitorChart::fitSpan() const {
    return double(std::max<qsizetype>(lastX(), MinPoints));
}

void TMonitorChart::updateSpan() {
    if (m_fitAll && !m_frozen)
        m_zoom = fitSpan() / m_base;
    m_perPage = int(std::clamp(std::round(m_base * m_zoom), double(MinPoints), wholeSpan()));
}

// Until the first page is full it stays in view; later a following chart shows the newest
// points, and a panned or frozen one stays where it is.
void TMonitorChart::page() {
    updateSpan();
    const qsizetype last = lastX();
    if (last <= m_perPage - 1) {
        m_min = 0;
        m_max = m_perPage - 1;
    } else if (m_follow && !m_frozen) {
        m_max = double(last);
        m_min = m_max - m_perPage;
    } else {
        m_min = std::clamp(m_min, 0.0, double(last - m_perPage));
        m_max = m_min + m_perPage;
        if (!m_frozen)
            m_follow = m_max >= double(last);
    }
    emit viewChanged();
}

void TMonitorChart::zoomBy(double factor, std::optional<double> anchor) {
    const double span = m_max - m_min;
    const double at = anchor.value_or(m_follow && !m_frozen ? m_max : m_min + span / 2);
    const double share = span > 0 ? std::clamp((at - m_min) / span, 0.0, 1.0) : 1.0;
    m_fitAll = false;
    m_zoom = std::clamp(m_perPage * factor, double(MinPoints), wholeSpan()) / m_base;
    updateSpan();
    if (!(m_follow && !m_frozen)) {
        m_min = at - share * m_perPage;
        m_follow = false; // showing the end again follows (page() sees to it)
    }
    page();
    invalidate();
}

void TMonitorChart::fitAll() {
    m_fitAll = true;
    m_zoom = fitSpan() / m_base;
    m_follow = true;
    m_min = 0;
    page();
    invalidate();
}

void TMonitorChart::setFrozen(bool frozen) {
    if (frozen == m_frozen)
        return;
    m_frozen = frozen;
    if (!frozen)
        m_follow = true; // running again: on to the newest
    page();
    invalidate();
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
    m_fitAll = false;
    m_min = std::clamp(min, 0.0, double(last - m_perPage));
    m_max = m_min + m_perPage;
    m_follow = m_max >= double(last);
    update();
    emit viewChanged();
}

qsizetype TMonitorChart::firstInView() const {
    return std::max<qsizetype>(0, qsizetype(std::ceil(m_min)));
}

qsizetype TMonitorChart::lastInView() const {
    return std::min(lastX(), qsizetype(std::floor(m_max)));
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
    m_base = std::max(1, width() / PixelsPerPoint);
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

// Ctrl+wheel zooms about the mouse; the wheel alone does nothing here.
void TMonitorChart::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / WheelStep;
    if (!(event->modifiers() & Qt::ControlModifier) || notches == 0)
        return event->ignore();
    zoomBy(std::pow(WheelZoom, -notches), xAt(event->position().x()));
    event->accept();
}

void TMonitorChart::invalidate() {
    m_curvesValid = false;
    update();
}

bool TMonitorChart::decimated() const {
    return m_max - m_min > plotRect().width();
}

void TMonitorChart::paintEvent(QPaintEvent*) {
    refreshCurves();
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), m_curves);
    drawOverlay(painter);
}

void TMonitorChart::render(QPainter& painter) const {
    painter.save();
    painter.setClipRect(rect());
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.setRenderHint(QPainter::Antialiasing);
    if (decimated()) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        for (int row = 0; row < MonitorRowCount; ++row)
            if (m_shown[size_t(row)]) {
                const QColor colour = QColor::fromRgb(MonitorRows()[size_t(row)].colour);
                forEachBar(row, [&](const QRectF& bar) { painter.fillRect(bar, colour); });
            }
        painter.setRenderHint(QPainter::Antialiasing);
    } else {
        const auto [first, end] = drawnRange();
        drawCurves(painter, first, end, false);
    }
    drawOverlay(painter);
    painter.restore();
}

// Over the curves: the margins beside the plot (where the run-on lies, and where a painter
// that can't clip, as the SVG one, drew the lines on), the highlighted points, and in an
// empty chart the line that says what fills it.
void TMonitorChart::drawOverlay(QPainter& painter) const {
    const QRectF plot = plotRect();
    const QColor base = palette().color(QPalette::Base);
    painter.fillRect(QRectF(0, 0, plot.left(), height()), base);
    painter.fillRect(QRectF(plot.right(), 0, width() - plot.right(), height()), base);
    painter.setRenderHint(QPainter::Antialiasing);
    if (const QString hint = placeholder(); !hint.isEmpty()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(plot, Qt::AlignCenter | Qt::TextWordWrap, hint);
        return;
    }
    for (int row = 0; row < MonitorRowCount; ++row)
        if (m_shown[size_t(row)])
            drawHighlights(painter, row);
}

// Brings the curve image up to the view: scrolled on by the points added, or drawn anew.
// A decimated view is drawn anew whenever it changed: its columns group other polls once
// it moves.
void TMonitorChart::refreshCurves() {
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (m_curves.size() != pixels || m_curves.devicePixelRatio() != ratio) {
        m_curves = QImage(pixels, QImage::Format_RGB32); // opaque: drawn onto the widget by copying
        m_curves.setDevicePixelRatio(ratio);
        m_curvesValid = false;
    }
    const auto [first, end] = drawnRange();
    const bool bars = decimated();
    if (bars) {
        const bool same = m_curvesValid && m_curvesBars && m_curvesMin == m_min &&
                          m_curvesSpan == m_max - m_min && m_curvesPlot == plotRect() &&
                          m_curvesEnd == lastX();
        if (!same) {
            m_phase = 0;
            m_curves.fill(palette().color(QPalette::Base));
            fillBars(m_curves);
        }
    } else if (m_curvesValid && !m_curvesBars && scrollCurves()) {
        if (end > m_curvesEnd) { // on from the last point drawn
            QPainter painter(&m_curves);
            drawCurves(painter, std::max(first, m_curvesEnd), end, m_curvesEnd >= first);
        }
    } else {
        m_phase = 0;
        m_curves.fill(palette().color(QPalette::Base));
        QPainter painter(&m_curves);
        drawCurves(painter, first, end, false);
    }
    m_curvesValid = true;
    m_curvesBars = bars;
    m_curvesMin = m_min;
    m_curvesSpan = m_max - m_min;
    m_curvesPlot = plotRect();
    m_curvesEnd = bars ? lastX() : end;
}

// The points in view, with one beyond each edge so that the lines run on to the edges.
std::pair<qsizetype, qsizetype> TMonitorChart::drawnRange() const {
    return {std::max<qsizetype>(0, qsizetype(std::ceil(m_min)) - 1),
            std::min(lastX(), qsizetype(std::floor(m_max)) + 1)};
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

void TMonitorChart::drawCurves(QPainter& painter, qsizetype first, qsizetype last,
                               bool continued) const {
    if (first > last)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF plot = plotRect();
    painter.setClipRect(QRectF(plot.left(), 0, plot.width() + RunOn, height()), Qt::IntersectClip);
    for (int row = 0; row < MonitorRowCount; ++row)
        if (m_shown[size_t(row)])
            drawCurve(painter, row, first, last, continued);
    painter.restore();
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

// Column c of the plot holds the polls whose X maps into [left + c, left + c + 1). Its bar
// spans their lowest to highest point and, where the curve runs on from the poll before
// the column (both have a point), that poll's point too, so the bars join like a line.
// Where a column holds many of the history's kept spans, its edges move to the nearest
// span edge (by a small part of a pixel), so the column is read from the spans alone.
template <typename Bar> void TMonitorChart::forEachBar(int row, Bar&& bar) const {
    const QRectF plot = plotRect();
    const double perPixel = (m_max - m_min) / plot.width();
    const int columns = int(std::ceil(plot.width()));
    const double scale = plot.height() / 100.0;
    const qsizetype count = m_history.size();
    constexpr qsizetype Span = TMonitorHistory::RangeSpan;
    const bool bySpans = perPixel >= 8 * Span;
    const auto firstOf = [&](int column) {
        const double at = m_min + column * perPixel;
        const auto poll =
            bySpans ? qsizetype(std::round(at / Span)) * Span : qsizetype(std::ceil(at));
        return std::clamp<qsizetype>(poll, 0, count);
    };
    qsizetype first = firstOf(0);
    for (int c = 0; c <= columns && first < count; ++c) {
        const qsizetype end = firstOf(c + 1);
        TMonitorRange range = m_history.range(row, first, end);
        if (!range.isEmpty() && first > 0)
            if (const std::optional<double> before = SamplePoint(m_history.at(first - 1), row))
                if (SamplePoint(m_history.at(first), row))
                    range.add(float(*before));
        if (!range.isEmpty()) {
            const double x = plot.left() + c + 0.5;
            const double top = plot.bottom() - range.hi * scale;
            const double bottom = plot.bottom() - range.lo * scale;
            bar(QRectF(x - LineWidth / 2, top - LineWidth / 2, LineWidth,
                       bottom - top + LineWidth));
        }
        first = end;
    }
}

// The bars go into a buffer that holds each pixel column in one run (so a tall bar fills
// adjacent memory instead of one pixel in each scan line), which is then copied into the
// image's scan lines tile by tile.
void TMonitorChart::fillBars(QImage& image) {
    const qreal ratio = image.devicePixelRatio();
    const QRectF plot = plotRect();
    const QRect clip = QRect(QPoint(int(std::floor(plot.left() * ratio)), 0),
                             QPoint(int(std::ceil(plot.right() * ratio)), image.height() - 1)) &
                       image.rect();
    const int height = image.height();
    const QRgb background = palette().color(QPalette::Base).rgba();
    m_columns.assign(size_t(clip.width()) * size_t(height), background);
    const auto column = [&](int x) { return m_columns.data() + size_t(x - clip.left()) * height; };
    // What each pixel column of the current curve gets: the bars overlap their neighbours,
    // so a column is filled once with the union of the rows its bars cover.
    std::vector<std::pair<int, int>> runs(size_t(clip.width()));
    for (int row = 0; row < MonitorRowCount; ++row) {
        if (!m_shown[size_t(row)])
            continue;
        runs.assign(runs.size(), {0, -1});
        forEachBar(row, [&](const QRectF& bar) {
            const QRect pixels = QRect(QPoint(int(std::lround(bar.left() * ratio)),
                                              int(std::lround(bar.top() * ratio))),
                                       QPoint(int(std::lround(bar.right() * ratio)) - 1,
                                              int(std::lround(bar.bottom() * ratio)) - 1)) &
                                 clip;
            for (int x = pixels.left(); x <= pixels.right(); ++x) {
                auto& [top, bottom] = runs[size_t(x - clip.left())];
                if (bottom < top) {
                    top = pixels.top();
                    bottom = pixels.bottom();
                } else if (pixels.top() <= bottom + 1 && pixels.bottom() >= top - 1) {
                    top = std::min(top, pixels.top());
                    bottom = std::max(bottom, pixels.bottom());
                } else { // apart: the earlier one now, the other kept
                    FillRun(column(x) + top, bottom - top + 1, RowColour(row));
                    top = pixels.top();
                    bottom = pixels.bottom();
                }
            }
        });
        for (int x = clip.left(); x <= clip.right(); ++x)
            if (const auto [top, bottom] = runs[size_t(x - clip.left())]; bottom >= top)
                FillRun(column(x) + top, bottom - top + 1, RowColour(row));
    }
    constexpr int Tile = 32;
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    for (int y0 = 0; y0 < height; y0 += Tile)
        for (int x0 = clip.left(); x0 <= clip.right(); x0 += Tile)
            for (int y = y0; y < std::min(height, y0 + Tile); ++y) {
                auto* line = reinterpret_cast<QRgb*>(bits + y * stride);
                for (int x = x0; x <= std::min(clip.right(), x0 + Tile - 1); ++x)
                    line[x] = column(x)[y];
            }
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
