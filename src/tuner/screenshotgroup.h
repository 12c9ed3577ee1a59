#pragma once
// The " Screenshot " group of the "Screen" page: take a capture of the device's display,
// show it zoomed, save it as a picture file.

#include <QGroupBox>

class TScreenshotGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit TScreenshotGroup(QWidget* parent = nullptr);

    // Clears the shown capture and sizes the picture for the zoom and the model.
    void SizeBarChange();

signals:
    void sizeChanged(); // the user moved the size slider
};
