// The "Theme" page and the " Screenshot " group on the virtual device: what the pictures
// show, Load / Clear and the upload that follows, the rows of each model, the screen
// assignment, the logo folder, captures and their files, failures that change nothing.
// With DEVEDAZI_SHOTS set to a folder, shownOnScreen() saves the window there as PNG files.

#include "common/emulink.h"
#include "display/displaydata.h"
#include "display/packing.h"
#include "display/picture.h"
#include "display/transfers.h"
#include "link/transport.h"
#include "settings/models.h"
#include "settings/settings.h"
#include "shell/dialogs.h"
#include "shell/paths.h"
#include "shell/shellfixture.h"
#include "tuner/screenpage.h"
#include "tuner/screenshotgroup.h"
#include "tuner/themepage.h"
#include "tuner/tuner.h"
#include "tuner/tunerpictures.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolTip>
#include <QtTest>

#include <memory>

namespace {

QImage Shown(QWidget* view) {
    return view->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Pixels of `shown` that differ from `picture` (rows x 128) enlarged `zoom` times; -1 for a
// wrong size.
int WrongPixels(const QImage& shown, const TPicture& picture, int zoom) {
    if (shown.size() != QSize(128 * zoom, ModInfo.scrHeight * zoom))
        return -1;
    int wrong = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const quint32 c = picture[y / zoom][x / zoom];
            wrong += shown.pixel(x, y) != qRgb(c & 0xFF, (c >> 8) & 0xFF, c >> 16);
        }
    return wrong;
}

// The device's logo pixel of slot `slot` (128 x 32 model, column packing).
bool DeviceLit(TDeviceEmulator& emu, int slot, int r, int c) {
    const QByteArray line = QByteArray::fromBase64(
        emu.value(QByteArray("LOGO[") + QByteArray::number(slot * 4 + r / 8) + "]"));
    return (quint8(line.at(c)) >> (r % 8)) & 1;
}

// Lets a change of size travel through the layouts, one posted event per level.
void Settle() {
    for (int round = 0; round < 20; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

} // namespace

class TestTheme : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("XDG_DATA_HOME", m_data.path().toLocal8Bit()); }
    void init();
    void cleanup() { Dialogs::reset(); }
    void downloadShowsDeviceLogos();
    void loadedPictureReachesDevice();
    void clearedSlotUploadsWhiteLines();
    void rowsFollowModel_data();
    void rowsFollowModel();
    void screenChoiceStoredAtOnce();
    void logoFolderFollowsModel();
    void captureSavedAtZoomThree();
    void colourDisplayByCell();
    void sliderClearsPicture();
    void failedCaptureKeepsLastOne();
    void saveWithoutCaptureSaysWhy();
    void shownOnScreen();

private:
    TThemePage* page() { return m_form->TabTheme; }
    TScreenshotGroup* group() { return m_form->TabScreen->Screenshot; }
    int wrongLogo(int slot) {
        return WrongPixels(Shown(page()->Rows[slot].logo), LogoImages[slot], 2);
    }
    void show(int model) {
        SelectModel(model);
        m_form->ShowSettings();
    }
    QTemporaryDir m_data;
    std::unique_ptr<TTunerForm> m_form;
};

void TestTheme::init() {
    ResetDisplayData();
    Settings = TSettings{};
    m_form = std::make_unique<TTunerForm>();
}

void TestTheme::downloadShowsDeviceLogos() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    QRandomGenerator random(7);
    for (int k = 0; k < 32; ++k) {
        QByteArray line(128, '\0');
        for (char& byte : line)
            byte = char(random.bounded(256));
        QVERIFY(link.emu().setValue("LOGO[" + QByteArray::number(k) + "]", line.toBase64()));
    }
    QVERIFY(link.emu().setValue("LSCR", "1,2,3,4,5,6,7,35"));
    show(1);
    page()->DownloadLogo->click();
    for (int slot = 0; slot < 8; ++slot) {
        QCOMPARE(wrongLogo(slot), 0);
        QCOMPARE(page()->Rows[slot].combo->currentIndex(), slot == 7 ? 35 : slot + 1);
    }
    QVERIFY(LogoImages[3][5][9] == (DeviceLit(link.emu(), 3, 5, 9) ? PixelOn : PixelOff));

    // a download that fails part way changes neither the pictures nor the stores
    const auto before = std::make_unique<TLogoSet>(LogoImages);
    const QImage shown = page()->Rows[0].logo->grab().toImage();
    QVERIFY(link.emu().setValue("LOGO[0]", QByteArray(128, '\xFF').toBase64()));
    TEmuFaults faults;
    faults.silentAfter = 4;
    link.emu().setFaults(faults);
    page()->DownloadLogo->click();
    QVERIFY(LinkLost);
    QVERIFY(LogoImages == *before);
    QCOMPARE(page()->Rows[0].logo->grab().toImage(), shown);
    QVERIFY(Dialogs::shownMessages().isEmpty());
}

void TestTheme::loadedPictureReachesDevice() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    show(1);
    // 2 x 2 blocks: white, black, grey 128 (lit), grey 127 (dark), red (lit)
    const QRgb colors[] = {qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(128, 128, 128),
                           qRgb(127, 127, 127), qRgb(255, 0, 0)};
    const auto kind = [](int c, int r) { return (c * 3 + r * 7 + c / 5) % 5; };
    QImage picture(256, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x)
            picture.setPixel(x, y, colors[kind(x / 2, y / 2)]);
    QTemporaryDir dir;
    QVERIFY(picture.save(dir.filePath("wide.png")) && picture.save(dir.filePath("wide.jpeg")));
    QFile broken(dir.filePath("broken.png"));
    QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("not a picture") > 0);
    broken.close();

    Dialogs::setNextFileName(dir.filePath("wide.png"));
    page()->Rows[2].load->click();
    QCOMPARE(wrongLogo(2), 0);
    const auto loaded = std::make_unique<TLogoSet>(LogoImages);
    // another extension does nothing, silently; a file no codec reads says why
    Dialogs::setNextFileName(dir.filePath("wide.jpeg"));
    page()->Rows[2].load->click();
    QVERIFY(Dialogs::shownMessages().isEmpty());
    Dialogs::setNextFileName(dir.filePath("broken.png"));
    Dialogs::setNextAnswer(QMessageBox::Ok);
    page()->Rows[2].load->click();
    QCOMPARE(Dialogs::shownMessages().size(), 1);
    QVERIFY(Dialogs::shownMessages().first().startsWith("Cannot read"));
    QVERIFY(LogoImages == *loaded);

    Dialogs::setNextAnswer(QMessageBox::Ok);
    page()->UploadLogo->click();
    QCOMPARE(Dialogs::shownMessages().last(), QString("Done"));
    int wrong = 0;
    for (int r = 0; r < 32; ++r)
        for (int c = 0; c < 128; ++c)
            wrong += DeviceLit(link.emu(), 2, r, c) != (kind(c, r) % 2 == 0);
    QCOMPARE(wrong, 0);
}

void TestTheme::clearedSlotUploadsWhiteLines() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    show(1);
    page()->Rows[0].clear->click();
    QCOMPARE(wrongLogo(0), 0);
    QCOMPARE(page()->Rows[0].logo->grab().toImage().pixel(17, 33), qRgb(255, 255, 255));
    Dialogs::setNextAnswer(QMessageBox::Ok);
    page()->UploadLogo->click();
    for (int k = 0; k < 4; ++k) {
        const QByteArray text = link.emu().value("LOGO[" + QByteArray::number(k) + "]");
        QCOMPARE(text.size(), 172);
        QVERIFY(text.endsWith("=") && !text.endsWith("=="));
        QCOMPARE(QByteArray::fromBase64(text), QByteArray(128, '\xFF'));
    }
}

void TestTheme::rowsFollowModel_data() {
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("height");
    QTest::newRow("128x32, 8 slots") << 1 << 8 << 64;
    QTest::newRow("128x64, 4 slots") << 4 << 4 << 128;
    QTest::newRow("unknown model") << 0 << 0 << 64;
}

void TestTheme::rowsFollowModel() {
    QFETCH(int, model);
    QFETCH(int, count);
    QFETCH(int, height);
    show(model);
    for (int slot = 0; slot < 8; ++slot) {
        const TThemePage::TLogoRow& row = page()->Rows[slot];
        const std::initializer_list<QWidget*> controls = {row.panel, row.combo, row.label,
                                                          row.clear};
        for (QWidget* control : controls)
            QCOMPARE(control->isHidden(), slot >= count);
        QCOMPARE(row.logo->size(), QSize(256, height));
    }
}

void TestTheme::screenChoiceStoredAtOnce() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    show(1);
    link.emu().clearTrace();
    page()->Rows[2].combo->setCurrentIndex(12); // "Too Hot"
    QCOMPARE(Settings.logoScreen[2], 12);
    QVERIFY(link.received().isEmpty());
}

void TestTheme::logoFolderFollowsModel() {
    show(1);
    Dialogs::setNextFileName(QString()); // cancelled
    page()->Rows[0].load->click();
    QCOMPARE(Dialogs::lastFileFolder(), DataPath("Logo")); // no device
    EmuLink link(2);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    Dialogs::setNextFileName(QString());
    page()->Rows[0].save->click();
    QCOMPARE(Dialogs::lastFileFolder(), DataPath("Logo/128x64"));
    QVERIFY(!page()->Rows[3].panel->isHidden() && page()->Rows[4].panel->isHidden());
    // a device that does not answer leaves the model as it was
    TEmuFaults faults;
    faults.silentAfter = 0;
    link.emu().setFaults(faults);
    Dialogs::setNextFileName(QString());
    page()->Rows[0].load->click();
    QCOMPARE(Dialogs::lastFileFolder(), DataPath("Logo"));
    QCOMPARE(ModInfo.ID, 2);
    QCOMPARE(ModInfo.numLogo, 4);
}

void TestTheme::captureSavedAtZoomThree() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    show(1);
    group()->SizeBar->setValue(3);
    group()->TakeScreenshot->click();
    QCOMPARE(WrongPixels(Shown(group()->Screenshot), ScreenImage, 3), 0);
    QTemporaryDir dir;
    const auto save = [&](const QString& name, const QString& filter) {
        Dialogs::setNextFileName(dir.filePath(name), filter);
        group()->SaveScreenshot->click();
    };
    // the chosen filter gives the extension; "All" keeps the typed one
    save("shot.bmp", "Portable Network Graphics (*.png)");
    const QImage written(dir.filePath("shot.png"));
    QCOMPARE(WrongPixels(written.convertToFormat(QImage::Format_RGB32), ScreenImage, 3), 0);
    save("shot.txt", "All (*.bmp;*.png;*.jpg;*.gif)");
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"shot.png"});
    // the renamed file exists: the user is asked, and "No" keeps it
    QFile png(dir.filePath("shot.png"));
    QVERIFY(png.open(QIODevice::ReadWrite) && png.resize(0) && png.write("keep") == 4);
    png.close();
    Dialogs::setNextAnswer(QMessageBox::No);
    save("shot.gif", "Portable Network Graphics (*.png)");
    QCOMPARE(Dialogs::shownMessages().size(), 1);
    QVERIFY(png.open(QIODevice::ReadOnly));
    QCOMPARE(png.readAll(), QByteArray("keep"));
}

void TestTheme::colourDisplayByCell() {
    EmuLink link(4);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    QVERIFY(link.emu().setValue("FLGS", "352")); // inverted: mostly lit
    const auto word = [](int cell) { return quint16(cell * 0x0821 + 0x1234); };
    QByteArray colors(128, '\0'); // the first colour line: a different 5-6-5 word per cell
    for (int d = 0; d < 64; ++d) {
        colors[2 * d] = char(word(d) >> 8);
        colors[2 * d + 1] = char(word(d) & 0xFF);
    }
    TEmuFaults faults;
    faults.malformedFor = "SCR[8]";
    faults.malformedValue = colors.toBase64();
    link.emu().setFaults(faults);
    show(4);
    group()->TakeScreenshot->click();
    QCOMPARE(WrongPixels(Shown(group()->Screenshot), ScreenImage, 2), 0);
    const QImage shown = Shown(group()->Screenshot);
    int lit = 0, wrong = 0;
    for (int r = 0; r < 32; ++r) // the rows of the first colour line's cells
        for (int c = 0; c < 128; ++c) {
            const QRgb px = shown.pixel(2 * c, 2 * r);
            if (px == qRgb(0, 0, 0))
                continue;
            ++lit;
            const quint32 cell = ColorFrom565(word(ScreenCellOf(r, c)));
            wrong += px != qRgb(cell & 0xFF, (cell >> 8) & 0xFF, cell >> 16);
        }
    QVERIFY(lit > 1000);
    QCOMPARE(wrong, 0);
}

void TestTheme::sliderClearsPicture() {
    EmuLink link(2);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    show(2);
    group()->TakeScreenshot->click();
    QVERIFY(group()->captureShown());
    link.emu().clearTrace();
    group()->SizeBar->setSliderDown(true); // dragged: the position shows in a tool tip
    group()->SizeBar->setSliderPosition(4);
    QCOMPARE(QToolTip::text(), QString("4"));
    group()->SizeBar->setSliderDown(false);
    QVERIFY(!group()->captureShown());
    QCOMPARE(group()->Screenshot->size(), QSize(512, 256));
    QVERIFY(link.received().isEmpty());
    group()->TakeScreenshot->click();
    QCOMPARE(WrongPixels(Shown(group()->Screenshot), ScreenImage, 4), 0);
}

void TestTheme::failedCaptureKeepsLastOne() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    show(1);
    group()->TakeScreenshot->click();
    const QImage shown = group()->Screenshot->grab().toImage();
    const auto image = std::make_unique<TPicture>(ScreenImage);
    QVERIFY(link.emu().setValue("FLGS", "352")); // the device now shows another picture
    TEmuFaults faults;
    faults.silentAfter = 2;
    link.emu().setFaults(faults);
    group()->TakeScreenshot->click();
    QVERIFY(LinkLost);
    QVERIFY(ScreenImage == *image);
    QCOMPARE(group()->Screenshot->grab().toImage(), shown);
}

void TestTheme::saveWithoutCaptureSaysWhy() {
    ShellGround ground;
    TMotherForm mother(ground.options());
    show(1);
    group()->SaveScreenshot->click();
    QVERIFY(mother.statusBar()->currentMessage().contains("take a screenshot"));
    QVERIFY(Dialogs::lastFileFolder().isEmpty()); // no dialog
}

// The window as the user sees it, and the time to show and paint the eight logos of model 1
// and a zoom-8 capture of model 4 (best of five, printed for a reader; a test run on a busy
// machine is no place to hold a time limit).
void TestTheme::shownOnScreen() {
    const QString folder = qEnvironmentVariable("DEVEDAZI_SHOTS");
    const auto keep = [&](const QString& name) {
        Settle();
        if (!folder.isEmpty())
            m_form->grab().save(folder + "/" + name + ".png");
    };
    const auto fastest = [](const std::function<void()>& draw) {
        qint64 best = std::numeric_limits<qint64>::max();
        for (int run = 0; run < 5; ++run) {
            QElapsedTimer clock;
            clock.start();
            draw();
            best = qMin(best, clock.nsecsElapsed());
        }
        return double(best) / 1e6;
    };
    m_form->resize(889, 586);
    m_form->show();
    for (int model : {1, 4}) {
        EmuLink link(model);
        QVERIFY2(link.ok(), qPrintable(link.error()));
        show(model);
        QImage art(128, ModInfo.scrHeight, QImage::Format_RGB32);
        art.fill(Qt::white);
        QPainter(&art).drawText(art.rect(), Qt::AlignCenter, "DEVedazi");
        art.invertPixels(); // white on black
        PictureToLogo(art, 0, ModInfo.scrHeight);
        m_form->PageControl->setCurrentWidget(page());
        page()->Rows[1].clear->click();
        page()->Rows[1].combo->setCurrentIndex(1);
        keep(QString("theme-model%1").arg(model));
        m_form->PageControl->setCurrentWidget(m_form->TabScreen);
        group()->SizeBar->setValue(4);
        group()->TakeScreenshot->click();
        keep(QString("screen-zoom4-model%1").arg(model));
    }
    m_form->resize(1200, 1400); // every logo and the whole capture in sight
    show(1);
    m_form->PageControl->setCurrentWidget(page());
    Settle();
    const double logos = fastest([this] {
        page()->ShowLogos();
        for (const auto& row : page()->Rows)
            row.logo->repaint();
    });
    qInfo("8 logos of 128 x 32 shown: %.2f ms", logos);
    show(4);
    group()->SizeBar->setValue(8);
    m_form->PageControl->setCurrentWidget(m_form->TabScreen);
    group()->showCapture();
    Settle();
    QCOMPARE(group()->Screenshot->visibleRegion().boundingRect().size(), QSize(1024, 512));
    const double capture = fastest([this] {
        group()->showCapture();
        group()->Screenshot->repaint();
    });
    qInfo("capture of 128 x 64 shown at zoom 8: %.2f ms", capture);
}

QTEST_MAIN(TestTheme)
#include "test_theme.moc"
