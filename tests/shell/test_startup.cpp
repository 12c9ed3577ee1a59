// Start-up and shutdown of the main window on a temporary base folder: the working folders,
// the default settings file, the application settings, the fall-back to the virtual device,
// and start-up steps that fail without stopping the others.

#include "emulator/emulator.h"
#include "link/ComPort.h"
#include "link/transport.h"
#include "settings/settings.h"
#include "settings/settingsfile.h"
#include "shell/dialogs.h"
#include "shell/paths.h"
#include "shell/progressbar.h"
#include "shellfixture.h"

#include <QAction>
#include <QComboBox>
#include <QtTest>

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { Dialogs::reset(); }
    void firstStartOnCleanBase();
    void storedChoiceAndSave();
    void demoFallbackKeepsTheChoice();
    void failingStepsDoNotStopTheStart();
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
    QCOMPARE(Dialogs::shownMessages(), QStringList({"Cannot open communication port!"}));
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
    QVERIFY(!shown.at(0).isEmpty() && !shown.at(1).isEmpty());
    QCOMPARE(form->windowTitle(), QString("DEVedazi v1.5.1"));
    QCOMPARE(ProfileClipboard.flags, -1);
    QCOMPARE(form->ComPorts->currentText(), QString()); // the choice was never loaded
    delete form;
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
