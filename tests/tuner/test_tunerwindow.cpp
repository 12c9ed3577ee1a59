// The Tuner window inside the main window: "Tuner" downloads at once when the port is open;
// the settings menu commands take the value that is still being typed.

#include "emulator/emulator.h"
#include "link/ComPort.h"
#include "settings/settingsfile.h"
#include "shell/paths.h"
#include "shell/shellfixture.h"
#include "tunertest.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTabWidget>

#include <ctime>

class TestTunerWindow : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void tunerButtonDownloadsWhenThePortIsOpen();
    void menuCommandsTakeTheValueBeingTyped();

private:
    TTunerForm* tuner(const QString& name = "TunerForm") const {
        return qobject_cast<TTunerForm*>(m_form->mdiChild(name));
    }
    std::unique_ptr<ShellGround> m_ground;
    std::unique_ptr<TMotherForm> m_form;
};

void TestTunerWindow::cleanup() {
    m_form.reset();
    m_ground.reset();
    Dialogs::reset();
}

void TestTunerWindow::tunerButtonDownloadsWhenThePortIsOpen() {
    m_ground = std::make_unique<ShellGround>();
    m_form = std::make_unique<TMotherForm>(m_ground->options(true)); // the virtual device
    m_form->resize(1280, 900);
    m_form->show();
    QVERIFY(m_form->ComPort->Active());
    QVERIFY(!m_form->MenuSaveSettings->isEnabled());
    // Against the device's trace (same clock): the window's own time before the download's
    // first request and after its last answer.
    const auto nowNs = [] {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
    };
    m_form->demoDevice()->clearTrace();
    const qint64 clickNs = nowNs();
    QTest::mouseClick(m_form->BitBtn1, Qt::LeftButton);
    QCoreApplication::processEvents();
    const qint64 shownNs = nowNs();
    const auto trace = m_form->demoDevice()->trace();
    QVERIFY(!trace.isEmpty());
    std::vector<qint64> runs; // ShowSettings of another profile each time, painted
    for (int i = 0; i < 9; ++i) {
        Settings.curProfile = i % ProfileCount;
        const qint64 start = nowNs();
        tuner()->ShowSettings();
        QCoreApplication::processEvents();
        runs.push_back(nowNs() - start);
    }
    std::sort(runs.begin(), runs.end());
    qInfo("Tuner click to pages shown: %.1f ms; before the first request %.1f ms, after the "
          "last answer %.1f ms (the last read's 10 ms pause included); ShowSettings with its "
          "repaint, median %.2f ms",
          double(shownNs - clickNs) / 1e6, double(trace.first().nsecs - clickNs) / 1e6,
          double(shownNs - trace.last().nsecs) / 1e6, double(runs[4]) / 1e6);
    QVERIFY(Dialogs::shownMessages().isEmpty());
    QVERIFY(tuner()->PageControl->isVisible() && tuner()->UploadSettings->isEnabled());
    QCOMPARE(tuner()->TabProfiles->Model->text(), ModInfo.name);
    QVERIFY(m_form->MenuSaveSettings->isEnabled());
}

// A menu takes no focus, so "Save Settings" must let the field being typed in commit first.
void TestTunerWindow::menuCommandsTakeTheValueBeingTyped() {
    m_ground = std::make_unique<ShellGround>();
    m_form = std::make_unique<TMotherForm>(m_ground->options(false));
    m_form->show();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    m_form->MenuNewSettings->trigger();
    TProfilesPage* page = tuner()->TabProfiles;
    page->ProfilePowerVW->setFocus();
    QVERIFY(page->ProfilePowerVW->hasFocus());
    TypeInto(page->ProfilePowerVW, "12.3");
    const QString file = SettingsFolder() + "/typed.xml";
    Dialogs::setNextFileName(file);
    Dialogs::setNextAnswer(QMessageBox::Ok);
    m_form->MenuSaveSettings->trigger();
    TSettings saved;
    QVERIFY(LoadSettingsFile(file, saved).isEmpty());
    QCOMPARE(saved.profile[0].powerVW, 123);
    QVERIFY(page->ProfilePowerVW->hasFocus()); // typing goes on where it was

    TypeInto(page->ProfilePowerVW, "45.6"); // committed before the question about it
    Dialogs::setNextChoice("Discard");
    m_form->MenuNewSettings->trigger();
    QVERIFY(Dialogs::shownMessages().last().startsWith(
        "New settings would lose 1 change that no save or upload has kept:\nProfile 1: VW Power"));
    page->ProfileMode->setFocus(); // leaving the old field later stores nothing
    QCOMPARE(Settings.profile[0].powerVW, 400);
    QCOMPARE(tuner("TunerForm_1")->TabProfiles->ProfilePowerVW->text(), Local("40.0"));
}

QTEST_MAIN(TestTunerWindow)
#include "test_tunerwindow.moc"
