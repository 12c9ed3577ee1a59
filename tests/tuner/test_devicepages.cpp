// The "Mod", "Screen" and "Buttons" pages of the Tuner: every switch list, text field, code
// list, track bar and colour control against Settings, the model-dependent rows, the screen
// pictures, and an upload of edits from all three pages to the virtual device.

#include "common/emulink.h"
#include "settings/codetables.h"
#include "settings/history.h"
#include "settings/ledcolour.h"
#include "settings/models.h"
#include "settings/transfer.h"
#include "shell/dialogs.h"
#include "tuner/buttonspage.h"
#include "tuner/modpage.h"
#include "tuner/pagekit.h"
#include "tuner/screenart.h"
#include "tuner/screenpage.h"
#include "tuner/tuner.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSlider>
#include <QTabWidget>
#include <QtTest>

#include <memory>

namespace {

// The fields the text-field table stores into, by name.
qint32 Field(const QString& name) {
    const QHash<QString, qint32> fields = {
        {"cntPuffs", Settings.cntPuffs},       {"cntPTime", Settings.cntPTime},
        {"pidRegP", Settings.pidRegP},         {"pidRegI", Settings.pidRegI},
        {"pidRegD", Settings.pidRegD},         {"timeLogo", Settings.timeLogo},
        {"timeInfo", Settings.timeInfo},       {"timeFadeIn", Settings.timeFadeIn},
        {"timeFadeOut", Settings.timeFadeOut}, {"brTime0", Settings.brTime[0][1]},
        {"brTime4", Settings.brTime[4][1]},    {"brTime5", Settings.brTime[5][1]}};
    Q_ASSERT(fields.contains(name));
    return fields.value(name);
}

// A Tuner window showing Settings for the given model.
std::unique_ptr<TTunerForm> ShownForm(int model) {
    SelectModel(model);
    auto form = std::make_unique<TTunerForm>();
    form->resize(1000, 700);
    form->show();
    form->ShowSettings();
    return form;
}

template <class T> T* Control(const TTunerForm& form, const QString& name) {
    T* control = form.findChild<T*>(name);
    if (!control)
        qWarning("no control %s", qPrintable(name));
    return control;
}

// The caption whose buddy is control, if any.
QLabel* CaptionOf(const QWidget* control) {
    const auto labels = control->window()->findChildren<QLabel*>();
    for (QLabel* label : labels)
        if (label->buddy() == control)
            return label;
    return nullptr;
}

// The device's values that differ between two snapshots, by name.
QMap<QByteArray, QByteArray> Snapshot(const TDeviceEmulator& emu) {
    QMap<QByteArray, QByteArray> values;
    const QStringList names = emu.parameterNames();
    for (const QString& name : names)
        values.insert(name.toLatin1(), emu.value(name.toLatin1()));
    return values;
}
QMap<QByteArray, QByteArray> Changed(const QMap<QByteArray, QByteArray>& before,
                                     const QMap<QByteArray, QByteArray>& after) {
    QMap<QByteArray, QByteArray> changed;
    for (auto it = after.begin(); it != after.end(); ++it)
        if (before.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    return changed;
}

QImage Art(TScreenMode mode, qreal ratio) {
    QImage image(QSize(ScreenArtWidth, ScreenArtHeight) * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::red);
    QPainter painter(&image);
    PaintScreenArt(painter, QRectF(0, 0, ScreenArtWidth, ScreenArtHeight), mode);
    return image;
}

// Pixels of image inside the logical columns [x0, x1) that are not black.
int LitPixels(const QImage& image, int x0, int x1) {
    const qreal ratio = image.devicePixelRatio();
    int lit = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = int(x0 * ratio); x < int(x1 * ratio); ++x)
            lit += (image.pixel(x, y) & 0xFFFFFF) != 0;
    return lit;
}

} // namespace

class TestDevicePages : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init() {
        Settings = DefaultSettings();
        ImageHistory().reset(); // the fresh image is the baseline
        ResetModels();
    }
    void cleanup() { Dialogs::reset(); }

    void flagLists_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("page");
        const char* const rows[][2] = {{"TempUnit", "TabGeneral"},    {"CoilAutosel", "TabGeneral"},
                                       {"ScreenOrient", "TabScreen"}, {"ScreenInvert", "TabScreen"},
                                       {"StealthMode", "TabScreen"},  {"BattInPerc", "TabScreen"},
                                       {"ScreenLayout", "TabScreen"}, {"RGBLED", "TabScreen"},
                                       {"LockMod", "TabButtons"},     {"LockParam", "TabButtons"},
                                       {"SwapButtons", "TabButtons"}, {"W1Increment", "TabButtons"},
                                       {"C1Increment", "TabButtons"}, {"SleepExit", "TabButtons"}};
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1]);
    }
    // Each list sits on its page under its caption, shows its bit, and sets or clears that
    // bit alone; the other bits, unmapped high bits included, stay as they were.
    void flagLists() {
        QFETCH(QString, control);
        QFETCH(QString, page);
        const TFlagBit* bit = nullptr;
        for (const TFlagBit& flag : SettingsFlagBits)
            if (control == QLatin1String(flag.control))
                bit = &flag;
        QVERIFY(bit);
        const qint32 others = qint32(0x5A5A0000) | (0x5A5A & ~bit->value);
        Settings.flags = others | bit->value;
        auto form = ShownForm(4);
        auto* list = Control<QComboBox>(*form, control);
        QVERIFY(list);
        QVERIFY(form->findChild<QWidget*>(page)->isAncestorOf(list));
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->itemText(0), QString::fromUtf8(bit->clear));
        QCOMPARE(list->itemText(1), QString::fromUtf8(bit->set));
        QVERIFY(CaptionOf(list));
        QCOMPARE(CaptionOf(list)->text(), QString::fromUtf8(bit->caption));
        QCOMPARE(list->currentIndex(), 1);
        list->setCurrentIndex(0);
        QCOMPARE(Settings.flags, others);
        list->setCurrentIndex(1);
        QCOMPARE(Settings.flags, others | bit->value);
        Settings.flags = others;
        form->ShowSettings();
        QCOMPARE(list->currentIndex(), 0);
        QCOMPARE(Settings.flags, others); // showing stores nothing
    }

    void textFields_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<qint32>("stored");
        QTest::addColumn<QString>("field");
        const auto row = [](const char* name, const char* control, const char* typed,
                            const char* shown, qint32 stored, const char* field) {
            QTest::newRow(name) << QString::fromLatin1(control) << QString::fromLatin1(typed)
                                << QString::fromLatin1(shown) << stored
                                << QString::fromLatin1(field);
        };
        row("puffs clamp", "PuffCount", "99999", "65535", 65535, "cntPuffs");
        row("puffs 5 digits", "PuffCount", "123456", "12345", 12345, "cntPuffs");
        row("puffs digits only", "PuffCount", "1a2.3", "123", 123, "cntPuffs");
        row("total time", "PuffTime", "42", "42", 42, "cntPTime");
        row("P emptied", "PidRegP", "", "1", 1, "pidRegP");
        row("P max", "PidRegP", "6001", "6000", 6000, "pidRegP");
        row("I max", "PidRegI", "10001", "10000", 10000, "pidRegI");
        row("D max", "PidRegD", "5001", "5000", 5000, "pidRegD");
        row("logo tie", "TOutLogo", "1.25", "1.2", 1200, "timeLogo");
        row("logo comma", "TOutLogo", "2,5", "2.5", 2500, "timeLogo");
        row("logo 6 chars", "TOutLogo", "12.3456", "12.3", 12300, "timeLogo");
        row("info min", "TOutInfo", "0", "0.1", 100, "timeInfo");
        row("fade-in", "TimeFadeIn", "2.5", "2.5", 25, "timeFadeIn");
        row("fade-out max", "TimeFadeOut", "61", "60.0", 600, "timeFadeOut");
        row("firing 3 digits", "TOutFiring", "6000", "600", 600, "brTime0");
        row("firing digits only", "TOutFiring", "12.7", "127", 127, "brTime0");
        row("sleeping", "TOutSleeping", "45", "45", 45, "brTime4");
        row("lock any text", "TOutALock", "12.7", "13", 13, "brTime5");
        row("lock 6 chars", "TOutALock", "1234567", "600", 600, "brTime5");
        row("lock not a number", "TOutALock", "abc", "0", 0, "brTime5");
    }
    // Typing into each field, then leaving it with Return: typing limits, clamping, the
    // text shown and the integer stored (rounded to what the field shows).
    void textFields() {
        QFETCH(QString, control);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(qint32, stored);
        QFETCH(QString, field);
        auto form = ShownForm(1);
        auto* edit = Control<QLineEdit>(*form, control);
        QVERIFY(edit);
        QVERIFY(CaptionOf(edit));
        edit->clear();
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(edit->text(), shown);
        QCOMPARE(Field(field), stored);
        form->ShowSettings();
        QCOMPARE(edit->text(), shown); // the stored value shows as it was left
    }

    void colourHelpers() {
        QCOMPARE(ColourWordToRgb(32768), QColor(255, 255, 255));
        QCOMPARE(ColourWordToRgb(31744), QColor(248, 0, 0));
        QCOMPARE(ColourWordToRgb(0), QColor(0, 0, 0));
        QCOMPARE(ColourWordToRgb(13088), QColor(96, 200, 0));
        QCOMPARE(RgbToColourWord(QColor(100, 200, 7)), 13088);
        QCOMPARE(RgbToColourWord(QColor(255, 0, 0)), 31744);
        QCOMPARE(RgbToColourWord(QColor(255, 255, 255)), 32767);
        for (qint32 word = 0; word < 32768; ++word)
            if (RgbToColourWord(ColourWordToRgb(word)) != word)
                QFAIL(qPrintable(QStringLiteral("word %1 does not survive").arg(word)));
    }

    // Rainbow hides the swatch; "Solid Color" stores black and shows it; the dialog's pure
    // red stores 31744 and shows red 248; only a left press asks; a cancel changes nothing;
    // an effect the list lacks selects nothing and stays stored.
    void ledColourListAndSwatch() {
        Settings.brTime[3][2] = LedRainbow;
        Settings.brTime[0][2] = LedEffectBit + 1;
        auto form = ShownForm(4);
        auto* list = Control<QComboBox>(*form, "ComboBoxC4");
        auto* swatch = Control<TSwatch>(*form, "ShapeC4");
        QVERIFY(list && swatch);
        form->PageControl->setCurrentWidget(form->TabScreen);
        QCOMPARE(list->currentText(), QStringLiteral("Rainbow"));
        QVERIFY(!swatch->isVisible());

        list->setCurrentIndex(0);
        QCOMPARE(Settings.brTime[3][2], 0);
        QVERIFY(swatch->isVisible());
        QCOMPARE(swatch->colour(), QColor(Qt::black));

        Dialogs::setNextColor(QColor(255, 0, 0));
        QTest::mouseClick(swatch, Qt::RightButton);
        QCOMPARE(Settings.brTime[3][2], 0);
        QTest::mouseClick(swatch, Qt::LeftButton);
        QCOMPARE(Settings.brTime[3][2], 31744);
        QCOMPARE(swatch->colour(), QColor(248, 0, 0));
        QCOMPARE(list->currentIndex(), 0);
        Dialogs::setNextColor(std::nullopt);
        QTest::mouseClick(swatch, Qt::LeftButton);
        QCOMPARE(Settings.brTime[3][2], 31744);

        list->setCurrentIndex(1);
        QCOMPARE(Settings.brTime[3][2], LedRainbow);
        QVERIFY(!swatch->isVisible());

        auto* unknown = Control<QComboBox>(*form, "ComboBoxC1");
        QCOMPARE(unknown->currentIndex(), -1);
        QVERIFY(!Control<TSwatch>(*form, "ShapeC1")->isVisible());
        form->ShowSettings();
        QCOMPARE(Settings.brTime[0][2], LedEffectBit + 1);
        unknown->setCurrentIndex(1);
        QCOMPARE(Settings.brTime[0][2], LedRainbow);
    }

    // The track bar stores its position and paints grey and percentage; showing a value the
    // bar cannot take leaves it stored, and the label says what is stored.
    void brightness() {
        Settings.brTime[1][0] = 150;
        auto form = ShownForm(1);
        auto* bar = Control<QSlider>(*form, "TrackBar3");
        QVERIFY(bar);
        bar->setValue(50);
        QCOMPARE(Settings.brTime[2][0], 50);
        QCOMPARE(Control<TSwatch>(*form, "Shape3")->colour(), QColor(127, 127, 127));
        QCOMPARE(Control<QLabel>(*form, "Perc3")->text(), QStringLiteral("50%"));
        QCOMPARE(Control<QSlider>(*form, "TrackBar2")->value(), 100);
        QCOMPARE(Settings.brTime[1][0], 150);
        QCOMPARE(Control<QLabel>(*form, "Perc2")->text(), QStringLiteral("150%"));
        QCOMPARE(Control<TSwatch>(*form, "Shape2")->colour(), QColor(255, 255, 255));
    }

    void modelRows_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("positions");
        QTest::addColumn<bool>("rgb");
        QTest::newRow("Dozore 213") << 1 << 3 << false;
        QTest::newRow("Zedo Dizerado") << 4 << 5 << true;
    }
    // Only the model's indicator positions and (with RGB rows) the LED controls show; the
    // positions a model lacks keep their values through a download, an edit and an upload.
    void modelRows() {
        QFETCH(int, model);
        QFETCH(int, positions);
        QFETCH(bool, rgb);
        EmuLink link(model);
        QVERIFY2(link.ok(), qPrintable(link.error()));
        for (int row = 0; row < IndParRows; ++row)
            Settings.indPar[row] = {0, 0, 0, 20 + row, 24 + row};
        const auto before = Settings.indPar;
        QVERIFY(ReadDeviceSettings());
        auto form = ShownForm(model);
        for (int index = 0; index < IndParRows * IndParCols; ++index) {
            QComboBox* list = form->TabGeneral->INDPCOMBO[std::size_t(index)];
            const int row = index / IndParCols, position = index % IndParCols;
            QCOMPARE(!list->isHidden(), position < positions);
            if (position < positions)
                QCOMPARE(list->currentIndex(), Settings.indPar[row][position]);
            else
                QCOMPARE(Settings.indPar[row][position], before[row][position]);
        }
        QCOMPARE(form->TabGeneral->INDPCOMBO[7]->accessibleName(),
                 QStringLiteral("VW Mode position 3"));
        QCOMPARE(!Control<QWidget>(*form, "RGBLED")->isHidden(), rgb);
        QCOMPARE(!CaptionOf(Control<QWidget>(*form, "RGBLED"))->isHidden(), rgb);
        QCOMPARE(!Control<QWidget>(*form, "ComboBoxC1")->parentWidget()->isHidden(), rgb);

        form->TabGeneral->INDPCOMBO[7]->setCurrentIndex(16);
        QCOMPARE(Settings.indPar[1][2], 16);
        const auto edited = Settings.indPar;
        QVERIFY(WriteDeviceSettings());
        QCOMPARE(Settings.indPar, edited);
        QCOMPARE(link.emu().value("IPAR[1]").split(',').value(2), QByteArray("16"));
        QCOMPARE(link.emu().value("IPAR[1]").count(',') + 1, positions);
    }

    // Codes without an item select nothing and stay stored until the user picks one.
    void codesWithoutItem() {
        Settings.keyAction[3] = 40;
        Settings.indPar[0][0] = 30;
        auto form = ShownForm(4);
        QCOMPARE(Control<QComboBox>(*form, "ComboBox103")->currentIndex(), -1);
        QCOMPARE(Control<QComboBox>(*form, "ComboBox1")->currentIndex(), -1);
        form->ShowSettings();
        QCOMPARE(Settings.keyAction[3], 40);
        QCOMPARE(Settings.indPar[0][0], 30);
        Control<QComboBox>(*form, "ComboBox103")->setCurrentIndex(33);
        QCOMPARE(Settings.keyAction[3], 33);
        QCOMPARE(Control<QComboBox>(*form, "ComboBox103")->currentText(),
                 QStringLiteral("Start Game"));
    }

    // White on black, the middle left empty for the lists, the bolt only while charging;
    // the same at twice the pixel density.
    void screenArt() {
        for (const qreal ratio : {1.0, 2.0}) {
            const int middle0 = ScreenArtValueWidth,
                      middle1 = ScreenArtWidth - ScreenArtBatteryWidth;
            for (int mode = 0; mode < 4; ++mode) {
                const QImage art = Art(TScreenMode(mode), ratio);
                QCOMPARE(LitPixels(art, middle0, middle1), 0);
                QVERIFY(LitPixels(art, 0, middle0) > 100 * ratio * ratio);
                QVERIFY(LitPixels(art, middle1, ScreenArtWidth) > 100 * ratio * ratio);
            }
            const QImage vw = Art(TScreenMode::VW, ratio), charge = Art(TScreenMode::Charge, ratio);
            QCOMPARE(vw.copy(0, 0, int(middle0 * ratio), vw.height()),
                     charge.copy(0, 0, int(middle0 * ratio), charge.height()));
            QVERIFY(vw != charge);
        }
        QCOMPARE(ScreenArtValue(TScreenMode::TC), QStringLiteral("220C"));
    }

    // An edit on each page, uploaded: the device receives exactly those changes.
    void uploadEditsOfEachPage() {
        EmuLink link(4);
        QVERIFY2(link.ok(), qPrintable(link.error()));
        auto form = std::make_unique<TTunerForm>();
        form->show();
        form->DownloadSettingsClick();
        QVERIFY(form->shown());
        link.emu().clearTrace();
        const auto before = Snapshot(link.emu());

        auto* pidI = Control<QLineEdit>(*form, "PidRegI");
        pidI->clear();
        QTest::keyClicks(pidI, "900");
        QTest::keyClick(pidI, Qt::Key_Return);
        Control<QComboBox>(*form, "ComboBoxC2")->setCurrentIndex(1);
        Control<QComboBox>(*form, "ComboBox103")->setCurrentIndex(7);
        Dialogs::setNextAnswer(QMessageBox::Ok);
        form->UploadSettingsClick();
        QCOMPARE(Dialogs::shownMessages(), QStringList{QStringLiteral("Done")});
        QCOMPARE(link.writes(), (QList<QByteArray>{"PID=600,900,0", "KACT=0,1,0,7,3,4,8,0",
                                                   "BRTM[1]=75,10,32768"}));
        const QMap<QByteArray, QByteArray> expected = {
            {"PID", "600,900,0"}, {"KACT", "0,1,0,7,3,4,8,0"}, {"BRTM[1]", "75,10,32768"}};
        QCOMPARE(Changed(before, Snapshot(link.emu())), expected);
    }
};

QTEST_MAIN(TestDevicePages)
#include "test_devicepages.moc"
