// The "Battery" page: presets shown but never stored, the energy and cut-off fields, CSV
// files, dragging curve points with the mouse, calibration only with Shift, and an upload
// of the page's edits to the virtual device.

#include "common/emulink.h"
#include "common/fullfs.h"
#include "settings/batterypresets.h"
#include "settings/curvecsv.h"
#include "settings/history.h"
#include "settings/models.h"
#include "settings/numbers.h"
#include "settings/transfer.h"
#include "shell/dialogs.h"
#include "tuner/batterypage.h"
#include "tuner/tuner.h"
#include "tuner/v2pchart.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(QLocale)

namespace {
const QByteArray GenericCsv = "\"Battery Charge (%)\",\"Cell Voltage (V)\"\r\n"
                              "0.00,3.10\r\n3.70,3.52\r\n7.65,3.65\r\n18.09,3.69\r\n"
                              "28.18,3.73\r\n39.73,3.78\r\n51.15,3.82\r\n64.34,3.89\r\n"
                              "76.60,3.99\r\n89.43,4.10\r\n100.00,4.20\r\n"
                              "\"Battery Energy (Wh)\",\"Cut-Off Voltage (V)\"\r\n"
                              "9.000,2.50\r\n";

// Eleven point lines of a curve that differs from the Generic one in every row.
QByteArray PointLines() {
    QByteArray lines = "heading\r\n";
    for (int i = 0; i < V2PCurveRows; ++i)
        lines += QByteArray::number(i * 10) + ".00,3." + QByteArray::number(20 + i) + "\r\n";
    return lines;
}
} // namespace

class TestBatteryPage : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void presetsAreShownNeverStored_data();
    void presetsAreShownNeverStored();
    void codeWithoutPresetShowsNothing();
    void energyAndCutOffFields_data();
    void energyAndCutOffFields();
    void savedFileOfTheGenericCurve();
    void failedSaveSaysSo();
    void loadedFiles_data();
    void loadedFiles();
    void draggingPoints();
    void redrawEndsTheDrag();
    void calibrationOnlyWithShift();
    void editsReachTheDevice();

private:
    TBatteryPage* page() const { return m_form->TabBattery; }
    TChartV2P* chart() const { return page()->ChartV2P; }
    void type(QLineEdit* edit, const QString& text) {
        edit->clear();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    std::array<std::array<qint32, 2>, V2PCurveRows> shownCurve() const {
        return chart()->storedCurve();
    }
    static std::array<std::array<qint32, 2>, V2PCurveRows> curveOf(const TV2PTable& table) {
        std::array<std::array<qint32, 2>, V2PCurveRows> curve{};
        std::copy_n(table.begin(), V2PCurveRows, curve.begin());
        return curve;
    }
    // Drags point `index` with real mouse events on the chart to `to` (viewport pixels);
    // returns the stored value under `to`.
    std::array<qint32, 2> drag(int index, QPoint to) {
        QWidget* viewport = chart()->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, chart()->pointPosition(index));
        QTest::mouseMove(viewport, to);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
        QChart* c = chart()->chart();
        const QPointF value = c->mapToValue(c->mapFromScene(chart()->mapToScene(to)));
        return {ToStored(value.x(), 100), ToStored(value.y(), 100)};
    }

    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<TTunerForm> m_form;
};

void TestBatteryPage::init() {
    m_data = std::make_unique<QTemporaryDir>();
    qputenv("XDG_DATA_HOME", m_data->path().toLocal8Bit());
    Settings = DefaultSettings();
    ImageHistory().reset(); // the fresh image is the baseline
    m_form = std::make_unique<TTunerForm>();
    m_form->resize(1000, 700);
    m_form->ShowSettings();
    m_form->PageControl->setCurrentWidget(page());
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void TestBatteryPage::cleanup() {
    m_form.reset();
    m_data.reset();
    Dialogs::reset();
    QLocale::setDefault(QLocale::c());
}

void TestBatteryPage::presetsAreShownNeverStored_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("energy");
    QTest::addColumn<QPointF>("third"); // point index 2: charge %, voltage V
    QTest::newRow("Generic") << 1 << "9.000" << QPointF(7.65, 3.65);
    QTest::newRow("LG HE4") << 2 << "8.343" << QPointF(8.48, 3.31);
    QTest::newRow("LG HG2") << 3 << "9.333" << QPointF(8.67, 3.38);
    QTest::newRow("Samsung 25R") << 4 << "8.583" << QPointF(4.56, 3.27);
    QTest::newRow("Samsung 30Q") << 5 << "9.500" << QPointF(23.32, 3.52);
    QTest::newRow("Sony VTC4") << 6 << "7.770" << QPointF(1.99, 3.31);
    QTest::newRow("Sony VTC5") << 7 << "8.860" << QPointF(1.48, 3.20);
    QTest::newRow("Sony VTC6") << 8 << "9.600" << QPointF(14.04, 3.48);
}

void TestBatteryPage::presetsAreShownNeverStored() {
    QFETCH(int, code);
    QFETCH(QString, energy);
    QFETCH(QPointF, third);
    Settings.v2p[3] = {2000, 371}; // a user curve unlike every preset
    Settings.v2p[V2PEnergyRow] = {12345, 300};
    const TSettings before = Settings;
    m_form->ShowSettings();

    page()->BattProfile->setCurrentIndex(code);
    QCOMPARE(Settings.battProfile, code);
    QCOMPARE(page()->WHTotal->text(), energy);
    QCOMPARE(page()->SoftCutOff->text(), QString("2.50"));
    QCOMPARE(chart()->pointCount(), V2PCurveRows);
    QCOMPARE(chart()->point(2), third);
    QCOMPARE(shownCurve(), curveOf(*BatteryPreset(code)));
    QVERIFY(!page()->WHTotal->isEnabled() && !page()->SoftCutOff->isEnabled());
    QVERIFY(!page()->GroupBox6->isEnabled() && !chart()->isEnabled());
    QVERIFY(!page()->BitBtn3->isEnabled());
    // Labels may give way on crowded curves; a point's tool tip has its values, disabled too.
    QHelpEvent help(QEvent::ToolTip, chart()->pointPosition(2),
                    chart()->viewport()->mapToGlobal(chart()->pointPosition(2)));
    QCoreApplication::sendEvent(chart()->viewport(), &help);
    QCOMPARE(QToolTip::text(),
             QString("%1 %, %2 V").arg(third.x(), 0, 'f', 2).arg(third.y(), 0, 'f', 2));

    drag(3, chart()->pointPosition(3) - QPoint(0, 30)); // a preset's curve does not move
    QCOMPARE(shownCurve(), curveOf(*BatteryPreset(code)));
    TSettings expected = before;
    expected.battProfile = code;
    QVERIFY(Settings == expected); // the preset's table went nowhere

    page()->BattProfile->setCurrentIndex(0); // back to the user's own curve, unchanged
    QVERIFY(Settings == before);
    QCOMPARE(shownCurve(), curveOf(before.v2p));
    QCOMPARE(page()->WHTotal->text(), QString("12.345"));
    QCOMPARE(page()->SoftCutOff->text(), QString("3.00"));
    QVERIFY(page()->WHTotal->isEnabled() && page()->GroupBox6->isEnabled());
}

void TestBatteryPage::codeWithoutPresetShowsNothing() {
    for (const qint32 code : {9, -1}) {
        Settings.battProfile = code;
        m_form->ShowSettings();
        QCOMPARE(page()->BattProfile->currentIndex(), -1);
        QCOMPARE(chart()->pointCount(), 0);
        QVERIFY(page()->WHTotal->text().isEmpty() && page()->SoftCutOff->text().isEmpty());
        QVERIFY(!page()->GroupBox6->isEnabled() && !page()->WHTotal->isEnabled());
        QCOMPARE(Settings.battProfile, code); // kept until the user chooses
    }
    page()->BattProfile->setCurrentIndex(0);
    QCOMPARE(Settings.battProfile, 0);
    QCOMPARE(shownCurve(), curveOf(Settings.v2p));
}

void TestBatteryPage::energyAndCutOffFields_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown"); // in the "." locale; the "," locale shows ","
    QTest::addColumn<int>("stored");
    const QLocale comma(QLocale::German, QLocale::Germany);
    const QLocale point(QLocale::English, QLocale::UnitedStates);
    for (const QLocale& locale : {comma, point}) {
        const QByteArray tag = locale.decimalPoint() == QLatin1String(",") ? "comma " : "point ";
        auto row = [&](const char* name, const char* field, const char* typed, const char* shown,
                       int stored) {
            QTest::newRow(tag + name) << locale << field << typed << shown << stored;
        };
        row("energy above the range", "WHTotal", "45", "30.000", 30000);
        row("energy with comma", "WHTotal", "7,5", "7.500", 7500);
        row("energy with point", "WHTotal", "7.5", "7.500", 7500);
        row("energy ties to even", "WHTotal", "2.0625", "2.062", 2062);
        row("energy typing limit", "WHTotal", "12.34567", "12.345", 12345);
        row("energy not a number", "WHTotal", "abc", "0.000", 0);
        row("cut-off below the range", "SoftCutOff", "2", "2.50", 250);
        row("cut-off with comma", "SoftCutOff", "4,2", "4.20", 420);
        row("cut-off with point", "SoftCutOff", "4.2", "4.20", 420);
        row("cut-off typing limit", "SoftCutOff", "3.4567", "3.45", 345);
        row("cut-off not a number", "SoftCutOff", "abc", "2.50", 250);
        row("cut-off above the range", "SoftCutOff", "9", "8.40", 840);
    }
}

void TestBatteryPage::energyAndCutOffFields() {
    QFETCH(QLocale, locale);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, stored);
    QLocale::setDefault(locale);
    m_form->ShowSettings();
    auto* edit = page()->findChild<QLineEdit*>(field);
    const TSettings before = Settings;
    type(edit, typed);
    QCOMPARE(edit->text(), QString(shown).replace('.', locale.decimalPoint()));
    const int column = field == "WHTotal" ? 0 : 1;
    QCOMPARE(Settings.v2p[V2PEnergyRow][column], stored);
    TSettings expected = before;
    expected.v2p[V2PEnergyRow][column] = stored;
    QVERIFY(Settings == expected);
}

void TestBatteryPage::savedFileOfTheGenericCurve() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Settings.v2p[4] = {1, 2};
    m_form->ShowSettings();
    QTest::mouseClick(page()->BitBtn3, Qt::LeftButton); // "Defaults"
    QCOMPARE(Settings.v2p, GenericBatteryTable());
    QCOMPARE(DefaultSettings().v2p, GenericBatteryTable()); // one default curve
    QCOMPARE(page()->WHTotal->text(), QString("9,000"));    // the edits keep the locale's ","
    QCOMPARE(page()->SoftCutOff->text(), QString("2,50"));

    const QString name = m_data->filePath("generic.csv");
    Dialogs::setNextFileName(name);
    Dialogs::setNextAnswer(QMessageBox::Ok);
    QTest::mouseClick(page()->BitBtn2, Qt::LeftButton); // "Save .CSV"
    QFile file(name);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), GenericCsv);
    QCOMPARE(Dialogs::shownMessages(), QStringList{"Done"});

    Dialogs::setNextFileName(QString()); // cancelled: nothing written, nothing said
    QTest::mouseClick(page()->BitBtn2, Qt::LeftButton);
    QCOMPARE(Dialogs::shownMessages(), QStringList{"Done"});
}

void TestBatteryPage::failedSaveSaysSo() {
    // A write that stops half-way, as on a full disk: the old file stays whole.
    const QString name = m_data->filePath("curve.csv");
    QFile old(name);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old curve\r\n") == 11);
    old.close();
    Dialogs::setNextFileName(name);
    Dialogs::setNextAnswer(QMessageBox::Ok);
    {
        const TFileSizeLimit limit(100); // the file has about 230 bytes
        QTest::mouseClick(page()->BitBtn2, Qt::LeftButton);
    }
    const QStringList shown = Dialogs::shownMessages();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().startsWith("Cannot write"), qPrintable(shown.first()));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old curve\r\n"));
    QCOMPARE(QDir(m_data->path()).entryList(QDir::Files), QStringList{"curve.csv"});
}

void TestBatteryPage::loadedFiles_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QList<int>>("secondPoint"); // stored charge, voltage of point index 1
    QTest::addColumn<QList<int>>("lastRow");     // stored energy, cut-off
    QTest::newRow("whole file") << PointLines() + "heading\r\n8.5,3\r\n"
                                << true << QList<int>{1000, 321} << QList<int>{8500, 300};
    QTest::newRow("points only: 18 Wh, 2.50 V")
        << PointLines() << true << QList<int>{1000, 321} << QList<int>{18000, 250};
    QTest::newRow("comma and semicolon") << PointLines().replace("10.00,3.21", "3,7;3,52") << true
                                         << QList<int>{300, 0} << QList<int>{18000, 250};
    QTest::newRow("13 lines: changes nothing") << PointLines() + "heading\r\n"
                                               << false << QList<int>() << QList<int>();
    QTest::newRow("point without comma: changes nothing")
        << PointLines().replace("50.00,", "50.00;") << false << QList<int>() << QList<int>();
}

void TestBatteryPage::loadedFiles() {
    QFETCH(QByteArray, content);
    QFETCH(bool, valid);
    QFETCH(QList<int>, secondPoint);
    QFETCH(QList<int>, lastRow);
    const QString name = m_data->filePath("curve.csv");
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    const TSettings before = Settings;

    Dialogs::setNextFileName(name);
    Dialogs::setNextAnswer(QMessageBox::Ok);            // for a message, if one comes
    QTest::mouseClick(page()->BitBtn1, Qt::LeftButton); // "Load .CSV"
    if (!valid) {
        QCOMPARE(Dialogs::shownMessages(), QStringList{"Invalid CSV file!"});
        QVERIFY(Settings == before);
        QCOMPARE(shownCurve(), curveOf(before.v2p));
        QCOMPARE(page()->WHTotal->text(), QString("9.000"));
        return;
    }
    QVERIFY(Dialogs::shownMessages().isEmpty());
    QCOMPARE(Settings.v2p[1], (std::array<qint32, 2>{secondPoint[0], secondPoint[1]}));
    QCOMPARE(Settings.v2p[V2PEnergyRow], (std::array<qint32, 2>{lastRow[0], lastRow[1]}));
    QCOMPARE(shownCurve(), curveOf(Settings.v2p));
    QCOMPARE(page()->WHTotal->text(), FormatStored(lastRow[0], 3, 1000));
    QCOMPARE(page()->SoftCutOff->text(), FormatStored(lastRow[1], 2, 100));
}

void TestBatteryPage::draggingPoints() {
    const TV2PTable before = Settings.v2p;
    QCOMPARE(chart()->Tag(), -1);

    // A middle point goes wherever the mouse takes it, past its neighbour too.
    const QPoint past(chart()->pointPosition(6).x() + 40, chart()->pointPosition(5).y() - 30);
    const auto dropped = drag(5, past);
    QCOMPARE(chart()->Tag(), -1);
    QCOMPARE(Settings.v2p[5], dropped);
    QVERIFY(Settings.v2p[5][vpPercent] > Settings.v2p[6][vpPercent]); // no re-sorting
    QVERIFY(Settings.v2p[5][vpVoltage] > before[5][vpVoltage]);

    // An end point moves only up and down: 0 % stays 0 %.
    const QPoint sideways = chart()->pointPosition(0) + QPoint(60, -25);
    const auto end = drag(0, sideways);
    QCOMPARE(Settings.v2p[0], (std::array<qint32, 2>{0, end[vpVoltage]}));
    QVERIFY(end[vpVoltage] > before[0][vpVoltage]);
    for (int row : {1, 2, 3, 4, 6, 7, 8, 9, 10, V2PEnergyRow})
        QCOMPARE(Settings.v2p[row], before[row]);
    QCOMPARE(shownCurve(), curveOf(Settings.v2p)); // the chart shows what was stored

    // A press beside every point drags nothing.
    const TV2PTable settled = Settings.v2p;
    const QPoint beside = chart()->pointPosition(8) + QPoint(0, 40);
    QTest::mousePress(chart()->viewport(), Qt::LeftButton, {}, beside);
    QCOMPARE(chart()->Tag(), -1);
    QTest::mouseMove(chart()->viewport(), beside + QPoint(10, 10));
    QTest::mouseRelease(chart()->viewport(), Qt::LeftButton, {}, beside + QPoint(10, 10));
    QCOMPARE(Settings.v2p, settled);
}

// A redraw during a drag ("Defaults" pressed from the keyboard, a preset without a table)
// ends the drag: the mouse moves nothing and the release stores nothing.
void TestBatteryPage::redrawEndsTheDrag() {
    QWidget* viewport = chart()->viewport();
    Settings.v2p[5] = {5000, 400};
    page()->showSettings();
    QTest::mousePress(viewport, Qt::LeftButton, {}, chart()->pointPosition(5));
    QCOMPARE(chart()->Tag(), 5);
    page()->BitBtn3Click();
    QCOMPARE(chart()->Tag(), -1);
    const QPoint target = chart()->pointPosition(5) + QPoint(0, -40);
    QTest::mouseMove(viewport, target);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, target);
    QCOMPARE(Settings.v2p, GenericBatteryTable());
    QCOMPARE(shownCurve(), curveOf(Settings.v2p));

    QTest::mousePress(viewport, Qt::LeftButton, {}, chart()->pointPosition(3));
    chart()->clearCurve();
    QCOMPARE(chart()->Tag(), -1); // no index into the empty curve
    QTest::mouseMove(viewport, target);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, target);
    QCOMPARE(chart()->pointCount(), 0);
    QCOMPARE(Settings.v2p, GenericBatteryTable());
}

void TestBatteryPage::calibrationOnlyWithShift() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    auto calibrations = [&] { return link.received().count("BCAL"); };

    QTest::mouseClick(page()->CalBatt, Qt::LeftButton); // plain click
    page()->CalBatt->setFocus();
    QTest::keyClick(page()->CalBatt, Qt::Key_Space); // keyboard
    QTest::mouseClick(page()->CalBatt, Qt::LeftButton, Qt::ControlModifier);
    QVERIFY(Dialogs::shownMessages().isEmpty());
    QCOMPARE(calibrations(), 0);

    Dialogs::setNextAnswer(QMessageBox::Cancel);
    QTest::mouseClick(page()->CalBatt, Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(Dialogs::shownMessages(), QStringList{"Calibrate Batteries at 4.2V?"});
    QCOMPARE(calibrations(), 0);

    Dialogs::setNextAnswer(QMessageBox::Ok);
    Dialogs::setNextAnswer(QMessageBox::Ok);
    QTest::mouseClick(page()->CalBatt, Qt::RightButton, Qt::ShiftModifier);
    QCOMPARE(calibrations(), 1);
    QCOMPARE(Dialogs::shownMessages().mid(1),
             QStringList({"Calibrate Batteries at 4.2V?", "Done"}));
    QVERIFY(!link.port().Active()); // the device restarts its measurement; the port closes

    // No device: the question about the connection, and Cancel ends it quietly.
    Dialogs::reset();
    Dialogs::setNextAnswer(QMessageBox::Cancel);
    QTest::mouseClick(page()->CalBatt, Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(Dialogs::shownMessages(), QStringList{"No compatible USB device is connected"});
    QCOMPARE(calibrations(), 1);
}

void TestBatteryPage::editsReachTheDevice() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    m_form->DownloadSettingsClick();
    QVERIFY(Dialogs::shownMessages().isEmpty());
    QCOMPARE(page()->Charger->currentIndex(), 1);

    auto deviceImage = [&] {
        QMap<QString, QByteArray> values;
        TSettings scratch;
        for (const TParamRef& p : SettingsCatalogue(scratch, ModInfo))
            values[p.name] = link.emu().value(p.name.toLatin1());
        values.remove("BNRG"); // live: the device's own remaining energy
        return values;
    };
    const auto before = deviceImage();

    page()->Charger->setCurrentIndex(0);
    type(page()->SoftCutOff, "3.3");
    const QPoint up = chart()->pointPosition(4) - QPoint(0, 35);
    const auto point = drag(4, up);
    Dialogs::setNextAnswer(QMessageBox::Ok);
    m_form->UploadSettingsClick();
    QCOMPARE(Dialogs::shownMessages(), QStringList{"Done"});

    auto expected = before;
    expected["FLGS"] = QByteArray::number(96 & ~sfCharger);
    expected["V2P[4]"] = QByteArray::number(point[0]) + ',' + QByteArray::number(point[1]);
    expected["V2P[11]"] = "9000,330";
    QVERIFY(point[1] > 373);
    const auto after = deviceImage();
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QCOMPARE(after.value(it.key()), it.value());
    QCOMPARE(after.size(), expected.size());
}

QTEST_MAIN(TestBatteryPage)
#include "test_batterypage.moc"
