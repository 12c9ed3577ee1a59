#include "display/picture.h"

#include "settings/safefile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QImageWriter>
#include <QtEndian>

#include <gif_lib.h>

#include <vector>

namespace {

const char* CodecName(TPictureFormat format) {
    switch (format) {
    case TPictureFormat::Bmp:
        return "bmp";
    case TPictureFormat::Png:
        return "png";
    case TPictureFormat::Jpg:
        return "jpg";
    case TPictureFormat::Gif:
        return "gif";
    case TPictureFormat::None:
        break;
    }
    return "";
}

constexpr int JpegQuality = 90;
// Picture files are user input: a file larger than this is not read at all, and no decoder
// may allocate more than the image limit (Qt's own default, set on every read so that
// nothing in the process can have lifted it).
constexpr qint64 MaxPictureFileBytes = 256LL << 20;
constexpr int PictureAllocationLimitMb = 128;

QString NativeName(const QString& fileName) {
    return QDir::toNativeSeparators(fileName);
}

QRgb RgbOfColor(quint32 color) {
    return qRgb(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

// Whether a picture file of slot `slot` (`rows` rows) may be read or written: Skipped for
// an unsupported extension, Failed (with the error text) for an area no display has.
TFileResult CheckPictureFile(const QString& fileName, int slot, int rows, QString& error) {
    if (PictureFormatOf(fileName) == TPictureFormat::None)
        return TFileResult::Skipped;
    if (slot >= 0 && slot < LogoSlots && rows >= 1 && rows <= DisplayMaxRows)
        return TFileResult::Done;
    error = QStringLiteral("No model with a display is known");
    return TFileResult::Failed;
}

// Transparent pixels composited over black: premultiplied colour components are exactly
// the composite over black.
QImage OverBlack(const QImage& image) {
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB32);
    const QImage premultiplied = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage result(premultiplied.size(), QImage::Format_RGB32);
    for (int y = 0; y < result.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(premultiplied.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x)
            dst[x] = qRgb(qRed(src[x]), qGreen(src[x]), qBlue(src[x]));
    }
    return result;
}

// The picture's colours, at most 256, as a palette and an index per colour.
bool CollectPalette(const QImage& image, QVector<QRgb>& colors, QHash<QRgb, int>& index) {
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb color = line[x] | 0xFF000000u;
            if (index.contains(color))
                continue;
            if (colors.size() == 256)
                return false;
            index.insert(color, int(colors.size()));
            colors.append(color);
        }
    }
    return true;
}

ColorMapObject* MakeColorMap(const QVector<QRgb>& colors, int& bits) {
    bits = 1;
    while ((1 << bits) < colors.size())
        ++bits;
    ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
    if (!map)
        return nullptr;
    for (int i = 0; i < map->ColorCount; ++i) {
        const QRgb c = i < colors.size() ? colors[i] : 0;
        map->Colors[i] =
            GifColorType{GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))};
    }
    return map;
}

bool PutGifPixels(GifFileType* gif, const QImage& image, const QHash<QRgb, int>& index) {
    std::vector<GifPixelType> line(size_t(image.width()));
    for (int y = 0; y < image.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[size_t(x)] = GifPixelType(index.value(src[x] | 0xFF000000u));
        if (EGifPutLine(gif, line.data(), image.width()) == GIF_ERROR)
            return false;
    }
    return true;
}

bool EncodeGif(GifFileType* gif, const QImage& image, ColorMapObject* map, int bits,
               const QHash<QRgb, int>& index) {
    const int w = image.width(), h = image.height();
    return EGifPutScreenDesc(gif, w, h, bits, 0, map) != GIF_ERROR &&
           EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) != GIF_ERROR &&
           PutGifPixels(gif, image, index);
}

QString GifError(int code) {
    const char* text = GifErrorString(code);
    return QString::fromLatin1(text ? text : "GIF error");
}

int AppendGifBytes(GifFileType* gif, const GifByteType* data, int size) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), size);
    return size;
}

bool EncodeGifFile(const QImage& source, QByteArray& bytes, QString& reason) {
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    QVector<QRgb> colors;
    QHash<QRgb, int> index;
    if (!CollectPalette(image, colors, index)) {
        reason = QStringLiteral("more than 256 colours");
        return false;
    }
    int bits = 1;
    ColorMapObject* map = MakeColorMap(colors, bits);
    int code = 0;
    GifFileType* gif = EGifOpen(&bytes, AppendGifBytes, &code);
    if (!gif || !map) {
        GifFreeMapObject(map);
        reason = GifError(gif ? E_GIF_ERR_NOT_ENOUGH_MEM : code);
        if (gif)
            EGifCloseFile(gif, &code);
        return false;
    }
    bool ok = EncodeGif(gif, image, map, bits, index);
    int failure = gif->Error;
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &code) == GIF_ERROR && ok) {
        ok = false;
        failure = code;
    }
    if (!ok)
        reason = GifError(failure);
    return ok;
}

// The chunks of a PNG file must lie within it: a chunk whose declared length runs past
// the end would make the decoder reserve that much memory before it notices.
bool PngChunksFit(const QByteArray& data, QString& reason) {
    static const char Signature[] = "\x89PNG\r\n\x1a\n";
    if (!data.startsWith(QByteArray::fromRawData(Signature, 8))) {
        reason = QStringLiteral("not a PNG file");
        return false;
    }
    qint64 pos = 8;
    while (pos + 12 <= data.size()) {
        const quint32 length = qFromBigEndian<quint32>(data.constData() + pos);
        const QByteArray type = data.mid(pos + 4, 4);
        if (length > 0x7FFFFFFFu || pos + 12 + qint64(length) > data.size())
            break;
        pos += 12 + qint64(length);
        if (type == "IEND")
            return true;
    }
    reason = QStringLiteral("damaged PNG file: a chunk runs past the end of the file");
    return false;
}

// The file's bytes, refused when too large to be a picture, and a PNG whose chunks do not
// fit the file.
bool ReadPictureBytes(const QString& fileName, TPictureFormat format, QByteArray& data,
                      QString& reason) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        reason = file.errorString();
        return false;
    }
    if (file.size() > MaxPictureFileBytes) {
        reason = QStringLiteral("the file is too large for a picture");
        return false;
    }
    data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        reason = file.errorString();
        return false;
    }
    return format != TPictureFormat::Png || PngChunksFit(data, reason);
}

bool DecodePicture(const QByteArray& data, TPictureFormat format, QImage& frame, QString& reason) {
    QImageReader::setAllocationLimit(PictureAllocationLimitMb);
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, CodecName(format));
    reader.setDecideFormatFromContent(false);
    // The header's size decides before any pixel memory is taken, whatever the codec.
    const QSize size = reader.size();
    if (size.isValid() &&
        qint64(size.width()) * size.height() * 4 > qint64(PictureAllocationLimitMb) << 20) {
        reason = QStringLiteral("the picture is too large (%1 x %2 pixels)")
                     .arg(size.width())
                     .arg(size.height());
        return false;
    }
    frame = reader.read(); // the first frame of an animation
    if (frame.isNull()) {
        reason = reader.errorString();
        return false;
    }
    return true;
}

} // namespace

TPictureFormat PictureFormatOf(const QString& fileName) {
    const QString ext = QFileInfo(fileName).suffix().toLower();
    if (ext == QLatin1String("bmp"))
        return TPictureFormat::Bmp;
    if (ext == QLatin1String("png"))
        return TPictureFormat::Png;
    if (ext == QLatin1String("jpg"))
        return TPictureFormat::Jpg;
    if (ext == QLatin1String("gif"))
        return TPictureFormat::Gif;
    return TPictureFormat::None;
}

QStringList PictureFilters() {
    return {QStringLiteral("All (*.bmp;*.png;*.jpg;*.gif)"), QStringLiteral("Bitmaps (*.bmp)"),
            QStringLiteral("Portable Network Graphics (*.png)"),
            QStringLiteral("JPEG Image File (*.jpg)"), QStringLiteral("GIF Image (*.gif)")};
}

QString NameForFilter(const QString& fileName, int filterIndex) {
    static const char* const extensions[] = {".bmp", ".png", ".jpg", ".gif"};
    if (filterIndex < 1 || filterIndex > 4)
        return fileName;
    const QFileInfo info(fileName);
    const QString base = info.suffix().isEmpty()
                             ? fileName
                             : fileName.left(fileName.size() - info.suffix().size() - 1);
    return base + QLatin1String(extensions[filterIndex - 1]);
}

TFileResult ReadPicture(const QString& fileName, QImage& image, QString& error) {
    const TPictureFormat format = PictureFormatOf(fileName);
    if (format == TPictureFormat::None)
        return TFileResult::Skipped;
    QByteArray data;
    QImage frame;
    QString reason;
    if (!ReadPictureBytes(fileName, format, data, reason) ||
        !DecodePicture(data, format, frame, reason)) {
        error = QStringLiteral("Cannot read %1: %2").arg(NativeName(fileName), reason);
        return TFileResult::Failed;
    }
    image = OverBlack(frame);
    return TFileResult::Done;
}

bool EncodePicture(const QImage& image, TPictureFormat format, QByteArray& bytes, QString& reason) {
    bytes.clear();
    if (format == TPictureFormat::None) {
        reason = QStringLiteral("unsupported picture type");
        return false;
    }
    if (format == TPictureFormat::Gif)
        return EncodeGifFile(image, bytes, reason);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, CodecName(format));
    if (format == TPictureFormat::Jpg)
        writer.setQuality(JpegQuality);
    if (!writer.write(image.convertToFormat(QImage::Format_RGB32))) {
        reason = writer.errorString();
        return false;
    }
    return true;
}

TFileResult WritePicture(const QImage& image, const QString& fileName, QString& error) {
    const TPictureFormat format = PictureFormatOf(fileName);
    if (format == TPictureFormat::None)
        return TFileResult::Skipped;
    QByteArray bytes;
    QString reason;
    if (!EncodePicture(image, format, bytes, reason)) {
        error = QStringLiteral("Cannot write %1: %2").arg(NativeName(fileName), reason);
        return TFileResult::Failed;
    }
    return WriteFileSafely(fileName, bytes, &error) ? TFileResult::Done : TFileResult::Failed;
}

QImage StretchPicture(const QImage& image, int width, int height) {
    const QImage source = image.convertToFormat(QImage::Format_RGB32);
    QImage result(width, height, QImage::Format_RGB32);
    const qint64 sw = source.width(), sh = source.height();
    for (int y = 0; y < height; ++y) {
        const int sy = int((2 * y + 1) * sh / (2 * qint64(height)));
        const auto* src = reinterpret_cast<const QRgb*>(source.constScanLine(sy));
        auto* dst = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < width; ++x)
            dst[x] = src[(2 * x + 1) * sw / (2 * qint64(width))];
    }
    return result;
}

bool IsLit(QRgb color) {
    return qRed(color) > 127 || qGreen(color) > 127 || qBlue(color) > 127;
}

void PictureToLogo(const QImage& image, int slot, int rows) {
    const QImage picture = StretchPicture(image, DisplayWidth, rows);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < DisplayWidth; ++c)
            LogoImages[slot][r][c] = IsLit(picture.pixel(c, r)) ? PixelOn : PixelOff;
}

// Rows written a scan line at a time (setPixel per pixel costs more than the rest of a
// Tuner refresh together).
QImage LogoToPicture(int slot, int rows) {
    QImage picture(DisplayWidth, rows, QImage::Format_RGB32);
    for (int r = 0; r < rows; ++r) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(r));
        for (int c = 0; c < DisplayWidth; ++c)
            line[c] = RgbOfColor(LogoImages[slot][r][c]);
    }
    return picture;
}

QImage ScreenToPicture(int rows, int zoom) {
    QImage picture(DisplayWidth * zoom, rows * zoom, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            line[x] = RgbOfColor(ScreenImage[y / zoom][x / zoom]);
    }
    return picture;
}

TFileResult LoadLogoFile(const QString& fileName, int slot, int rows, QString& error) {
    TFileResult result = CheckPictureFile(fileName, slot, rows, error);
    if (result != TFileResult::Done)
        return result;
    QImage image;
    result = ReadPicture(fileName, image, error);
    if (result == TFileResult::Done)
        PictureToLogo(image, slot, rows);
    return result;
}

TFileResult SaveLogoFile(const QString& fileName, int slot, int rows, QString& error) {
    const TFileResult check = CheckPictureFile(fileName, slot, rows, error);
    if (check != TFileResult::Done)
        return check;
    return WritePicture(LogoToPicture(slot, rows), fileName, error);
}

TFileResult SaveScreenFile(const QString& fileName, int rows, int zoom, QString& error) {
    const TFileResult check = CheckPictureFile(fileName, 0, rows, error);
    if (check != TFileResult::Done)
        return check;
    if (zoom < 1) {
        error = QStringLiteral("Invalid zoom factor %1").arg(zoom);
        return TFileResult::Failed;
    }
    return WritePicture(ScreenToPicture(rows, zoom), fileName, error);
}
