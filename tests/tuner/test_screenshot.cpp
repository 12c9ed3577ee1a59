// The " Screenshot " group on the virtual device: the zoomed picture, its file, the colours
// of a colour display, the slider, and a capture that fails.

#include "common/emulink.h"
#include "display/displaydata.h"
#include "display/packing.h"
#include "display/picture.h"
#include "display/transfers.h"
#include "link/transport.h"
#include "settings/models.h"
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
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolTip>
#include <QtTest>

#include <memory>

namespace {

QRgb Rgb(quint32 color) {
    return qRgb(color & 0xFF, (color >> 8) & 0xFF, color >> 16);
}

QImage Shown(TScreenshotGroup* group) {
    return group->Screenshot->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Pixels of `picture` that differ from ScreenImage at zoom `zoom`; -1 for a wrong size.
int WrongPixels(const QImage& picture, int zoom) {
    if (picture.size() != QSize(128 * zoom, ModInfo.scrHeight * zoom))
        return -1;
    int wrong = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            wrong += picture.pixel(x, y) != Rgb(ScreenImage[y / zoom][x / zoom]);
    return wrong;
}

// Lets a change of size travel through the layouts, one posted event per level.
void Settle() {
    for (int round = 0; round < 20; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

} // namespace

class TestScreenshot : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("XDG_DATA_HOME", m_data.path().toLocal8Bit()); }
    void init();
    void cleanup() { Dialogs::reset(); }
    void savedAtZoomThree();
    void colourDisplayByCell();
    void sliderClearsPicture();
    void failedCaptureKeepsLastOne();
    void saveWithoutCaptureSaysWhy();
    void drawingTime();
    void pictures();

private:
    TScreenshotGroup* group() { return m_form->TabScreen->Screenshot; }
    void show(int model) {
        SelectModel(model);
        m_form->ShowSettings();
    }
    QTemporaryDir m_data;
    std::unique_ptr<TTunerForm> m_form;
};

void TestScreenshot::init() {
    ResetDisplayData();
    m_form = std::make_unique<TTunerForm>();
}

void TestScreenshot::savedAtZoomThree() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    show(1);
    group()->SizeBar->setValue(3);
    group()->TakeScreenshot->click();
    QCOMPARE(WrongPixels(Shown(group()), 3), 0);
    QTemporaryDir dir;
    // the chosen filter gives the extension; "All" keeps the typed one
    Dialogs::setNextFileName(dir.filePath("shot.bmp"), "Portable Network Graphics (*.png)");
    group()->SaveScreenshot->click();
    QCOMPARE(WrongPixels(QImage(dir.filePath("shot.png")), 3), 0);
    QVERIFY(!QFile::exists(dir.filePath("shot.bmp")));
    Dialogs::setNextFileName(dir.filePath("shot.txt"), "All (*.bmp;*.png;*.jpg;*.gif)");
    group()->SaveScreenshot->click();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"shot.png"});
    // the renamed file exists: the user is asked, and "No" keeps it
    Dialogs::setNextFileName(dir.filePath("shot.gif"), "Portable Network Graphics (*.png)");
    Dialogs::setNextAnswer(QMessageBox::No);
    QFile png(dir.filePath("shot.png"));
    QVERIFY(png.open(QIODevice::ReadWrite) && png.resize(0) && png.write("keep") == 4);
    png.close();
    group()->SaveScreenshot->click();
    QCOMPARE(Dialogs::shownMessages().size(), 1);
    QVERIFY(png.open(QIODevice::ReadOnly));
    QCOMPARE(png.readAll(), QByteArray("keep"));
}

void TestScreenshot::colourDisplayByCell() {
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
    const QImage shown = Shown(group());
    QCOMPARE(WrongPixels(shown, 2), 0);
    int lit = 0, wrong = 0;
    for (int r = 0; r < 32; ++r) // the rows of the first colour line's cells
        for (int c = 0; c < 128; ++c) {
            const QRgb px = shown.pixel(2 * c, 2 * r);
            if (px == qRgb(0, 0, 0))
                continue;
            ++lit;
            wrong += px != Rgb(ColorFrom565(word(ScreenCellOf(r, c))));
        }
    QVERIFY(lit > 1000);
    QCOMPARE(wrong, 0);
}

void TestScreenshot::sliderClearsPicture() {
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
    QVERIFY(group()->Screenshot->picture().isNull());
    QCOMPARE(group()->Screenshot->size(), QSize(512, 256));
    QVERIFY(link.received().isEmpty());
    group()->TakeScreenshot->click();
    QCOMPARE(WrongPixels(Shown(group()), 4), 0);
}

void TestScreenshot::failedCaptureKeepsLastOne() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    show(1);
    group()->TakeScreenshot->click();
    const QImage shown = Shown(group());
    const auto image = std::make_unique<TPicture>(ScreenImage);
    QVERIFY(link.emu().setValue("FLGS", "352")); // the device now shows another picture
    TEmuFaults faults;
    faults.silentAfter = 2;
    link.emu().setFaults(faults);
    group()->TakeScreenshot->click();
    QVERIFY(LinkLost);
    QVERIFY(ScreenImage == *image);
    QCOMPARE(Shown(group()), shown);
}

void TestScreenshot::saveWithoutCaptureSaysWhy() {
    ShellGround ground;
    TMotherForm mother(ground.options());
    show(1);
    group()->SaveScreenshot->click();
    QVERIFY(mother.statusBar()->currentMessage().contains("take a screenshot"));
    QVERIFY(Dialogs::lastFileFolder().isEmpty()); // no dialog
    QVERIFY(QDir(DataPath("Screenshots")).isEmpty());
}

// A capture shown and painted at zoom 8 on a 64-row display, best of five (prints the
// figure).
void TestScreenshot::drawingTime() {
    EmuLink link(2);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    show(2);
    m_form->resize(1200, 1400);
    m_form->PageControl->setCurrentWidget(m_form->TabScreen);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    group()->SizeBar->setValue(8);
    QVERIFY(ReadScreen());
    group()->showCapture();
    Settle(); // the layout gives the picture its room
    qint64 best = std::numeric_limits<qint64>::max();
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer clock;
        clock.start();
        group()->showCapture();
        group()->Screenshot->repaint();
        best = qMin(best, clock.nsecsElapsed());
    }
    qInfo("Capture shown at zoom 8, 128 x 64: %.2f ms", double(best) / 1e6);
    QCOMPARE(group()->Screenshot->visibleRegion().boundingRect().size(), QSize(1024, 512));
    QVERIFY(best < 10'000'000);
}

// The Theme page of models 1 and 4 and a capture at zoom 4 as the user sees them. With
// DEVEDAZI_SHOTS set to a folder, the pictures are saved there for a look by eye.
void TestScreenshot::pictures() {
    const QString folder = qEnvironmentVariable("DEVEDAZI_SHOTS");
    const auto keep = [&](const QString& name) {
        Settle();
        if (!folder.isEmpty())
            m_form->grab().save(folder + "/" + name + ".png");
    };
    m_form->resize(889, 586);
    m_form->show();
    for (int model : {1, 4}) {
        EmuLink link(model);
        QVERIFY2(link.ok(), qPrintable(link.error()));
        show(model);
        QImage art(128, ModInfo.scrHeight, QImage::Format_RGB32);
        art.fill(Qt::black);
        QPainter painter(&art);
        painter.setPen(Qt::white);
        painter.drawText(art.rect(), Qt::AlignCenter, "DEVedazi");
        painter.end();
        PictureToLogo(art, 0, ModInfo.scrHeight);
        ClearLogo(1, ModInfo.scrHeight);
        m_form->TabTheme->Rows[1].combo->setCurrentIndex(1);
        m_form->TabTheme->ShowLogos();
        m_form->PageControl->setCurrentWidget(m_form->TabTheme);
        keep(QString("theme-model%1").arg(model));
        m_form->PageControl->setCurrentWidget(m_form->TabScreen);
        group()->SizeBar->setValue(4);
        group()->TakeScreenshot->click();
        QVERIFY(group()->captureShown());
        keep(QString("screen-zoom4-model%1").arg(model));
    }
}

QTEST_MAIN(TestScreenshot)
#include "test_screenshot.moc"
