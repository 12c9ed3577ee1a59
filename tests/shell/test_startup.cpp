// Start-up and shutdown of the main window on a temporary base folder: the working folders,
// the default settings file, the application settings, the fall-back to the virtual device,
// and start-up steps that fail without stopping the others.

#include "emulator/emulator.h"
#include "link/ComPort.h"
#include "link/transport.h"
#include "settings/models.h"
#include "settings/settings.h"
#include "settings/settingsfile.h"
#include "shell/dialogs.h"
#include "shell/paths.h"
#include "shell/progressbar.h"
#include "shellfixture.h"
#include "tuner/profilespage.h"
#include "tuner/tuner.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { Dialogs::reset(); }
    void firstStartOnCleanBase();
    void storedChoiceAndSave();
    void demoFallbackKeepsTheChoice();
    void autoWithoutDeviceAcrossARestart();
    void failingStepsDoNotStopTheStart();
    void savedChoiceIsTheUsersLastRealOne();
    void progressIsMirrored();
};

void TestStartup::firstStartOnCleanBase() {
    ShellGround ground;
    ProfileClipboard.flags = 5;
    auto* form = new TMotherForm(ground.options());
    QCOMPARE(form->windowTitle(), QString("DEVedazi v1.5.1"));
    QCOMPARE(form->ComPorts->currentText(), QString("Auto"));
    QVERIFY(!form->ComPort->Active());
    QCOMPARE(ProfileClipboard.flags, -1);
    QVERIFY(!form->MenuSaveSettings->isEnabled());
    QCOMPARE(MotherForm, form);
    QCOMPARE(ComPort, form->ComPort);
    for (const QString& folder : WorkingFolders())
        QVERIFY2(QDir(ground.dataDir() + "/" + folder).exists(), qPrintable(folder));
    // The firmware dialog opens inside the folder of whichever model answers.
    for (const TMod& model : KnownModels())
        QVERIFY2(QDir(ground.dataDir() + "/Firmware/" + ModelFolder(model.ID)).exists(),
                 qPrintable(model.name));
    QVERIFY(Dialogs::shownMessages().isEmpty());

    // default.xml holds every key: it equals a fresh save of the default image.
    const QString fresh = ground.dataDir() + "/fresh.xml";
    SaveSettingsFile(fresh, DefaultSettings());
    QCOMPARE(ground.readFile("Profiles/Settings/default.xml"), ground.readFile("fresh.xml"));
    QCOMPARE(Settings, DefaultSettings());

    delete form;
    QVERIFY(MotherForm == nullptr && ComPort == nullptr);
    const QByteArray ini = ground.readFile("settings.xml");
    QVERIFY2(ini.contains("<General ComPort=\"Auto\""), ini.constData());
}

void TestStartup::storedChoiceAndSave() {
    ShellGround ground;
    ground.writeAppSettings("<?xml version=\"1.0\"?>\n<Conf><Other keep=\"1\"/>"
                            "<General ComPort=\"ttyUSB7\"/></Conf>\n");
    // The stored port can't be opened: told once, the start goes on.
    Dialogs::setNextAnswer(QMessageBox::Ok);
    auto* form = new TMotherForm(ground.options());
    QCOMPARE(form->ComPorts->currentText(), QString("ttyUSB7"));
    QCOMPARE(Dialogs::shownMessages(),
             QStringList({"Cannot open communication port!\n" + ground.devRoot() +
                          "/ttyUSB7: No such file or directory"}));
    QCOMPARE(form->windowTitle(), QString("DEVedazi v1.5.1"));
    form->ComPorts->setEditText("ttyACM3"); // typed, not picked: no connection attempt
    QCOMPARE(Dialogs::shownMessages().size(), 1);
    delete form;
    const QByteArray ini = ground.readFile("settings.xml");
    QVERIFY2(ini.contains("ComPort=\"ttyACM3\"") && ini.contains("<Other keep=\"1\""),
             ini.constData());
}

void TestStartup::demoFallbackKeepsTheChoice() {
    ShellGround ground;
    auto* form = new TMotherForm(ground.options(true));
    QCOMPARE(form->ComPorts->currentText(), QString("Demo"));
    QVERIFY(form->ComPort->Active());
    QVERIFY(form->demoActive());
    QCOMPARE(form->demoDevice()->modelId(), 4);
    QVERIFY(Dialogs::shownMessages().isEmpty());
    delete form;
    QVERIFY(ground.readFile("settings.xml").contains("ComPort=\"Auto\""));
}

// The first start falls back to the virtual device; the second finds settings.xml and, with
// no device, opens nothing: "Auto" and "No device", and no device command reports "Done".
void TestStartup::autoWithoutDeviceAcrossARestart() {
    ShellGround ground;
    delete new TMotherForm(ground.options(true));
    QVERIFY(ground.readFile("settings.xml").contains("ComPort=\"Auto\""));

    TMotherForm form(ground.options(true));
    QCOMPARE(form.ComPorts->currentText(), QString("Auto"));
    QVERIFY(!form.ComPort->Active());
    QVERIFY(form.demoDevice() == nullptr);
    QVERIFY(!form.firstStartDemo());
    QCOMPARE(form.connectionText(), QString("No device"));
    QTRY_COMPARE(form.Connection->text(), QString("No device"));
    QVERIFY(Dialogs::shownMessages().isEmpty());

    form.MenuNewSettings->trigger(); // a Tuner with its pages, so that every command is there
    auto* tuner = qobject_cast<TTunerForm*>(form.mdiChild("TunerForm"));
    QVERIFY(tuner);
    QCOMPARE(tuner->windowTitle(), QString("Tuner - new")); // no virtual device mark
    const QList<std::function<void()>> commands = {
        [&] { tuner->DownloadSettingsClick(); }, [&] { tuner->UploadSettingsClick(); },
        [&] { tuner->SoftResetClick(); }, [&] { tuner->RstSettingsClick(); },
        [&] { tuner->TabProfiles->ProbeResistanceClick(); }};
    for (const auto& command : commands) {
        Dialogs::setNextAnswer(QMessageBox::Cancel);
        command();
    }
    QCOMPARE(Dialogs::shownMessages(),
             QStringList(commands.size(), "No compatible USB device is connected"));
    QVERIFY(!form.ComPort->Active());
}

void TestStartup::failingStepsDoNotStopTheStart() {
    ShellGround ground;
    QDir().mkpath(ground.dataDir() + "/Profiles/Settings");
    QFile bad(ground.dataDir() + "/Profiles/Settings/default.xml");
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("<Root><unclosed>");
    bad.close();
    ground.writeAppSettings("not xml at all <");
    for (int i = 0; i < 3; ++i)
        Dialogs::setNextAnswer(QMessageBox::Ok);
    auto* form = new TMotherForm(ground.options());
    const QStringList shown = Dialogs::shownMessages();
    QCOMPARE(shown.size(), 2); // default.xml, then settings.xml
    QVERIFY(!shown.at(0).isEmpty());
    // The broken settings.xml is named; the port choice falls back to "Auto".
    QVERIFY2(shown.at(1).contains(ground.dataDir() + "/settings.xml"), qPrintable(shown.at(1)));
    QCOMPARE(form->windowTitle(), QString("DEVedazi v1.5.1"));
    QCOMPARE(ProfileClipboard.flags, -1);
    QCOMPARE(form->ComPorts->currentText(), QString("Auto"));
    delete form; // no second message at exit: a good file is written, the old text kept
    QCOMPARE(Dialogs::shownMessages().size(), 2);
    QVERIFY(ground.readFile("settings.xml").contains("<General ComPort=\"Auto\""));
    QCOMPARE(ground.readFile("settings.xml.bad"), QByteArray("not xml at all <"));
}

// settings.xml keeps what the user last chose or typed; "Demo", picked or fallen back to,
// lasts for the session only.
void TestStartup::savedChoiceIsTheUsersLastRealOne() {
    ShellGround ground;
    const auto savedAfter = [&](const std::function<void(TMotherForm&)>& act) {
        auto* form = new TMotherForm(ground.options(true));
        act(*form);
        delete form;
        const QByteArray ini = ground.readFile("settings.xml");
        const qsizetype at = ini.indexOf("ComPort=\"") + 9;
        return QString::fromUtf8(ini.mid(at, ini.indexOf('"', at) - at));
    };
    // First start falls back to Demo; a port name typed afterwards is what is kept.
    QCOMPARE(savedAfter([](TMotherForm& form) {
                 QVERIFY(form.demoActive());
                 form.ComPorts->lineEdit()->selectAll();
                 QTest::keyClicks(form.ComPorts->lineEdit(), "ttyACM7");
             }),
             QString("ttyACM7"));
    // Picking Demo from the list is not kept.
    Dialogs::setNextAnswer(QMessageBox::Ok); // ttyACM7 can't be opened
    QCOMPARE(savedAfter([](TMotherForm& form) {
                 emit form.ComPorts->activated(form.ComPorts->findText("Demo"));
                 QVERIFY(form.demoActive());
             }),
             QString("ttyACM7"));
    // "Demo" typed into the box is no choice to keep either.
    Dialogs::setNextAnswer(QMessageBox::Ok);
    QCOMPARE(savedAfter([](TMotherForm& form) {
                 form.ComPorts->lineEdit()->selectAll();
                 QTest::keyClicks(form.ComPorts->lineEdit(), "Demo");
             }),
             QString("ttyACM7"));
    // A "Demo" kept by an older version is read as "Auto": a real device is looked for, and
    // without one nothing opens (only the very first start falls back).
    ground.writeAppSettings("<Root><General ComPort=\"Demo\"/></Root>");
    QCOMPARE(savedAfter([](TMotherForm& form) {
                 QCOMPARE(form.ComPorts->currentText(), QString("Auto"));
                 QVERIFY(!form.ComPort->Active());
                 QCOMPARE(form.savedChoice(), QString("Auto"));
             }),
             QString("Auto"));
    // Back to Auto, then Demo: Auto stays, so a device plugged in later takes over.
    Dialogs::setNextAnswer(QMessageBox::Ok);
    QCOMPARE(savedAfter([](TMotherForm& form) {
                 emit form.ComPorts->activated(form.ComPorts->findText("Auto"));
                 emit form.ComPorts->activated(form.ComPorts->findText("Demo"));
                 QCOMPARE(form.savedChoice(), QString("Auto"));
             }),
             QString("Auto"));
    QVERIFY(Dialogs::shownMessages().size() <= 3);
}

void TestStartup::progressIsMirrored() {
    ShellGround ground;
    TMotherForm form(ground.options());
    form.show();
    ::ProgressBar().SetMax(96);
    ::ProgressBar().SetPosition(0);
    ::ProgressBar().StepIt();
    ::ProgressBar().StepIt();
    QCOMPARE(form.ProgressBar->position(), 2);
    QCOMPARE(form.ProgressBar->maximum(), 96);
    const QImage before = form.ProgressBar->grab().toImage();
    ::ProgressBar().SetPosition(90);
    QVERIFY(form.ProgressBar->grab().toImage() != before);
    ::ProgressBar().SetPosition(0);
}

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
