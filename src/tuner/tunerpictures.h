#pragma once
// Pictures of the "Theme" page and the screenshot group: display pictures enlarged for the
// screen, and the picture file dialogs with the extension rules of Load and Save.

#include "display/picture.h"

#include <QPixmap>

#include <functional>

class QWidget;

// `picture` enlarged `zoom` times without smoothing. On a scaled screen the pixmap carries
// the screen's pixels, so each display pixel stays a sharp square of zoom x zoom logical
// pixels.
QPixmap ZoomedPixmap(const QImage& picture, int zoom, qreal devicePixelRatio);

// The picture open dialog in `folder`, "All" preselected; empty when cancelled or when the
// file does not exist.
QString OpenPictureName(QWidget* parent, const QString& caption, const QString& folder);
// The picture save dialog in `folder`, "Bitmaps" preselected, default extension bmp. The
// answer takes the extension of the chosen filter (any but "All"); when that names another
// file that exists, the user is asked before it is replaced. Empty when cancelled.
QString SavePictureName(QWidget* parent, const QString& caption, const QString& folder);

// Writes a picture file without risking the old one: `write` writes the picture under a
// temporary name with the same extension, and only a complete file replaces `fileName`.
// Skipped (nothing written) for an extension no codec has.
using TPictureWriter = std::function<TFileResult(const QString& fileName, QString& error)>;
TFileResult WritePictureSafely(const QString& fileName, const TPictureWriter& write,
                               QString& error);
