#pragma once
// The Monitor window: the device's live values as 29 rows, each with a check box that shows
// its curve on the live chart; buttons that start and stop monitoring, fire the device and
// press its plus and minus buttons; and the whole session saved as CSV. The session's
// polls are all kept while the window is open.

#include "monitor/monitorhistory.h"

#include <QWidget>

class QGroupBox;
class QLineEdit;
class QPushButton;
class TMonitorChart;
class TMonitorPoller;
class TParametersBox;

class TMonitorForm : public QWidget {
    Q_OBJECT
public:
    // Milliseconds of "FIRE Test"; kept while the program runs, also when the window closes.
    static int FireTime;
    // The chart's hovered point index, shared by all curves; kept like FireTime.
    static int HoverIndex;

    explicit TMonitorForm(QWidget* parent = nullptr);
    ~TMonitorForm() override;

    // The display step after each poll (also a failed one): the values of MonitorData and
    // Settings become the next sample of the labels, the history and the chart.
    void UpdateDisplay(bool ok);
    void AddSample(const TMonitorSample& sample);

    const TMonitorHistory& history() const { return m_history; }
    TMonitorChart* chart() const { return Chart; }
    TParametersBox* parameters() const { return GroupBox1; }
    TMonitorPoller* poller() const { return Timer; }

    void Button1Click(); // Start Monitoring
    void Button2Click(); // Stop Monitoring
    void Button3Click(); // FIRE Test
    void Button4Click(); // Minus
    void Button5Click(); // Plus
    void FireTumeExit();
    void SaveCsvClick();

private:
    QWidget* buildButtons();
    void pressKeys(qint32 fire, qint32 minus, qint32 plus);

    TMonitorHistory m_history;
    TParametersBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    TMonitorChart* Chart = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button5 = nullptr;
    QPushButton* SaveCsv = nullptr;
    QLineEdit* FireTume = nullptr;
    TMonitorPoller* Timer = nullptr;
};
