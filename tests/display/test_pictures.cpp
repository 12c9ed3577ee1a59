// Picture files of the logo slots and the screenshot: reading, stretching, thresholding,
// writing, and the round trip through each format.

#include "display/picture.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Magick = QStringLiteral("/usr/bin/convert");

void RandomLogo(int slot, int rows, quint32 seed) {
    QRandomGenerator random(seed);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 128; ++c)
            LogoImages[slot][r][c] = random.bounded(2) ? PixelOn : PixelOff;
}

int LogoDifferences(int a, int b, int rows) {
    int diff = 0;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 128; ++c)
            diff += LogoImages[a][r][c] != LogoImages[b][r][c];
    return diff;
}

// Raw RGB bytes of a picture file, decoded by ImageMagick.
QByteArray DecodeWithMagick(const QString& file) {
    QProcess process;
    process.start(Magick,
                  {file, QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("rgb:-")});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

} // namespace

class TestPictures : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetDisplayData(); }
    void formatsByExtension();
    void filterNames();
    void halvingWhiteOnBlack();
    void thresholdAtMidGrey();
    void transparencyOverBlack();
    void roundTrip_data();
    void roundTrip();
    void jpegLoadsApproximately();
    void gifReadByIndependentDecoder();
    void colourScreenshotAsGif();
    void firstFrameOfAnimation();
    void unsupportedAndUnreadableFiles();
    void screenshotAtZoom();
    void hostilePicturesRefusedEarly_data();
    void hostilePicturesRefusedEarly();

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
};

void TestPictures::formatsByExtension() {
    QCOMPARE(PictureFormatOf(QStringLiteral("a/b.BMP")), TPictureFormat::Bmp);
    QCOMPARE(PictureFormatOf(QStringLiteral("x.Png")), TPictureFormat::Png);
    QCOMPARE(PictureFormatOf(QStringLiteral("x.jpg")), TPictureFormat::Jpg);
    QCOMPARE(PictureFormatOf(QStringLiteral("x.gif")), TPictureFormat::Gif);
    QCOMPARE(PictureFormatOf(QStringLiteral("x.jpeg")), TPictureFormat::None);
    QCOMPARE(PictureFormatOf(QStringLiteral("x")), TPictureFormat::None);
    const QStringList installed = [] {
        QStringList list;
        const auto formats = QImageReader::supportedImageFormats();
        for (const auto& f : formats)
            list << QString::fromLatin1(f);
        return list;
    }();
    for (const char* f : {"bmp", "png", "jpg", "gif"})
        QVERIFY2(installed.contains(QLatin1String(f)), f);
}

void TestPictures::filterNames() {
    QCOMPARE(PictureFilters().size(), 5);
    QCOMPARE(PictureFilters().first(), QStringLiteral("All (*.bmp;*.png;*.jpg;*.gif)"));
    QCOMPARE(NameForFilter(QStringLiteral("/a/logo.txt"), 0), QStringLiteral("/a/logo.txt"));
    QCOMPARE(NameForFilter(QStringLiteral("/a/logo.bmp"), 2), QStringLiteral("/a/logo.png"));
    QCOMPARE(NameForFilter(QStringLiteral("/a/logo"), 4), QStringLiteral("/a/logo.gif"));
    QCOMPARE(NameForFilter(QStringLiteral("/a.b/logo"), 3), QStringLiteral("/a.b/logo.jpg"));
}

void TestPictures::halvingWhiteOnBlack() {
    // 256 x 64, every 2 x 2 block one colour: a 128 x 32 slot gets one pixel per block
    QImage image(256, 64, QImage::Format_RGB32);
    QRandomGenerator random(3);
    QVector<bool> blocks(128 * 32);
    for (int i = 0; i < blocks.size(); ++i)
        blocks[i] = random.bounded(2);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x)
            image.setPixel(x, y, blocks[(y / 2) * 128 + x / 2] ? qRgb(255, 255, 255) : 0);
    QVERIFY(image.save(path(QStringLiteral("half.png"))));
    QString error;
    QCOMPARE(LoadLogoFile(path(QStringLiteral("half.png")), 2, 32, error), TFileResult::Done);
    int wrong = 0;
    for (int r = 0; r < 32; ++r)
        for (int c = 0; c < 128; ++c)
            wrong += LogoImages[2][r][c] != (blocks[r * 128 + c] ? PixelOn : PixelOff);
    QCOMPARE(wrong, 0);
    QCOMPARE(LogoImages[2][32][0], PixelOff); // rows below the display stay untouched
}

void TestPictures::thresholdAtMidGrey() {
    const QRgb colours[] = {qRgb(128, 128, 128), qRgb(127, 127, 127), qRgb(255, 0, 0),
                            qRgb(0, 0, 128), qRgb(0, 127, 0)};
    const quint32 expected[] = {PixelOn, PixelOff, PixelOn, PixelOn, PixelOff};
    QImage image(5, 1, QImage::Format_RGB32);
    for (int i = 0; i < 5; ++i)
        image.setPixel(i, 0, colours[i]);
    QVERIFY(image.save(path(QStringLiteral("grey.bmp"))));
    QString error;
    QCOMPARE(LoadLogoFile(path(QStringLiteral("grey.bmp")), 0, 64, error), TFileResult::Done);
    // stretched to 128 columns: column c samples source pixel (2c + 1) * 5 / 256
    for (int i = 0; i < 5; ++i) {
        const int c = (256 * i + 5) / 10 + 1; // well inside the i-th fifth
        QCOMPARE(LogoImages[0][40][c], expected[i]);
    }
}

void TestPictures::transparencyOverBlack() {
    QImage image(4, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(255, 255, 255, 0));   // transparent white: black
    image.setPixel(1, 0, qRgba(255, 255, 255, 255)); // opaque white
    image.setPixel(2, 0, qRgba(255, 255, 255, 153)); // 60 % white over black: 153, lit
    image.setPixel(3, 0, qRgba(255, 255, 255, 102)); // 40 %: 102, dark
    QVERIFY(image.save(path(QStringLiteral("alpha.png"))));
    QString error;
    QCOMPARE(LoadLogoFile(path(QStringLiteral("alpha.png")), 1, 32, error), TFileResult::Done);
    QCOMPARE(LogoImages[1][0][16], PixelOff);
    QCOMPARE(LogoImages[1][0][48], PixelOn);
    QCOMPARE(LogoImages[1][31][80], PixelOn);
    QCOMPARE(LogoImages[1][31][112], PixelOff);
}

void TestPictures::roundTrip_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("rows");
    QTest::newRow("bmp 32") << "rt.bmp" << 32;
    QTest::newRow("png 64") << "rt.png" << 64;
    QTest::newRow("gif 32") << "rt.gif" << 32;
    QTest::newRow("gif 64") << "rt64.gif" << 64;
}

void TestPictures::roundTrip() {
    QFETCH(QString, name);
    QFETCH(int, rows);
    RandomLogo(3, rows, 11);
    QString error;
    QCOMPARE(SaveLogoFile(path(name), 3, rows, error), TFileResult::Done);
    QImage written(path(name));
    QCOMPARE(written.size(), QSize(128, rows));
    QCOMPARE(LoadLogoFile(path(name), 5, rows, error), TFileResult::Done);
    QCOMPARE(LogoDifferences(3, 5, rows), 0);
}

void TestPictures::jpegLoadsApproximately() {
    RandomLogo(0, 32, 5);
    QString error;
    QCOMPARE(SaveLogoFile(path(QStringLiteral("lossy.jpg")), 0, 32, error), TFileResult::Done);
    QCOMPARE(LoadLogoFile(path(QStringLiteral("lossy.jpg")), 1, 32, error), TFileResult::Done);
    QVERIFY(LogoDifferences(0, 1, 32) < 128 * 32 / 20); // lossy, but mostly the same
}

void TestPictures::gifReadByIndependentDecoder() {
    if (!QFile::exists(Magick))
        QSKIP("ImageMagick is not installed");
    RandomLogo(4, 64, 21);
    QString error;
    QCOMPARE(SaveLogoFile(path(QStringLiteral("magick.gif")), 4, 64, error), TFileResult::Done);
    const QByteArray rgb = DecodeWithMagick(path(QStringLiteral("magick.gif")));
    QCOMPARE(rgb.size(), 128 * 64 * 3);
    int wrong = 0;
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 128; ++c) {
            const char* px = rgb.constData() + (r * 128 + c) * 3;
            const bool lit = px[0] == char(255) && px[1] == char(255) && px[2] == char(255);
            const bool dark = px[0] == 0 && px[1] == 0 && px[2] == 0;
            wrong += !(lit || dark) || lit != (LogoImages[4][r][c] == PixelOn);
        }
    QCOMPARE(wrong, 0);
}

void TestPictures::colourScreenshotAsGif() {
    // 129 colours (128 cells and black) fit the GIF palette
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 128; ++c)
            ScreenImage[r][c] = (r + c) % 3 ? 0x010203u * quint32(ScreenCellOf(r, c) + 1) : 0;
    QString error;
    QCOMPARE(SaveScreenFile(path(QStringLiteral("screen.gif")), 64, 1, error), TFileResult::Done);
    const QImage back(path(QStringLiteral("screen.gif")));
    QCOMPARE(back.size(), QSize(128, 64));
    int wrong = 0;
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 128; ++c) {
            const quint32 v = ScreenImage[r][c];
            wrong += back.pixel(c, r) != qRgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
        }
    QCOMPARE(wrong, 0);
}

void TestPictures::firstFrameOfAnimation() {
    if (!QFile::exists(Magick))
        QSKIP("ImageMagick is not installed");
    const QString file = path(QStringLiteral("anim.gif"));
    const int rc = QProcess::execute(
        Magick, {QStringLiteral("-size"), QStringLiteral("128x32"), QStringLiteral("xc:white"),
                 QStringLiteral("xc:black"), QStringLiteral("-loop"), QStringLiteral("0"), file});
    QCOMPARE(rc, 0);
    QString error;
    QCOMPARE(LoadLogoFile(file, 6, 32, error), TFileResult::Done);
    QCOMPARE(LogoImages[6][0][0], PixelOn);
    QCOMPARE(LogoImages[6][31][127], PixelOn);
}

void TestPictures::unsupportedAndUnreadableFiles() {
    RandomLogo(0, 32, 9);
    RandomLogo(1, 32, 9);
    QString error;
    QFile garbage(path(QStringLiteral("broken.png")));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write("not a picture");
    garbage.close();
    QCOMPARE(LoadLogoFile(garbage.fileName(), 0, 32, error), TFileResult::Failed);
    QVERIFY(error.contains(QLatin1String("broken.png")));
    QCOMPARE(LogoDifferences(0, 1, 32), 0); // unchanged
    QVERIFY(QFile::copy(path(QStringLiteral("half.png")), path(QStringLiteral("half.jpeg"))));
    QCOMPARE(LoadLogoFile(path(QStringLiteral("half.jpeg")), 0, 32, error), TFileResult::Skipped);
    QCOMPARE(LogoDifferences(0, 1, 32), 0);
    QCOMPARE(SaveLogoFile(path(QStringLiteral("out.tif")), 0, 32, error), TFileResult::Skipped);
    QVERIFY(!QFile::exists(path(QStringLiteral("out.tif"))));
    QCOMPARE(SaveLogoFile(path(QStringLiteral("no/such/dir/x.gif")), 0, 32, error),
             TFileResult::Failed);
    QCOMPARE(SaveLogoFile(path(QStringLiteral("no/such/dir/x.png")), 0, 32, error),
             TFileResult::Failed);
    QCOMPARE(LoadLogoFile(path(QStringLiteral("half.png")), 0, 0, error), TFileResult::Failed);
}

void TestPictures::screenshotAtZoom() {
    ScreenImage[31][127] = 0x0000FF; // red
    ScreenImage[0][0] = PixelOn;
    QString error;
    QCOMPARE(SaveScreenFile(path(QStringLiteral("zoom.bmp")), 32, 3, error), TFileResult::Done);
    const QImage image(path(QStringLiteral("zoom.bmp")));
    QCOMPARE(image.size(), QSize(384, 96));
    QCOMPARE(image.pixel(383, 95), qRgb(255, 0, 0));
    QCOMPARE(image.pixel(381, 93), qRgb(255, 0, 0));
    QCOMPARE(image.pixel(380, 95), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(2, 2), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(3, 0), qRgb(0, 0, 0));
}

// A small PNG with a text chunk that claims 1.6 GB, inserted after the header chunk.
QByteArray PngWithLyingChunk() {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImage(4, 4, QImage::Format_RGB32).save(&buffer, "png");
    const qsizetype afterHeader = 8 + 12 + 13;
    QByteArray chunk;
    for (const int shift : {24, 16, 8, 0})
        chunk.append(char((1600000000u >> shift) & 0xFF));
    chunk += "tEXtComment";
    return png.left(afterHeader) + chunk + png.mid(afterHeader);
}

void TestPictures::hostilePicturesRefusedEarly_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("reason");
    QTest::newRow("PNG chunk past the end")
        << "lying.png" << PngWithLyingChunk()
        << "damaged PNG file: a chunk runs past the end of the file";
    QByteArray bmp = QByteArray("BM") + QByteArray(12, '\0');
    bmp[10] = 54;
    QByteArray info(40, '\0');
    info[0] = 40;
    info[4] = info[8] = char(0x80); // 16000 x 16000 pixels (0x3e80), 1 GB in memory
    info[5] = info[9] = char(0x3e);
    info[12] = 1;
    info[14] = 24;
    QTest::newRow("BMP of 16000 x 16000") << "huge.bmp" << bmp + info + QByteArray(64, '\0')
                                          << "the picture is too large (16000 x 16000 pixels)";
    static const char gif[] = "GIF89a\xff\xff\xff\xff\0\0\0"
                              ",\0\0\0\0\xff\xff\xff\xff\0\x02\x02\x44\x01\0;";
    QTest::newRow("GIF of 65535 x 65535") << "huge.gif" << QByteArray(gif, sizeof(gif) - 1)
                                          << "the picture is too large (65535 x 65535 pixels)";
}

// Picture files are user input: what claims far more memory than a picture can need is
// refused before anything is decoded.
void TestPictures::hostilePicturesRefusedEarly() {
    QFETCH(QString, name);
    QFETCH(QByteArray, data);
    QFETCH(QString, reason);
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
    file.close();
    QImage image;
    QString error;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(ReadPicture(file.fileName(), image, error), TFileResult::Failed);
    QCOMPARE(error, "Cannot read " + file.fileName() + ": " + reason);
    QCOMPARE_LT(clock.elapsed(), 500);
}

QTEST_GUILESS_MAIN(TestPictures)
#include "test_pictures.moc"
