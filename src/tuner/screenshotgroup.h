#pragma once
// The " Screenshot " group of the "Screen" page: take a capture of the device's display,
// show it zoomed, save it as a picture file.

#include <QGroupBox>

class QFrame;
class QPushButton;
class QSlider;
class TPixelView;

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
    TPixelView* Screenshot = nullptr; // the capture, zoomed

    bool captureShown() const;
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
};
