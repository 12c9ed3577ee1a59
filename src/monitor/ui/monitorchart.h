#pragma once
// The monitor's live chart: the curves of the shown rows over the poll index, drawn
// straight from the session's history. Only the page in view is drawn, so a repaint costs
// the same after a minute or after a day of monitoring. The curves are kept in an image:
// a new poll scrolls it by one point and draws the newest segments, the rest is drawn again
// whenever the view changes otherwise (pan, zoom, resize, a curve switched on or off, the
// scale growing by a point when the first page is full).
//
// X is the poll index (0, 1, 2, ...); Y the row's value mapped onto 0..100 (the fixed
// vertical scale); a poll without a value is a gap. A page holds one point per 4 pixels of
// width, times the zoom: from a few polls to the whole session ("Fit All"). While
// following, the newest point stays at the right edge; dragging with the left button pans
// through the history (never past the first or the last point), and panning back to the
// end follows again. Frozen, the view stays where it is while polls come in. Where a pixel
// column holds more than one poll it is drawn as the span from the lowest to the highest
// of them, so no spike is lost at any zoom. The last point of each curve and the point just
// left of the mouse carry a marker and their value.

#include "monitor/monitorrows.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <optional>
#include <utility>
#include <vector>

class TMonitorHistory;

class TMonitorChart : public QWidget {
    Q_OBJECT
public:
    static constexpr int Margin = 8;         // between the widget's edge and the curves
    static constexpr int PixelsPerPoint = 4; // a page holds width / 4 points, unzoomed
    static constexpr int MinPoints = 4;      // the closest zoom
    static constexpr double ZoomStep = 2;    // "+" and "-"

    explicit TMonitorChart(const TMonitorHistory& history, QWidget* parent = nullptr);

    void setCurveShown(int row, bool shown);
    bool curveShown(int row) const { return m_shown[size_t(row)]; }

    // Samples were appended to the history: a following chart moves on to the newest.
    void samplesAdded();
    // The history was replaced (a file opened, a new session): the whole of it drawn anew
    // from the first page, following, unzoomed.
    void historyReset();

    // The points across the plot at the current zoom.
    int pointsPerPage() const { return m_perPage; }
    double axisMin() const { return m_min; }
    double axisMax() const { return m_max; }
    bool followLatest() const { return m_follow; }

    // Zoom about X `anchor` (a poll index; the view's middle, or its end while following,
    // when not given): factor > 1 shows more polls.
    void zoomBy(double factor, std::optional<double> anchor = std::nullopt);
    void zoomIn() { zoomBy(1 / ZoomStep); }
    void zoomOut() { zoomBy(ZoomStep); }
    void fitAll(); // the whole session, and on growing with it while following
    bool fittingAll() const { return m_fitAll; }

    // Frozen, the view does not move while polls come in; unfrozen it follows the newest.
    void setFrozen(bool frozen);
    bool frozen() const { return m_frozen; }

    // The line drawn in an empty chart.
    void setEmptyText(const QString& text);
    QString emptyText() const { return m_emptyText; }
    // The grey line the chart shows instead of curves: the empty text, or with polls but no
    // curve ticked how to get one; empty while curves are drawn.
    QString placeholder() const;

    // The index of the point left of the mouse (shared by all curves), -1 before the
    // first point.
    int hoverIndex() const { return m_hover; }
    void setHoverIndex(int index);

    // What a drag by `pixels` to the right does (the view moves to older points).
    void panBy(double pixels);
    // The view starting at X `min` (confined to the data), as the user would pan there.
    void panTo(double min);

    // The polls in view, first and last (first > last when there are none).
    qsizetype firstInView() const;
    qsizetype lastInView() const;

    // Between widget positions and chart coordinates (X: poll index, Y: 0..100).
    double xAt(double pixelX) const;
    QPointF position(double x, double y) const;

    // The chart as shown, drawn anew into painter at the widget's size (for pictures).
    void render(QPainter& painter) const;

signals:
    void hoverChanged(int index);
    void viewChanged(); // the axis moved, zoomed or the session grew

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QRectF plotRect() const;
    qsizetype lastX() const;  // the greatest X, -1 without points
    double wholeSpan() const; // the most points a page may hold
    double fitSpan() const;
    void updateSpan(); // the points per page from the width, the zoom and the data
    void page();       // the axis after a resize or new points
    void hover(double pixelX);
    void invalidate();
    bool decimated() const; // more than one poll per pixel column
    std::pair<qsizetype, qsizetype> drawnRange() const;
    void refreshCurves();
    bool scrollCurves();
    void drawCurves(QPainter& painter, qsizetype first, qsizetype last, bool continued) const;
    void drawCurve(QPainter& painter, int row, qsizetype first, qsizetype last,
                   bool continued) const;
    // The bars of a decimated curve: each pixel column from its lowest to its highest
    // point, reaching to the column before where the curve runs on.
    template <typename Bar> void forEachBar(int row, Bar&& bar) const;
    void fillBars(QImage& image);
    void drawOverlay(QPainter& painter) const;
    void drawHighlights(QPainter& painter, int row) const;
    void drawMark(QPainter& painter, int row, qsizetype index) const;

    const TMonitorHistory& m_history;
    std::array<bool, MonitorRowCount> m_shown{};
    int m_base = 100;  // points per page unzoomed: width / 4
    double m_zoom = 1; // the points per page over m_base
    bool m_fitAll = false;
    int m_perPage = 100; // points per page
    double m_min = 0;
    double m_max = 99;
    bool m_follow = true;
    bool m_frozen = false;
    int m_hover = 0;
    bool m_dragging = false;
    double m_dragX = 0;
    QString m_emptyText;

    QImage m_curves;             // the shown curves over the background, no highlights
    std::vector<QRgb> m_columns; // a decimated view's pixel columns, while it is drawn
    bool m_curvesValid = false;
    bool m_curvesBars = false; // drawn decimated
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
