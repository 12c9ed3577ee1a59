// Undo and redo of every kind of change restore the image and every field exactly; undo in
// one Tuner window undoes an edit made in another; change marks follow the baseline: they
// appear with an edit, clear with a good upload or save, and stay after a failed upload.

#include "common/emulink.h"
#include "display/displaydata.h"
#include "display/picture.h"
#include "settings/batterypresets.h"
#include "settings/curvecsv.h"
#include "settings/settingsfile.h"
#include "shell/paths.h"
#include "tuner/batterypage.h"
#include "tuner/imagecommands.h"
#include "tuner/pagekit.h"
#include "tuner/screenpage.h"
#include "tuner/tfrchart.h"
#include "tuner/themepage.h"
#include "tuner/tunerpictures.h"
#include "tunertest.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QSlider>
#include <QTemporaryDir>
#include <QUndoStack>

class TestUndo : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void everyKindOfStep_data();
    void everyKindOfStep();
    void undoInAnotherWindow();
    void marksFollowTheBaseline();

private:
    TProfilesPage* page() const { return m_form->TabProfiles; }
    template <class T> T* control(const char* name) const { return m_form->findChild<T*>(name); }
    QString file(const QString& name) const { return m_data.path() + "/" + name; }
    void act(int kind);

    QTemporaryDir m_data;
    std::unique_ptr<EmuLink> m_link;
    std::unique_ptr<TTunerForm> m_form;
};

namespace {

// What a window shows, control by control (text, selection, state, curve, picture).
QMap<QString, QString> Shown(const TTunerForm& form) {
    QMap<QString, QString> shown;
    for (const QLineEdit* edit : form.findChildren<QLineEdit*>())
        shown[edit->objectName()] = edit->text();
    for (const QComboBox* list : form.findChildren<QComboBox*>())
        shown[list->objectName()] = QString::number(list->currentIndex());
    for (const QCheckBox* box : form.findChildren<QCheckBox*>())
        shown[box->objectName()] = box->isChecked() ? "on" : "off";
    for (const QSlider* bar : form.findChildren<QSlider*>())
        shown[bar->objectName()] = QString::number(bar->value());
    for (const TSwatch* swatch : form.findChildren<TSwatch*>())
        shown[swatch->objectName()] = swatch->colour().name();
    for (const QLineSeries* series : form.findChildren<QLineSeries*>()) {
        QStringList points;
        for (const QPointF& p : series->points())
            points << QString("%1/%2").arg(p.x()).arg(p.y());
        shown[series->parent()->objectName() + series->name()] = points.join(' ');
    }
    for (const TThemePage::TLogoRow& row : form.TabTheme->Rows) {
        const TPixelView* logo = row.logo;
        const QImage& picture = logo->picture();
        shown[logo->objectName()] = QString::fromLatin1(
            QByteArray(reinterpret_cast<const char*>(picture.constBits()), picture.sizeInBytes())
                .toBase64());
    }
    return shown;
}

// A window made now shows the image as the old one must: same page, same profile tab.
void CompareWithFreshWindow(const TTunerForm& form) {
    TTunerForm fresh;
    fresh.resize(form.size());
    fresh.ShowSettings();
    fresh.TabProfiles->TabControl->setCurrentIndex(form.TabProfiles->TabControl->currentIndex());
    const QMap<QString, QString> expected = Shown(fresh), actual = Shown(form);
    for (auto it = expected.begin(); it != expected.end(); ++it)
        QVERIFY2(
            actual.value(it.key()) == it.value(),
            qPrintable(
                QString("%1: %2 instead of %3").arg(it.key(), actual.value(it.key()), it.value())));
}

struct TStepKind {
    const char* name;
    const char* step; // the step's name in "Undo ..."
};
const TStepKind kKinds[] = {
    {"field", "TC Power (Profile 1)"},
    {"code list", "3 x Fire"},
    {"switch list", "Temp. Unit"},
    {"check box", "Alt. Parameter (Profile 1)"},
    {"track bar drag", "Brightness: Firing"},
    {"LED colour", "LED Color: Active"},
    {"chart point drag", "TFR Curve (Profile 1)"},
    {"Load .CSV", "Load .CSV (Discharge Curve)"},
    {"Defaults", "Defaults (TFR Curve, Profile 1)"},
    {"battery preset", "Batt. Profile"},
    {"Paste Profile", "Paste Profile (Profile 3)"},
    {"logo Load", "Load Logo 1"},
    {"logo Clear", "Clear Logo 2"},
    {"Read Resistance", "Read Resistance (Profile 1)"},
    {"New Settings", "New Settings"},
    {"Load Settings", "Load Settings"},
    {"Download Settings", "Download Settings"},
};

} // namespace

void TestUndo::init() {
    qputenv("XDG_DATA_HOME", m_data.path().toLocal8Bit());
    CreateWorkingFolders();
    m_link = std::make_unique<EmuLink>(4);
    QVERIFY2(m_link->ok(), qPrintable(m_link->error()));
    m_form = ShownTuner();
    SelectModel(4);
    ResetDisplayData();
    Settings.pidRegP = 1234; // differs from the defaults and from the device
    Settings.ID = 4;         // the device's, as a logo dialog reads it
    Settings.profile[0].mode = pmTC;
    Settings.profile[0].flags = pfUseTFR;
    Settings.profile[0].TFR = {11000, 12000, 13000, 14000, 15000};
    ImageHistory().reset({TImageSource::Device, {}});
    m_form->resize(1200, 800);
    m_form->ShowSettings();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void TestUndo::cleanup() {
    m_form.reset();
    m_link.reset();
    Dialogs::reset();
}

void TestUndo::act(int kind) {
    const QString name = kKinds[kind].name;
    if (name == "field") {
        Enter(page()->ProfilePowerTC, "12.3");
    } else if (name == "code list") {
        control<QComboBox>("ComboBox101")->setCurrentIndex(5);
    } else if (name == "switch list") {
        control<QComboBox>("TempUnit")->setCurrentIndex(1);
    } else if (name == "check box") {
        QTest::mouseClick(page()->ProfilePAlt, Qt::LeftButton, {},
                          QPoint(5, page()->ProfilePAlt->height() / 2));
    } else if (name == "track bar drag") {
        auto* bar = control<QSlider>("TrackBar1");
        bar->setSliderDown(true);
        for (int position : {10, 20, 35})
            bar->setSliderPosition(position);
        bar->setSliderDown(false);
    } else if (name == "LED colour") {
        Dialogs::setNextColor(QColor(255, 128, 0));
        QTest::mouseClick(control<TSwatch>("ShapeC2"), Qt::LeftButton);
    } else if (name == "chart point drag") {
        TTfrChartView* chart = page()->TFREditor->ChartTFR;
        QWidget* view = chart->viewport();
        QTest::mousePress(view, Qt::LeftButton, {}, chart->pointPosition(3));
        QTest::mouseMove(view, chart->pointPosition(3) - QPoint(0, 20));
        QTest::mouseMove(view, chart->pointPosition(3) - QPoint(0, 40));
        QTest::mouseRelease(view, Qt::LeftButton, {}, chart->pointPosition(3));
    } else if (name == "Load .CSV") {
        TV2PTable table = GenericBatteryTable();
        table[4][1] = 377;
        QFile csv(file("curve.csv"));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write(FormatBatteryCsv(table));
        csv.close();
        Dialogs::setNextFileName(csv.fileName());
        QTest::mouseClick(m_form->TabBattery->BitBtn1, Qt::LeftButton);
    } else if (name == "Defaults") {
        QTest::mouseClick(page()->TFREditor->BitBtn6, Qt::LeftButton);
    } else if (name == "battery preset") {
        m_form->TabBattery->BattProfile->setCurrentIndex(3);
    } else if (name == "Paste Profile") {
        QTest::mouseClick(page()->CopyProfile, Qt::LeftButton);
        page()->TabControl->setCurrentIndex(2);
        QTest::mouseClick(page()->PasteProfile, Qt::LeftButton);
    } else if (name == "logo Load") {
        QImage picture(128, 64, QImage::Format_RGB32);
        picture.fill(Qt::white);
        picture.setPixel(3, 4, qRgb(0, 0, 0));
        QVERIFY(picture.save(file("logo.png")));
        Dialogs::setNextFileName(file("logo.png"));
        m_form->TabTheme->LoadLogo1Click(0);
    } else if (name == "logo Clear") {
        m_form->TabTheme->ClearLogo1Click(1);
    } else if (name == "Read Resistance") {
        QVERIFY(m_link->emu().setValue("EMU.COIL", "480,21"));
        Dialogs::setNextAnswer(QMessageBox::Ok);
        QTest::mouseClick(page()->ProbeResistance, Qt::LeftButton);
    } else if (name == "New Settings") {
        QVERIFY(NewImage(m_form.get()));
    } else if (name == "Load Settings") {
        TSettings other = DefaultSettings();
        other.profile[4].name = "LOADED";
        SaveSettingsFile(file("other.xml"), other);
        QVERIFY(LoadImage(m_form.get(), file("other.xml")));
    } else if (name == "Download Settings") {
        QVERIFY(m_link->emu().setValue("PPAR[0]", "355,201,301,233"));
        QVERIFY(DownloadImage(m_form.get()));
    }
}

void TestUndo::everyKindOfStep_data() {
    QTest::addColumn<int>("kind");
    for (int kind = 0; kind < int(std::size(kKinds)); ++kind)
        QTest::addRow("%s", kKinds[kind].name) << kind;
}

// Each kind is one step named after what it changed; undo gives back the image (and the
// logo pictures) exactly as before and the window shows it as a new window would; redo
// gives the image after. Nothing reaches Settings behind the history's back.
void TestUndo::everyKindOfStep() {
    QFETCH(int, kind);
    const TSettings before = Settings;
    const TLogoSet logosBefore = LogoImages;
    const int steps = ImageHistory().stack()->count();
    act(kind);
    const TSettings after = Settings;
    const TLogoSet logosAfter = LogoImages;
    QVERIFY(after != before || logosAfter != logosBefore);
    QCOMPARE(ImageHistory().stack()->count(), steps + 1);
    QCOMPARE(Settings, ImageHistory().lastImage());
    QCOMPARE(m_form->UndoAction->text(), QString("Undo %1").arg(kKinds[kind].step));
    CompareWithFreshWindow(*m_form);

    m_link->emu().clearTrace();
    m_form->UndoAction->trigger();
    QVERIFY(m_link->received().isEmpty()); // undo never talks to the device
    QCOMPARE(Settings, before);
    QVERIFY(LogoImages == logosBefore);
    QCOMPARE(m_form->RedoAction->text(), QString("Redo %1").arg(kKinds[kind].step));
    CompareWithFreshWindow(*m_form);

    m_form->RedoAction->trigger();
    QCOMPARE(Settings, after);
    QVERIFY(LogoImages == logosAfter);
    CompareWithFreshWindow(*m_form);
    QCOMPARE(Settings, ImageHistory().lastImage());
}

// Two windows over one image: an edit in one is undone from the other, and both show it.
void TestUndo::undoInAnotherWindow() {
    TTunerForm other;
    other.show();
    other.ShowSettings();
    Enter(other.TabProfiles->ProfilePowerTC, "77.7");
    QCOMPARE(page()->ProfilePowerTC->text(), Local("77.7"));
    QCOMPARE(m_form->UndoAction->text(), QString("Undo TC Power (Profile 1)"));
    m_form->UndoAction->trigger();
    for (const TTunerForm* form : {m_form.get(), &other})
        QCOMPARE(form->TabProfiles->ProfilePowerTC->text(), Local("40.0"));
    QVERIFY(!other.UndoAction->isEnabled());
    QCOMPARE(other.RedoAction->text(), QString("Redo TC Power (Profile 1)"));
}

// A field that differs from the baseline is marked (caption bold with its bar, the tool tip
// and the accessible description name the baseline's value), and so are its page and
// profile tabs and the title. A good upload or save clears the marks; a failed upload keeps
// them; undo after a save shows them again.
void TestUndo::marksFollowTheBaseline() {
    QVERIFY(m_link->emu().setValue("PROF", "0") && m_link->emu().setValue("PMOD[0]", "2"));
    QVERIFY(DownloadImage(m_form.get()));
    QCOMPARE(m_form->windowTitle(), QString("Tuner - device"));
    QLineEdit* power = page()->ProfilePowerTC;
    QLabel* label = nullptr;
    for (QLabel* l : m_form->findChildren<QLabel*>())
        if (l->buddy() == power)
            label = l;
    QVERIFY(label);
    const QString device = power->text();
    QVERIFY(!label->font().bold());
    QVERIFY(m_form->PageControl->tabBar()->tabIcon(0).isNull());

    const auto marked = [&] {
        return label->font().bold() && power->toolTip() == "Device value: " + device &&
               power->accessibleDescription().startsWith("Changed. Device value: " + device) &&
               !m_form->PageControl->tabBar()->tabIcon(0).isNull() &&
               page()->TabControl->accessibleTabName(0) == "Profile 1, changed (1 change)" &&
               page()->TabControl->tabIcon(1).isNull() &&
               m_form->windowTitle() == "Tuner - device - 1 change";
    };
    Enter(power, "99.9");
    QVERIFY(marked());

    TEmuFaults refusing;
    refusing.errorFor = "PPAR[0]";
    m_link->emu().setFaults(refusing);
    Dialogs::setNextAnswer(QMessageBox::Ok);
    QVERIFY(!UploadImage(m_form.get()));
    QCOMPARE(Dialogs::shownMessages().last(), QString("Error"));
    QVERIFY(marked());

    m_link->emu().setFaults(TEmuFaults());
    Dialogs::setNextAnswer(QMessageBox::Ok);
    QVERIFY(UploadImage(m_form.get()));
    QVERIFY(!label->font().bold());
    QVERIFY(power->accessibleDescription().isEmpty());
    QVERIFY(m_form->PageControl->tabBar()->tabIcon(0).isNull());
    QCOMPARE(m_form->windowTitle(), QString("Tuner - device"));

    Enter(power, "88.8");
    Dialogs::setNextFileName(file("saved.xml"));
    Dialogs::setNextAnswer(QMessageBox::Ok);
    QVERIFY(SaveImage(m_form.get()));
    QCOMPARE(m_form->windowTitle(), QString("Tuner - saved.xml"));
    QVERIFY(!label->font().bold());
    m_form->UndoAction->trigger();
    QCOMPARE(m_form->windowTitle(), QString("Tuner - saved.xml - 1 change"));
    QCOMPARE(power->toolTip(), "File value: " + Local("88.8"));
}

QTEST_MAIN(TestUndo)
#include "test_undo.moc"
