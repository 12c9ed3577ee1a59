#pragma once
// The TFR curve of the shown profile: a chart of the coil's relative resistivity at 100 to
// 300 degC (the five stored points, dragged vertically with the mouse) with two end points
// at 0 and 400 degC extrapolated from them, and the buttons that load the curve from a CSV
// file, save it to one, or reset it to the flat curve.

#include "settings/curvecsv.h"

#include <QChartView>
#include <QWidget>

#include <functional>
#include <optional>

class QHBoxLayout;
class QLineSeries;
class QPushButton;
class TTunerForm;

// The value at x of the straight line through (x1, y1) and (x2, y2), rounded to the nearest
// integer (ties to even). Wide integers: curves from a file or the device may hold any
// 32-bit value.
qint64 LinePoint(qint64 x1, qint64 y1, qint64 x2, qint64 y2, qint64 x);

// The seven chart values (resistivity, 1.0 = the value at 20 degC) of a stored curve:
// 0 degC, the five stored points, 400 degC.
std::array<double, TFRCount + 2> TfrChartValues(const TTfrCurve& curve);

// The chart. Points 1..5 follow the mouse while dragged; the curve is taken from the chart
// and announced when the mouse button is released, and only then do the end points move.
class TTfrChartView : public QChartView {
    Q_OBJECT
public:
    explicit TTfrChartView(QWidget* parent = nullptr);

    // Rebuilds the seven points and ends a drag, unless the chart shows that curve already
    // (then a drag under way goes on).
    void setCurve(const TTfrCurve& curve);
    QLineSeries* series() const { return m_series; }
    // Where point `index` (0..6) is drawn, in this view's coordinates.
    QPoint pointPosition(int index) const;

    int Tag = -1; // the point being dragged, -1 when none

signals:
    void curveDragged(const TTfrCurve& curve); // a drag ended; the curve as the chart shows it

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int pointAt(const QPoint& position) const; // 1..5 under the mouse, or -1
    double valueAt(const QPoint& position) const;
    void paintSeries();

    QLineSeries* m_series = nullptr;
    std::optional<TTfrCurve> m_shown; // the curve last set
};

// The chart with "Load .CSV", "Save .CSV" and "Defaults" below it. curve gives the curve of
// the profile shown at the time of the call; store keeps a new curve, as the step `what`.
class TTfrEditor : public QWidget {
    Q_OBJECT
public:
    using TStore = std::function<void(const QString& what, const TTfrCurve& curve)>;
    TTfrEditor(TTunerForm* form, std::function<const TTfrCurve&()> curve, TStore store,
               QWidget* parent = nullptr);

    void showCurve();                                    // redraws the chart from the shown profile
    QHBoxLayout* buttonRow() const { return m_buttons; } // the row of the three buttons

    TTfrChartView* ChartTFR = nullptr;
    QPushButton* BitBtn4 = nullptr; // "Load .CSV"
    QPushButton* BitBtn5 = nullptr; // "Save .CSV"
    QPushButton* BitBtn6 = nullptr; // "Defaults"

public slots:
    void BitBtn4Click();
    void BitBtn5Click();
    void BitBtn6Click();

private:
    void ChartTFRMouseUp(const TTfrCurve& curve);

    TTunerForm* m_form;
    std::function<const TTfrCurve&()> m_curve;
    TStore m_store;
    QHBoxLayout* m_buttons = nullptr;
};
