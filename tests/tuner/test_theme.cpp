// The "Theme" page on the virtual device: what the slot pictures show, Load / Clear and the
// upload that follows, the rows of each model, the screen assignment, the logo folder.

#include "common/emulink.h"
#include "display/displaydata.h"
#include "display/packing.h"
#include "link/transport.h"
#include "settings/models.h"
#include "settings/settings.h"
#include "shell/dialogs.h"
#include "shell/paths.h"
#include "tuner/themepage.h"
#include "tuner/tuner.h"
#include "tuner/tunerpictures.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QRgb Rgb(quint32 color) {
    return qRgb(color & 0xFF, (color >> 8) & 0xFF, color >> 16);
}

// Pixels of slot `slot`'s picture that differ from LogoImages shown at twice the size.
int WrongPixels(TThemePage* page, int slot) {
    const QImage shown =
        page->Rows[slot].logo->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (shown.size() != QSize(256, 2 * ModInfo.scrHeight))
        return -1;
    int wrong = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            wrong += shown.pixel(x, y) != Rgb(LogoImages[slot][y / 2][x / 2]);
    return wrong;
}

// The device's logo pixel of slot `slot` (128 x 32 model, column packing).
bool DeviceLit(TDeviceEmulator& emu, int slot, int r, int c) {
    const QByteArray line = QByteArray::fromBase64(
        emu.value(QByteArray("LOGO[") + QByteArray::number(slot * 4 + r / 8) + "]"));
    return (quint8(line.at(c)) >> (r % 8)) & 1;
}

} // namespace

class TestTheme : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { Dialogs::reset(); }
    void downloadShowsDeviceLogos();
    void loadedPictureReachesDevice();
    void clearedSlotUploadsWhiteLines();
    void rowsFollowModel_data();
    void rowsFollowModel();
    void screenChoiceStoredAtOnce();
    void logoFolderFollowsModel();
    void drawingTime();

private:
    TThemePage* page() { return m_form->TabTheme; }
    void show(int model) {
        SelectModel(model);
        m_form->ShowSettings();
    }
    QTemporaryDir m_data;
    std::unique_ptr<TTunerForm> m_form;
};

void TestTheme::initTestCase() {
    qputenv("XDG_DATA_HOME", m_data.path().toLocal8Bit());
}

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
        QCOMPARE(WrongPixels(page(), slot), 0);
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
    QVERIFY(picture.save(dir.filePath("wide.png")));
    QFile broken(dir.filePath("broken.png"));
    QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("not a picture") > 0);
    broken.close();

    Dialogs::setNextFileName(dir.filePath("wide.png"));
    page()->Rows[2].load->click();
    QCOMPARE(WrongPixels(page(), 2), 0);
    const auto loaded = std::make_unique<TLogoSet>(LogoImages);
    // another extension does nothing, silently; a file no codec reads says why
    QVERIFY(QFile::copy(dir.filePath("wide.png"), dir.filePath("wide.jpeg")));
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
    QCOMPARE(WrongPixels(page(), 0), 0);
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
    QTest::newRow("128x64, 4 slots") << 2 << 4 << 128;
    QTest::newRow("colour LED, 4 slots") << 4 << 4 << 128;
    QTest::newRow("unknown model") << 0 << 0 << 64;
}

void TestTheme::rowsFollowModel() {
    QFETCH(int, model);
    QFETCH(int, count);
    QFETCH(int, height);
    show(model);
    for (int slot = 0; slot < 8; ++slot) {
        const TThemePage::TLogoRow& row = page()->Rows[slot];
        for (QWidget* control :
             {static_cast<QWidget*>(row.panel), static_cast<QWidget*>(row.combo),
              static_cast<QWidget*>(row.label), static_cast<QWidget*>(row.clear)})
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
    QCOMPARE(ModInfo.ID, 2);
    QVERIFY(page()->Rows[3].panel->isVisibleTo(page()) &&
            !page()->Rows[4].panel->isVisibleTo(page()));
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

// Drawing and painting every slot of the 8-slot model, best of five (prints the figure).
void TestTheme::drawingTime() {
    show(1);
    m_form->resize(900, 1400); // every row in sight
    m_form->PageControl->setCurrentWidget(page());
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    for (int round = 0; round < 20; ++round) { // the layouts settle, one level per round
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    QVERIFY(!page()->Rows[7].logo->visibleRegion().isEmpty());
    qint64 best = std::numeric_limits<qint64>::max();
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer clock;
        clock.start();
        page()->ShowLogos();
        for (const auto& row : page()->Rows)
            row.logo->repaint();
        best = qMin(best, clock.nsecsElapsed());
    }
    qInfo("ShowLogos, 8 slots of 128 x 32: %.2f ms", double(best) / 1e6);
    QVERIFY(best < 10'000'000);
}

QTEST_MAIN(TestTheme)
#include "test_theme.moc"
