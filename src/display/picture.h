#pragma once
// Picture files of the logo slots and the screenshot: .bmp, .png, .jpg and .gif, chosen by
// the file name's lower-case extension. Reading takes the first frame and composites
// transparent pixels over black; .gif files are written with a palette of the picture's
// own colours, the others as 24-bit pictures.

#include "display/displaydata.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

enum class TPictureFormat { None, Bmp, Png, Jpg, Gif };

// The format that the file name's extension selects (".jpeg" selects none).
TPictureFormat PictureFormatOf(const QString& fileName);

// The filters of the picture dialogs: "All (...)" first, then one per format.
QStringList PictureFilters();
// The name to write after the user picked filter `filterIndex` (0 = "All"): filters 1 to 4
// replace the extension by that filter's one; "All" keeps the typed name.
QString NameForFilter(const QString& fileName, int filterIndex);

enum class TFileResult {
    Done,
    Skipped, // unsupported extension: nothing read or written
    Failed   // the codec could not read or write the file; see the error text
};

// Every error text is complete: "Cannot read <file>: <reason>" or "Cannot write <file>:
// <reason>".

// Reads the first frame of a picture, composited over black, as Format_RGB32. Picture
// files are user input: a file over 256 MiB, a PNG whose chunks run past its end and a
// picture that would take more than 128 MiB of memory are refused before decoding.
TFileResult ReadPicture(const QString& fileName, QImage& image, QString& error);
// The bytes of a picture file in that format (the reason in `reason` when it fails).
bool EncodePicture(const QImage& image, TPictureFormat format, QByteArray& bytes, QString& reason);
// Writes a picture in the format of its extension through WriteFileSafely (safefile.h): a
// failed write leaves an existing file as it was.
TFileResult WritePicture(const QImage& image, const QString& fileName, QString& error);

// The picture stretched to width x height without smoothing: each target pixel takes the
// colour of one source pixel.
QImage StretchPicture(const QImage& image, int width, int height);
// A pixel is lit when its red, green or blue component is above 127.
bool IsLit(QRgb color);

// The picture thresholded into slot `slot` of LogoImages (rows below `rows`).
void PictureToLogo(const QImage& image, int slot, int rows);
// Slot `slot` of LogoImages as a black-and-white picture of 128 x `rows`.
QImage LogoToPicture(int slot, int rows);
// ScreenImage as shown at zoom factor `zoom`: 128 * zoom x rows * zoom.
QImage ScreenToPicture(int rows, int zoom);

// Load and Save of a logo slot (the display has `rows` rows).
TFileResult LoadLogoFile(const QString& fileName, int slot, int rows, QString& error);
TFileResult SaveLogoFile(const QString& fileName, int slot, int rows, QString& error);
// Save of the screenshot at zoom factor `zoom`.
TFileResult SaveScreenFile(const QString& fileName, int rows, int zoom, QString& error);
