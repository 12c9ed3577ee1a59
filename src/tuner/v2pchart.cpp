#include "tuner/v2pchart.h"

#include "settings/curvecsv.h"
#include "settings/numbers.h"

#include <QGraphicsSimpleTextItem>
#include <QLineSeries>
#include <QMouseEvent>
#include <QScatterSeries>
#include <QToolTip>
#include <QValueAxis>

#include <algorithm>
#include <numeric>

namespace {
constexpr double MarkerSize = 7;   // the square point marks, pixels
constexpr double PickRadius = 8;   // how near a press must be to a point to pick it, pixels
constexpr double LabelGap = 2;     // between a mark and its voltage label, pixels
constexpr double Resolution = 100; // stored units per displayed unit (0.01 % and 0.01 V)

// A displayed value on the stored resolution (ties to even), as a release stores it.
double Snapped(double value) {
    return double(ToStored(value, int(Resolution))) / Resolution;
}

QValueAxis* MakeAxis(const QString& title, double min, double max, int ticks, int minorTicks,
                     const QString& format) {
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setRange(min, max);
    axis->setTickCount(ticks);
    axis->setMinorTickCount(minorTicks);
    axis->setLabelFormat(format);
    return axis;
}
} // namespace

TChartV2P::TChartV2P(QWidget* parent) : QChartView(parent) {
    setObjectName(QStringLiteral("ChartV2P"));
    setAccessibleName(QStringLiteral("Discharge curve"));
    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::NoRubberBand);
    setMinimumSize(320, 200);
    setFrameShape(QFrame::NoFrame);
    setBackgroundBrush(Qt::NoBrush);
    viewport()->setAutoFillBackground(false);

    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setLocalizeNumbers(true);    // axis numbers with the locale's separator, as the edits
    chart->setBackgroundVisible(false); // the chart sits on its group box
    chart->setPlotAreaBackgroundBrush(palette().color(QPalette::Base));
    chart->setPlotAreaBackgroundVisible(true);
    chart->setMargins(QMargins(4, 4, 4, 4));

    m_line = new QLineSeries(chart);
    m_line->setName(QStringLiteral("V2P"));
    m_line->setPen(QPen(Qt::red, 2));
    m_marks = new QScatterSeries(chart);
    m_marks->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    m_marks->setMarkerSize(MarkerSize);
    m_marks->setColor(Qt::red);
    m_marks->setBorderColor(Qt::red);
    chart->addSeries(m_line);
    chart->addSeries(m_marks);

    auto* charge =
        MakeAxis(QStringLiteral("Battery Charge, %"), 0, 100, 11, 0, QStringLiteral("%.0f"));
    auto* voltage =
        MakeAxis(QStringLiteral("Cell Voltage, V"), 2.5, 4.5, 5, 4, QStringLiteral("%.1f"));
    chart->addAxis(charge, Qt::AlignBottom);
    chart->addAxis(voltage, Qt::AlignLeft);
    for (QXYSeries* series : {static_cast<QXYSeries*>(m_line), static_cast<QXYSeries*>(m_marks)}) {
        series->attachAxis(charge);
        series->attachAxis(voltage);
    }
    setChart(chart);
    connect(chart, &QChart::plotAreaChanged, this, &TChartV2P::placeLabels);
}

void TChartV2P::showCurve(const TV2PTable& table) {
    TCurve curve{};
    std::copy_n(table.begin(), V2PCurveRows, curve.begin());
    if (m_shown == curve)
        return; // shown already: a drag under way goes on
    m_shown = curve;
    m_tag = -1; // a drag under way belonged to the curve being replaced
    QList<QPointF> points;
    for (int row = 0; row < V2PCurveRows; ++row)
        points.append({table[row][vpPercent] / Resolution, table[row][vpVoltage] / Resolution});
    m_line->replace(points);
    m_marks->replace(points);
    placeLabels();
}

void TChartV2P::clearCurve() {
    m_shown.reset();
    m_tag = -1;
    m_line->clear();
    m_marks->clear();
    placeLabels();
}

int TChartV2P::pointCount() const {
    return int(m_line->count());
}

QPointF TChartV2P::point(int index) const {
    return m_line->at(index);
}

QPoint TChartV2P::pointPosition(int index) const {
    const QPointF inChart = chart()->mapToPosition(m_line->at(index), m_line);
    return mapFromScene(chart()->mapToScene(inChart));
}

std::array<std::array<qint32, 2>, V2PCurveRows> TChartV2P::storedCurve() const {
    std::array<std::array<qint32, 2>, V2PCurveRows> rows{};
    for (int i = 0; i < V2PCurveRows && i < pointCount(); ++i) {
        const QPointF p = m_line->at(i);
        rows[std::size_t(i)] = {ToStored(p.x(), int(Resolution)), ToStored(p.y(), int(Resolution))};
    }
    return rows;
}

int TChartV2P::pointAt(const QPointF& viewportPos) const {
    int best = -1;
    double bestDistance = PickRadius * PickRadius;
    for (int i = 0; i < pointCount(); ++i) {
        const QPointF d = QPointF(pointPosition(i)) - viewportPos;
        const double distance = d.x() * d.x() + d.y() * d.y();
        if (distance <= bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

QPointF TChartV2P::valueAt(const QPointF& viewportPos) const {
    const QPointF inChart = chart()->mapFromScene(mapToScene(viewportPos.toPoint()));
    return chart()->mapToValue(inChart, m_line);
}

void TChartV2P::mousePressEvent(QMouseEvent* event) {
    const int index = pointAt(event->position());
    if (index < 0) {
        QChartView::mousePressEvent(event);
        return;
    }
    m_tag = index;
    event->accept();
}

// A moved point lands on the stored resolution, so the chart shows what the release stores.
void TChartV2P::mouseMoveEvent(QMouseEvent* event) {
    if (m_tag < 0) {
        QChartView::mouseMoveEvent(event);
        return;
    }
    const QPointF value = valueAt(event->position());
    const bool end = m_tag == 0 || m_tag == pointCount() - 1; // 0 % and 100 % stay
    const double charge = end ? m_line->at(m_tag).x() : Snapped(value.x());
    movePoint(m_tag, {charge, Snapped(value.y())});
    event->accept();
}

void TChartV2P::mouseReleaseEvent(QMouseEvent* event) {
    if (m_tag < 0) {
        QChartView::mouseReleaseEvent(event);
        return;
    }
    m_tag = -1;
    event->accept();
    emit curveDropped();
}

// Every point's values, also those whose label had no room and those of a preset (the
// chart is disabled then, but tool tips still come).
bool TChartV2P::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QChartView::viewportEvent(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const int index = pointAt(help->pos());
    if (index < 0) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    const QPointF p = m_line->at(index);
    QToolTip::showText(
        help->globalPos(),
        QStringLiteral("%1 %, %2 V").arg(FormatFixed(p.x(), 2), FormatFixed(p.y(), 2)), viewport());
    return true;
}

void TChartV2P::movePoint(int index, const QPointF& value) {
    m_line->replace(index, value);
    m_marks->replace(index, value);
    placeLabels();
}

// The voltage labels are drawn by the chart view itself: the series' own point labels show
// numbers in the shortest form ("3.1"), the edits and files show two decimals. A label
// that would cover another label or a mark is left out, so crowded points stay readable; the
// dragged point and the two ends have their labels first.
void TChartV2P::placeLabels() {
    const int count = pointCount();
    while (m_labels.size() > count)
        delete m_labels.takeLast();
    while (m_labels.size() < count) {
        auto* label = new QGraphicsSimpleTextItem(chart());
        label->setBrush(palette().color(QPalette::WindowText));
        label->setZValue(1000); // over the curve
        m_labels.append(label);
    }
    const auto rank = [&](int i) { return i == m_tag ? 0 : (i == 0 || i == count - 1) ? 1 : 2; };
    QList<int> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return rank(a) < rank(b); });

    const QRectF plot = chart()->plotArea();
    QList<QRectF> taken; // the marks, then every label placed
    for (int i = 0; i < count; ++i) {
        const QPointF at = chart()->mapToPosition(m_line->at(i), m_line);
        taken.append(
            QRectF(at - QPointF(MarkerSize, MarkerSize) / 2, QSizeF(MarkerSize, MarkerSize)));
    }
    for (int i : std::as_const(order)) {
        const QPointF p = m_line->at(i);
        QGraphicsSimpleTextItem* label = m_labels.at(i);
        label->setText(FormatFixed(p.y(), 2));
        const QPointF at = chart()->mapToPosition(p, m_line);
        const QSizeF size = label->boundingRect().size();
        QRectF box(
            QPointF(at.x() - size.width() / 2, at.y() - MarkerSize / 2 - LabelGap - size.height()),
            size);
        // Kept beside the axes rather than across them.
        box.moveLeft(qMax(box.left(), plot.left() + LabelGap));
        box.moveRight(qMin(box.right(), plot.right() - LabelGap));
        const bool shown = plot.adjusted(-1, -1, 1, 1).contains(at) &&
                           std::none_of(taken.cbegin(), taken.cend(),
                                        [&](const QRectF& other) { return other.intersects(box); });
        label->setVisible(shown);
        if (!shown)
            continue;
        label->setPos(box.topLeft());
        taken.append(box);
    }
}
