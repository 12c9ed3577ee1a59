// Nothing unsaved is replaced or closed silently: each question comes only with something
// to lose, names it, defaults to "Cancel", and "Cancel" keeps everything; an end by a
// signal keeps the changes in the recovery file, which the next start offers; and the
// keyboard habits: the Edit menu, Ctrl+N/O/S/Q, F1, Recent Files.

#include "emulator/emulator.h"
#include "monitor/monitorrows.h"
#include "monitor/ui/monitorform.h"
#include "settings/history.h"
#include "settings/settingsfile.h"
#include "shell/dialogs.h"
#include "shell/paths.h"
#include "shell/recentfiles.h"
#include "shellfixture.h"
#include "tuner/imagecommands.h"
#include "tuner/profilespage.h"
#include "tuner/tuner.h"

#include <QAction>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

class TestQuestions : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void settingsQuestionsOnlyWithChanges();
    void closingTheLastTunerWindow();
    void monitorSessionAndUpdater();
    void recoveryAfterASignal();
    void keyboardHabitsAndRecentFiles();

private:
    void start(bool demo = false) {
        if (!m_ground)
            m_ground = std::make_unique<ShellGround>();
        m_form = std::make_unique<TMotherForm>(m_ground->options(demo));
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }
    TTunerForm* tuner(const QString& name = "TunerForm") const {
        return qobject_cast<TTunerForm*>(m_form->mdiChild(name));
    }
    int windows() const { return int(m_form->MdiArea->subWindowList().size()); }
    // An edit in the Tuner window: one change.
    void edit(const QString& value = "12.3") {
        QLineEdit* field = tuner()->TabProfiles->ProfilePowerVW;
        field->setText(value);
        QVERIFY(ImageHistory().hasChanges());
    }
    // The question asked last: its buttons, the default, and the text's start.
    void asked(const QStringList& buttons, const QString& start) {
        QVERIFY(!Dialogs::offeredChoices().isEmpty());
        QCOMPARE(Dialogs::offeredChoices().last(), buttons);
        QCOMPARE(Dialogs::defaultChoices().last(), buttons.last());
        QVERIFY2(Dialogs::shownMessages().last().startsWith(start),
                 qPrintable(Dialogs::shownMessages().last()));
    }
    std::unique_ptr<ShellGround> m_ground;
    std::unique_ptr<TMotherForm> m_form;
};

void TestQuestions::cleanup() {
    m_form.reset();
    m_ground.reset();
    Dialogs::reset();
}

const QStringList kOffline = {"Save...", "Discard", "Cancel"};
const QStringList kOnline = {"Save...", "Upload", "Discard", "Cancel"};

// New, Load and Download ask only with changes; Cancel keeps image and windows; "Save..."
// and "Upload" keep the changes first and go on.
void TestQuestions::settingsQuestionsOnlyWithChanges() {
    start(true); // the virtual device: "Upload" is offered
    m_form->MenuNewSettings->trigger();
    QVERIFY(Dialogs::offeredChoices().isEmpty());
    QCOMPARE(windows(), 1);
    edit();
    const TSettings edited = Settings;
    for (QAction* command : {m_form->MenuNewSettings, m_form->MenuLoadSsettings}) {
        Dialogs::setNextChoice("Cancel");
        command->trigger();
        QCOMPARE(Settings, edited);
        QCOMPARE(windows(), 1);
    }
    asked(kOnline, "Loading other settings would lose 1 change that no save or upload has "
                   "kept:\nProfile 1: VW Power");
    Dialogs::setNextChoice("Cancel");
    QTest::mouseClick(tuner()->DownloadSettings, Qt::LeftButton);
    asked(kOnline, "Downloading the device's settings would lose 1 change");
    QCOMPARE(Settings, edited);

    const QString file = SettingsFolder() + "/kept.xml";
    Dialogs::setNextChoice("Save...");
    Dialogs::setNextFileName(file);
    Dialogs::setNextAnswer(QMessageBox::Ok); // "Done"
    m_form->MenuNewSettings->trigger();
    TSettings saved;
    QVERIFY(LoadSettingsFile(file, saved, TFileUse::ReadOnly).isEmpty());
    QCOMPARE(saved.profile[0].powerVW, 123);
    QCOMPARE(Settings.profile[0].powerVW, 400); // then the new image
    QCOMPARE(windows(), 2);

    edit("33.3");
    Dialogs::setNextChoice("Upload");
    Dialogs::setNextAnswer(QMessageBox::Ok); // "Done"
    QTest::mouseClick(tuner()->DownloadSettings, Qt::LeftButton);
    QCOMPARE(m_form->demoDevice()->value("PPAR[0]").split(',').value(1), QByteArray("333"));
    QCOMPARE(Settings.profile[0].powerVW, 333); // downloaded back
    QCOMPARE(tuner()->windowTitle(), QString("Tuner - device [virtual device]"));
}

// Closing a Tuner window asks only when it is the last one and changes would be lost;
// "Discard" puts the image back to its baseline, as a step Edit > Undo takes back.
// Quitting asks the same way.
void TestQuestions::closingTheLastTunerWindow() {
    start();
    m_form->MenuNewSettings->trigger();
    m_form->MenuNewSettings->trigger();
    edit();
    m_form->MdiArea->subWindowList().first()->close();
    QVERIFY(Dialogs::offeredChoices().isEmpty());
    QTRY_COMPARE(windows(), 1);
    QMdiSubWindow* last = m_form->MdiArea->subWindowList().first();
    Dialogs::setNextChoice("Cancel");
    last->close();
    asked(kOffline, "Closing the Tuner would lose 1 change");
    QVERIFY(last->isVisible());
    Dialogs::setNextChoice("Cancel");
    m_form->close();
    asked(kOffline, "Quitting would lose 1 change");
    QVERIFY(m_form->isVisible() && last->isVisible());
    QCOMPARE(Settings.profile[0].powerVW, 123);

    Dialogs::setNextChoice("Discard");
    last->close();
    QCOMPARE(Settings.profile[0].powerVW, 400);
    QCOMPARE(m_form->MenuUndo->text(), QString("Undo Discard Changes"));
    m_form->MenuUndo->trigger();
    QCOMPARE(Settings.profile[0].powerVW, 123);
    Dialogs::setNextChoice("Discard");
    QVERIFY(m_form->close());
}

// The Monitor asks before an unsaved session goes; the Updater names what it closes and
// what would be lost, and goes on only when agreed to.
void TestQuestions::monitorSessionAndUpdater() {
    start();
    QTest::mouseClick(m_form->BitBtn2, Qt::LeftButton);
    auto* monitor = qobject_cast<TMonitorForm*>(m_form->mdiChild("MonitorForm"));
    QVERIFY(monitor);
    for (int i = 0; i < 2; ++i) {
        TMonitorSample sample;
        sample.time = QDateTime::currentMSecsSinceEpoch();
        monitor->AddSample(sample);
    }
    Dialogs::setNextChoice("Cancel");
    monitor->parentWidget()->close();
    QCOMPARE(Dialogs::offeredChoices().last(), QStringList({"Save .CSV...", "Discard", "Cancel"}));
    QVERIFY(Dialogs::shownMessages().last().startsWith("Closing the Monitor would lose 2 polls"));
    QVERIFY(monitor->isVisible());

    m_form->MenuNewSettings->trigger();
    edit();
    Dialogs::setNextChoice("Cancel");
    QTest::mouseClick(m_form->BitBtn3, Qt::LeftButton);
    QCOMPARE(Dialogs::shownMessages().last(),
             QString("Opening the Updater closes the Tuner and the Monitor.\nLost would be the "
                     "Monitor's 2 polls that no file holds.\nThe settings' unsaved changes stay "
                     "in the editor: 1 change (File > Save Settings keeps them)."));
    QCOMPARE(windows(), 2);
    const qsizetype questions = Dialogs::offeredChoices().size();
    Dialogs::setNextChoice("Close and Open the Updater");
    QTest::mouseClick(m_form->BitBtn3, Qt::LeftButton);
    QCOMPARE(Dialogs::offeredChoices().size(), questions + 1); // one question, not three
    QVERIFY(m_form->mdiChild("UpdaterForm") && !m_form->mdiChild("MonitorForm"));
    QCOMPARE(Settings.profile[0].powerVW, 123);
}

// A signal ends the session without a question and keeps the changes; the next start
// offers them; a normal end removes the file.
void TestQuestions::recoveryAfterASignal() {
    start();
    const QString kept = TMotherForm::RecoveryFolder() + "/unsaved.xml";
    m_form->MenuNewSettings->trigger();
    QVERIFY(!QFile::exists(kept));
    edit();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(kept), 3000);
    m_form->endBySignal();
    QVERIFY(Dialogs::offeredChoices().isEmpty());
    QVERIFY(!m_form->isVisible());
    QVERIFY(QFile::exists(kept));
    m_form.reset();

    Settings = DefaultSettings();
    Dialogs::setNextChoice("Restore");
    start();
    QVERIFY2(Dialogs::shownMessages().value(0).startsWith("Restore 1 unsaved change from "),
             qPrintable(Dialogs::shownMessages().value(0)));
    QCOMPARE(Settings.profile[0].powerVW, 123);
    QVERIFY(tuner());
    QCOMPARE(tuner()->windowTitle(), QString("Tuner - new - 1 change"));
    QCOMPARE(tuner()->TabProfiles->ProfilePowerVW->text(), QLocale().toString(12.3, 'f', 1));
    Dialogs::setNextChoice("Discard");
    QVERIFY(m_form->close());
    QVERIFY(!QFile::exists(kept));
}

void TestQuestions::keyboardHabitsAndRecentFiles() {
    QLocale::setDefault(QLocale::c());
    start();
    QCOMPARE(m_form->MenuNewSettings->shortcut(), QKeySequence("Ctrl+N"));
    QCOMPARE(m_form->MenuLoadSsettings->shortcut(), QKeySequence("Ctrl+O"));
    QCOMPARE(m_form->MenuSaveSettings->shortcut(), QKeySequence("Ctrl+S"));
    QCOMPARE(m_form->MenuExit->shortcut(), QKeySequence("Ctrl+Q"));
    QCOMPARE(m_form->ManualEn->shortcut(), QKeySequence(Qt::Key_F1));
    QCOMPARE(m_form->MenuUndo->shortcuts(), QList<QKeySequence>({QKeySequence("Ctrl+Z")}));
    QCOMPARE(m_form->MenuRedo->shortcuts(),
             QList<QKeySequence>({QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")}));

    TRecentFiles::instance().clear();
    const QString a = SettingsFolder() + "/a.xml", b = SettingsFolder() + "/b.xml";
    m_form->MenuNewSettings->trigger();
    Dialogs::setNextFileName(a);
    Dialogs::setNextAnswer(QMessageBox::Ok);
    m_form->MenuSaveSettings->trigger();
    SaveSettingsFile(b, DefaultSettings());
    Dialogs::setNextFileName(b);
    m_form->MenuLoadSsettings->trigger();
    const auto entries = [this] {
        QStringList texts;
        for (QAction* action : m_form->MenuRecentFiles->actions())
            texts << action->text();
        return texts;
    };
    QCOMPARE(entries(), QStringList({"&1 b.xml", "&2 a.xml"}));
    QVERIFY(QFile::remove(b));
    emit m_form->MenuRecentFiles->aboutToShow();
    QCOMPARE(entries(), QStringList({"&1 a.xml"}));
    QVERIFY(LastNote().startsWith("No longer found, removed from Recent Files: "));
    m_form->MenuRecentFiles->actions().first()->trigger();
    QCOMPARE(tuner("TunerForm_2")->windowTitle(), QString("Tuner - a.xml"));
    QVERIFY(m_form->close());
    m_form.reset(); // the application settings are written as the window goes
    QVERIFY(m_ground->readFile("settings.xml").contains("File1=\"" + a.toUtf8() + "\""));
}

QTEST_MAIN(TestQuestions)
#include "test_questions.moc"
