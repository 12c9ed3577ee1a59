#pragma once
// The battery discharge curve on a chart: eleven points, charge in percent across (0..100)
// and cell voltage in volts up (2.5..4.5), each point marked and labelled with its voltage.
// A point is dragged with the mouse: a press on a point picks it, moves carry it (the two
// end points only up and down, keeping 0 % and 100 %), the release ends the drag and
// reports it. Values are not clamped to the axes or between neighbours, and the points keep
// their order. The chart holds display values only; the page stores them.

#include "settings/settings.h"

#include <QChartView>
#include <QList>

#include <optional>

class QGraphicsSimpleTextItem;
class QLineSeries;
class QScatterSeries;

class TChartV2P : public QChartView {
    Q_OBJECT
public:
    explicit TChartV2P(QWidget* parent = nullptr);

    // Rows 0..10 of a battery table (stored units) as the curve. Both end a drag, unless the
    // chart shows that curve already.
    void showCurve(const TV2PTable& table);
    void clearCurve();

    int pointCount() const;
    QPointF point(int index) const;        // charge in %, voltage in V
    QPoint pointPosition(int index) const; // where the point is drawn, viewport coordinates
    // The curve in stored units (0.01 % and 0.01 V), each value to the nearest integer with
    // ties to even; rows past pointCount() are 0.
    using TCurve = std::array<std::array<qint32, 2>, V2PCurveRows>;
    TCurve storedCurve() const;

    // The drag state: -1 when no point is being dragged, otherwise the dragged point's index.
    int Tag() const { return m_tag; }

signals:
    // A drag ended (the mouse button was released); the points hold the new curve.
    void curveDropped();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override; // a point's values as its tool tip

private:
    int pointAt(const QPointF& viewportPos) const; // index of the point under it, or -1
    QPointF valueAt(const QPointF& viewportPos) const;
    void movePoint(int index, const QPointF& value);
    void placeLabels();

    QLineSeries* m_line;
    QScatterSeries* m_marks;
    QList<QGraphicsSimpleTextItem*> m_labels;
    int m_tag = -1;
    std::optional<TCurve> m_shown; // the curve last shown
};
