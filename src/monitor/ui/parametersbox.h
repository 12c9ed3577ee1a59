#pragma once
// The monitor's " Parameters " box: one row per monitor value, each a check box framed by
// the colour square of its curve (ticked: the curve is shown) and the value's label
// ("Lab%d", right-aligned). The rows scroll when the window is too low for all of them.

#include "monitor/monitorrows.h"

#include <QGroupBox>

#include <array>

class QCheckBox;
class QLabel;

class TParametersBox : public QGroupBox {
    Q_OBJECT
public:
    explicit TParametersBox(QWidget* parent = nullptr);

    QCheckBox* check(int row) const { return m_checks[size_t(row)]; }
    QLabel* label(int row) const { return m_labels[size_t(row)]; }
    // Every label from one poll's sample.
    void showSample(const TMonitorSample& sample);

signals:
    void curveToggled(int row, bool shown);

private:
    std::array<QCheckBox*, MonitorRowCount> m_checks{};
    std::array<QLabel*, MonitorRowCount> m_labels{};
};
