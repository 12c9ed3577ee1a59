#pragma once
// The " Screenshot " group of the "Screen" page: take a capture of the device's display,
// show it zoomed, save it as a picture file.

#include <QGroupBox>
#include <QImage>

class QFrame;
class QLabel;
class QPushButton;
class QSlider;

class TScreenshotGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit TScreenshotGroup(QWidget* parent = nullptr);

    // Clears the shown capture and sizes the picture for the zoom and the model.
    void SizeBarChange();

    QPushButton* TakeScreenshot = nullptr;
    QPushButton* SaveScreenshot = nullptr;
    QSlider* SizeBar = nullptr; // the zoom factor, 1 to 8 screen pixels per display pixel
    QFrame* ScrPanel = nullptr;
    QLabel* Screenshot = nullptr;

    bool captureShown() const { return !m_capture.isNull(); }
    // Shows the capture in ScreenImage at the slider's zoom.
    void showCapture();

public slots:
    void TakeScreenshotClick();
    void SaveScreenshotClick();

signals:
    void sizeChanged(); // the user moved the size slider

private:
    void showSizeTip();
    int zoom() const;

    QImage m_capture; // the shown capture at 1:1; null while none is shown
};
