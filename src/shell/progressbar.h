#pragma once
// The status bar's progress indicator: a segmented bar (blocks, not a smooth fill) that
// mirrors the application-wide progress. Device transactions block the event loop, so
// every change is painted at once.

#include <QWidget>

class TProgress;

class TSegmentedProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit TSegmentedProgressBar(QWidget* parent = nullptr);

    int position() const { return m_position; }
    int maximum() const { return m_max; }
    void setProgress(int position, int max);
    void follow(TProgress& progress); // mirror it from now on

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_position = 0;
    int m_max = 100;
};
