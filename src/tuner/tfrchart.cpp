#include "tuner/tfrchart.h"

#include "settings/numbers.h"
#include "shell/application.h"
#include "shell/dialogs.h"
#include "shell/paths.h"
#include "tuner/pagekit.h"
#include "tuner/tuner.h"

#include <QChart>
#include <QHBoxLayout>
#include <QImage>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValueAxis>

#include <cmath>

namespace {
constexpr double kUnit = 10000.0; // a stored TFR value of 10000 is 1.0
constexpr int kStoredTemps[TFRCount] = {100, 150, 200, 250, 300};
constexpr int kFirstTemp = 0;
constexpr int kLastTemp = 400;
constexpr int kGrabRadius = 8; // how near the mouse must come to a point to take it

QString TfrFolder() {
    return DataPath(QStringLiteral("Profiles/TFR"));
}

QImage SquareMarker(const QColor& colour) {
    QImage square(8, 8, QImage::Format_ARGB32);
    square.fill(colour);
    return square;
}
} // namespace

qint64 LinePoint(qint64 x1, qint64 y1, qint64 x2, qint64 y2, qint64 x) {
    const qint64 product = (x - x1) * (y2 - y1);
    return RoundHalfEven(double(product) / double(x2 - x1) + double(y1));
}

std::array<double, TFRCount + 2> TfrChartValues(const TTfrCurve& curve) {
    std::array<double, TFRCount + 2> values{};
    values[0] = double(LinePoint(20, 10000, 100, curve[0], kFirstTemp)) / kUnit;
    for (int i = 0; i < TFRCount; ++i)
        values[std::size_t(i + 1)] = curve[std::size_t(i)] / kUnit;
    values[TFRCount + 1] = double(LinePoint(250, curve[3], 300, curve[4], kLastTemp)) / kUnit;
    return values;
}

TTfrChartView::TTfrChartView(QWidget* parent) : QChartView(parent) {
    setObjectName(QStringLiteral("ChartTFR"));
    setAccessibleName(QStringLiteral("TFR Curve"));
    setRenderHint(QPainter::Antialiasing);
    auto* chart = new QChart();
    chart->legend()->hide();
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->setBackgroundRoundness(0);
    chart->setLocalizeNumbers(true);
    m_series = new QLineSeries(chart);
    m_series->setName(QStringLiteral("TFR"));
    m_series->setPointsVisible(true);
    m_series->setMarkerSize(5);
    m_series->setPointLabelsVisible(true);
    m_series->setPointLabelsFormat(QStringLiteral("@yPoint"));
    m_series->setPointLabelsClipping(false); // the end points' labels sit on the plot's edge
    chart->addSeries(m_series);
    auto* xAxis = new QValueAxis(chart);
    xAxis->setRange(kFirstTemp, kLastTemp);
    xAxis->setTickCount(9);
    xAxis->setLabelFormat(QStringLiteral("%.0f"));
    xAxis->setTitleText(QStringLiteral("Temperature, °C"));
    auto* yAxis = new QValueAxis(chart);
    yAxis->setRange(0, 4);
    yAxis->setTickCount(9);
    yAxis->setLabelFormat(QStringLiteral("%.1f"));
    yAxis->setTitleText(QStringLiteral("Electrical Resistivity"));
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);
    m_series->attachAxis(xAxis);
    m_series->attachAxis(yAxis);
    setChart(chart);
    paintSeries();
    setCurve({10000, 10000, 10000, 10000, 10000});
}

void TTfrChartView::setCurve(const TTfrCurve& curve) {
    if (m_shown == curve)
        return;
    m_shown = curve;
    Tag = -1; // a drag under way belonged to the curve being replaced
    const auto values = TfrChartValues(curve);
    QList<QPointF> points;
    points << QPointF(kFirstTemp, values[0]);
    for (int i = 0; i < TFRCount; ++i)
        points << QPointF(kStoredTemps[i], values[std::size_t(i + 1)]);
    points << QPointF(kLastTemp, values[TFRCount + 1]);
    m_series->replace(points);
}

QPoint TTfrChartView::pointPosition(int index) const {
    const QPointF inChart = chart()->mapToPosition(m_series->at(index), m_series);
    return mapFromScene(chart()->mapToScene(inChart));
}

int TTfrChartView::pointAt(const QPoint& position) const {
    int best = -1;
    int bestDistance = kGrabRadius + 1;
    for (int i = 1; i <= TFRCount; ++i) {
        const int distance = (pointPosition(i) - position).manhattanLength();
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

// The resistivity at the mouse's height, to the four decimals that are stored.
double TTfrChartView::valueAt(const QPoint& position) const {
    const QPointF inChart = chart()->mapFromScene(mapToScene(position));
    const double value = chart()->mapToValue(inChart, m_series).y();
    return double(ToStored(value, int(kUnit))) / kUnit;
}

void TTfrChartView::mousePressEvent(QMouseEvent* event) {
    const int index = pointAt(event->position().toPoint());
    if (index > 0)
        Tag = index; // the end points are never taken
    event->accept();
}

void TTfrChartView::mouseMoveEvent(QMouseEvent* event) {
    if (Tag < 0)
        return QChartView::mouseMoveEvent(event);
    const QPointF point = m_series->at(Tag);
    m_series->replace(Tag, QPointF(point.x(), valueAt(event->position().toPoint())));
}

void TTfrChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (Tag < 0)
        return QChartView::mouseReleaseEvent(event);
    Tag = -1;
    TTfrCurve curve{};
    for (int i = 0; i < TFRCount; ++i)
        curve[std::size_t(i)] = ToStored(m_series->at(i + 1).y(), int(kUnit));
    setCurve(curve);
    emit curveDragged(curve);
}

void TTfrChartView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange)
        paintSeries();
    QChartView::changeEvent(event);
}

// Red while the chart can be edited, grey while it cannot.
void TTfrChartView::paintSeries() {
    const QColor colour = isEnabled() ? QColor(Qt::red) : QColor(Qt::gray);
    m_series->setPen(QPen(colour, 2));
    m_series->setLightMarker(SquareMarker(colour));
    m_series->setPointLabelsColor(isEnabled() ? QColor(Qt::black) : QColor(Qt::gray));
}

TTfrEditor::TTfrEditor(TTunerForm* form, std::function<const TTfrCurve&()> curve, TStore store,
                       QWidget* parent)
    : QWidget(parent), m_form(form), m_curve(std::move(curve)), m_store(std::move(store)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    ChartTFR = new TTfrChartView(this);
    ChartTFR->setMinimumHeight(280); // room for every axis label; the page scrolls
    layout->addWidget(ChartTFR, 1);
    m_buttons = new QHBoxLayout();
    const struct {
        QPushButton** button;
        const char* name;
        const char* caption;
        void (TTfrEditor::*handler)();
    } buttons[] = {{&BitBtn4, "BitBtn4", "Load .CSV", &TTfrEditor::BitBtn4Click},
                   {&BitBtn5, "BitBtn5", "Save .CSV", &TTfrEditor::BitBtn5Click},
                   {&BitBtn6, "BitBtn6", "Defaults", &TTfrEditor::BitBtn6Click}};
    for (const auto& b : buttons) {
        *b.button = NewButton(QLatin1String(b.name), QString::fromUtf8(b.caption), 0, this);
        m_buttons->addWidget(*b.button);
        connect(*b.button, &QPushButton::clicked, this, b.handler);
    }
    m_buttons->addStretch(1);
    layout->addLayout(m_buttons);
    connect(ChartTFR, &TTfrChartView::curveDragged, this, &TTfrEditor::ChartTFRMouseUp);
}

void TTfrEditor::showCurve() {
    ChartTFR->setCurve(m_curve());
}

void TTfrEditor::ChartTFRMouseUp(const TTfrCurve& curve) {
    m_store(QStringLiteral("TFR Curve"), curve);
}

// The whole file is checked before anything is stored: a bad file changes nothing.
void TTfrEditor::BitBtn4Click() {
    Guarded(this, [this] {
        const auto content = m_form->readCsv(TfrFolder());
        if (!content)
            return;
        const auto curve = ParseTfrCsv(*content);
        if (!curve) {
            Dialogs::error(this, QStringLiteral("Invalid CSV file!"));
            return;
        }
        m_store(QStringLiteral("Load .CSV"), *curve);
    });
}

void TTfrEditor::BitBtn5Click() {
    Guarded(this, [this] { m_form->writeCsv(TfrFolder(), FormatTfrCsv(m_curve())); });
}

void TTfrEditor::BitBtn6Click() {
    TTfrCurve flat;
    flat.fill(10000);
    m_store(QStringLiteral("Defaults"), flat);
}
