#pragma once
// The monitor's live chart: the curves of the shown rows over the poll index, drawn
// straight from the session's history. Only the page in view is drawn, so a repaint costs
// the same after a minute or after a day of monitoring. The curves are kept in an image:
// a new poll scrolls it by one point and draws the newest segments, the rest is drawn again
// whenever the view changes otherwise (pan, resize, a curve switched on or off, the scale
// growing by a point when the first page is full).
//
// X is the poll index (0, 1, 2, ...); Y the row's value mapped onto 0..100 (the fixed
// vertical scale); a poll without a value is a gap. A page holds one point per 4 pixels of
// width. While following, the newest point stays at the right edge; dragging with the left
// button pans through the history (never past the first or the last point), and panning
// back to the end follows again. The last point of each curve and the point just left of
// the mouse carry a marker and their value.

#include "monitor/monitorrows.h"

#include <QImage>
#include <QWidget>

#include <array>

class TMonitorHistory;

class TMonitorChart : public QWidget {
    Q_OBJECT
public:
    static constexpr int Margin = 8;         // between the widget's edge and the curves
    static constexpr int PixelsPerPoint = 4; // a page holds width / 4 points

    explicit TMonitorChart(const TMonitorHistory& history, QWidget* parent = nullptr);

    void setCurveShown(int row, bool shown);
    bool curveShown(int row) const { return m_shown[size_t(row)]; }

    // Samples were appended to the history: a following chart moves on to the newest.
    void samplesAdded();

    int pointsPerPage() const { return m_perPage; }
    double axisMin() const { return m_min; }
    double axisMax() const { return m_max; }
    bool followLatest() const { return m_follow; }

    // The index of the point left of the mouse (shared by all curves), -1 before the
    // first point.
    int hoverIndex() const { return m_hover; }
    void setHoverIndex(int index);

    // What a drag by `pixels` to the right does (the view moves to older points).
    void panBy(double pixels);
    // The view starting at X `min` (confined to the data), as the user would pan there.
    void panTo(double min);

    // Between widget positions and chart coordinates (X: poll index, Y: 0..100).
    double xAt(double pixelX) const;
    QPointF position(double x, double y) const;

signals:
    void hoverChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRectF plotRect() const;
    qsizetype lastX() const; // the greatest X, -1 without points
    void page();             // the axis after a resize or new points
    void hover(double pixelX);
    void invalidate();
    void refreshCurves();
    bool scrollCurves();
    void drawCurves(qsizetype first, qsizetype last, bool continued);
    void drawCurve(QPainter& painter, int row, qsizetype first, qsizetype last,
                   bool continued) const;
    void drawHighlights(QPainter& painter, int row) const;
    void drawMark(QPainter& painter, int row, qsizetype index) const;

    const TMonitorHistory& m_history;
    std::array<bool, MonitorRowCount> m_shown{};
    int m_perPage = 100;
    double m_min = 0;
    double m_max = 99;
    bool m_follow = true;
    int m_hover = 0;
    bool m_dragging = false;
    double m_dragX = 0;

    QImage m_curves; // the shown curves over the background, no highlights
    bool m_curvesValid = false;
    // The mapping m_curves was drawn for: it scrolls on only while the span and the plot
    // stay and the minimum moves on by whole points.
    double m_curvesMin = 0;
    double m_curvesSpan = 0; // axis maximum minus minimum
    QRectF m_curvesPlot;
    qsizetype m_curvesEnd = -1; // the last point drawn into it
    // Where the drawn points sit, in pixels, right of the exact mapping: scrolling moves the
    // image by whole device pixels, a point by a fraction more or less. Kept under half a
    // pixel; everything drawn (highlights, mouse positions) goes by the same mapping.
    double m_phase = 0;
};
