#pragma once
// The Monitor window, live measurements on a chart. Placeholder frame: the main window
// opens it; the values, chart and buttons come with the monitor.

#include <QWidget>

class TMonitorForm : public QWidget {
    Q_OBJECT
public:
    explicit TMonitorForm(QWidget* parent = nullptr);
};
