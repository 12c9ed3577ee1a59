#pragma once
// Pictures of the "Theme" page and the screenshot group: display pictures shown enlarged,
// and the picture file dialogs with the extension rules of Load and Save.

#include "display/picture.h"

#include <QImage>
#include <QWidget>

class QFrame;

// A display picture shown enlarged: each display pixel a zoom x zoom square, painted without
// smoothing straight from the 1:1 picture, so it stays sharp at any screen scaling and
// nothing enlarged is kept in memory.
class TPixelView : public QWidget {
public:
    explicit TPixelView(QWidget* parent = nullptr);

    // The area of a display of `size` pixels at `zoom`; a picture of another size is
    // cleared.
    void setArea(QSize size, int zoom);
    void setPicture(const QImage& picture); // shown until cleared
    void clear();
    const QImage& picture() const { return m_picture; } // 1:1; null when cleared
    int zoom() const { return m_zoom; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
    QSize m_size;
    int m_zoom = 1;
};

// The rows of the connected model's display, or `fallback` when no model with a display is
// known.
int DisplayRows(int fallback);

// A white panel with a flat frame holding `picture` centred.
QFrame* PicturePanel(const QString& name, QWidget* picture, QWidget* parent);

// The picture open dialog in `folder`, "All" preselected; empty when cancelled or when the
// file does not exist.
QString OpenPictureName(QWidget* parent, const QString& caption, const QString& folder);
// The picture save dialog in `folder`, "Bitmaps" preselected, default extension bmp. The
// answer takes the extension of the chosen filter (any but "All"); when that names another
// file that exists, the user is asked before it is replaced. Empty when cancelled.
QString SavePictureName(QWidget* parent, const QString& caption, const QString& folder);
