// The windows as a user sees them, on the virtual device: the main window with its
// product picture, the terminal in use, the About window, the updater during a run. With
// DEVEDAZI_SHOTS set to a folder, the pictures are saved there as PNG files for a look by eye.

#include "settings/history.h"
#include "shell/about.h"
#include "shell/connectioncheck.h"
#include "shell/dialogs.h"
#include "shell/terminal.h"
#include "shellfixture.h"
#include "tuner/modpage.h"
#include "tuner/profilespage.h"
#include "tuner/tuner.h"
#include "updater/updater.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

class TestLook : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { Dialogs::reset(); }
    void windowsOnTheVirtualDevice();
    void changeMarksAndTheEditMenu();
    void theQuestionAsShown();

private:
    static void keep(const QPixmap& picture, const QString& name) {
        const QString dir = qEnvironmentVariable("DEVEDAZI_SHOTS");
        if (!dir.isEmpty())
            picture.save(dir + "/" + name);
    }
};

void TestLook::windowsOnTheVirtualDevice() {
    ShellGround ground;
    TMotherForm form(ground.options(true));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.ComPorts->currentText(), QString("Demo"));

    // The first start says above the workspace that it opened the virtual device.
    QVERIFY(form.FirstStartNote->isVisible());
    QVERIFY(form.FirstStartNote->geometry().bottom() <
            form.MdiArea->geometry().top() + form.centralWidget()->y());
    // The product picture sits at the top right of the empty workspace.
    const QPixmap empty = form.grab();
    keep(empty, "main.png");
    const QPoint logo = form.Logo->mapTo(&form, form.Logo->rect().center());
    QVERIFY(logo.x() > form.width() - 200);
    QVERIFY(empty.toImage().pixelColor(logo) !=
            empty.toImage().pixelColor(logo.x() - 300, logo.y()));

    // The connection check, without a device: every finding wraps in the window's width.
    form.MenuConnectionCheck->trigger();
    auto* check = form.findChild<TConnectionCheckForm*>();
    QVERIFY(check && QTest::qWaitForWindowExposed(check));
    QVERIFY(check->Findings->horizontalScrollBar()->maximum() == 0);
    keep(check->grab(), "connectioncheck.png");
    check->close();

    QTest::mouseClick(form.BitBtn4, Qt::LeftButton);
    auto* terminal = qobject_cast<TTerminalForm*>(form.mdiChild("TerminalForm"));
    QVERIFY(terminal);
    QCOMPARE(terminal->windowTitle(), QString("Terminal [virtual device]"));
    for (const char* command : {"ver?", "id?", "pnam[0]?"}) {
        QTest::keyClicks(terminal->Command, command);
        QTest::keyClick(terminal->Command, Qt::Key_Return);
    }
    QTest::keyClicks(terminal->Command, "volt?");
    QCOMPARE(terminal->Memo->toPlainText().split('\n').mid(0, 4),
             QStringList({"VER?", "VER=1.5.1", "ID?", "ID=4"}));
    keep(form.grab(), "terminal.png");

    form.AboutForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.AboutForm));
    QCOMPARE(form.AboutForm->AppName->text(), QString("DEVedazi v1.5.1 build 135"));
    keep(form.AboutForm->grab(), "about.png");
    form.AboutForm->close();

    // The updater replaces the terminal; a tool's output fills its memo and its bar the
    // progress bar while it runs.
    Dialogs::setNextChoice("Close and Open the Updater");
    QTest::mouseClick(form.BitBtn3, Qt::LeftButton);
    QVERIFY(!form.mdiChild("TerminalForm"));
    auto* updater = qobject_cast<TUpdaterForm*>(form.mdiChild("UpdaterForm"));
    QVERIFY(updater);
    updater->Memo->appendPlainText("Entering DFU Mode...");
    QTimer::singleShot(400, this, [&] { keep(form.grab(), "updater.png"); });
    updater->RunToolToMemo(
        "/bin/sh",
        {"-c", "printf 'dfu-util 0.11\n\nOpening DFU capable USB device...\n'; printf "
               "'\rDownload\t[=========                ]  36%%        86016 bytes'; sleep 1"},
        updater->Memo);
    QCOMPARE(updater->Memo->toPlainText().split('\n').mid(0, 3),
             QStringList(
                 {"Entering DFU Mode...", "dfu-util 0.11", "Opening DFU capable USB device..."}));
}

// Edits show as marks on their captions, tabs and the title; the Edit menu names the step
// it undoes.
void TestLook::changeMarksAndTheEditMenu() {
    ShellGround ground;
    TMotherForm form(ground.options(true));
    form.resize(1280, 900);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    auto* tuner = qobject_cast<TTunerForm*>(form.mdiChild("TunerForm"));
    QVERIFY(tuner && tuner->shown());
    TProfilesPage* page = tuner->TabProfiles;
    page->ProfileName->setText("MINE");
    page->ProfilePAlt->click();
    page->ProfileMode->setCurrentIndex(pmVW);
    page->ProfilePowerVW->setText("55.5");
    QCoreApplication::processEvents();
    QCOMPARE(tuner->windowTitle(), QString("Tuner - device - 3 changes [virtual device]"));
    keep(form.grab(), "tuner-marks.png");
    tuner->PageControl->setCurrentWidget(tuner->TabGeneral);
    tuner->findChild<QComboBox*>("TempUnit")->setCurrentIndex(1);
    tuner->findChild<QLineEdit*>("PidRegP")->setText("777");
    QCoreApplication::processEvents();
    keep(tuner->grab(), "tuner-marks-mod.png");
    tuner->PageControl->setCurrentIndex(5); // Battery: a changed curve frames its chart
    ImageHistory().change("Discharge Curve", [](TSettings& s) { s.v2p[5][1] += 20; });
    QCoreApplication::processEvents();
    keep(tuner->grab(), "tuner-marks-battery.png");

    QMenu* edit = form.findChild<QMenu*>("MenuEdit");
    QVERIFY(edit);
    QCOMPARE(edit->actions().value(0)->text(), QString("Undo Discharge Curve"));
    QVERIFY(!edit->actions().value(1)->isEnabled());
    form.MenuUndo->trigger();
    QCOMPARE(edit->actions().value(0)->text(), QString("Undo Regulator P"));
    QCOMPARE(edit->actions().value(1)->text(), QString("Redo Discharge Curve"));
    edit->popup(form.mapToGlobal(QPoint(60, 20)));
    QVERIFY(QTest::qWaitForWindowExposed(edit));
    keep(edit->grab(), "edit-menu.png");
    edit->close();
}

// The real box behind Dialogs::choose: Return presses the default ("Cancel"), and Escape
// answers it too.
void TestLook::theQuestionAsShown() {
    const QStringList buttons = {"Save...", "Upload", "Discard", "Cancel"};
    QString shownDefault;
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        QVERIFY(QTest::qWaitForWindowExposed(box));
        shownDefault = box->defaultButton() ? box->defaultButton()->text() : QString();
        keep(box->grab(), "question.png");
        QTest::keyClick(box, Qt::Key_Escape);
    });
    const int answer =
        Dialogs::choose(nullptr, QMessageBox::Warning, "Unsaved Changes",
                        "Loading other settings would lose 3 changes that no save or upload "
                        "has kept:\nProfile 1: VW Power, Temp. Unit, Regulator P",
                        buttons, 3, 3);
    QCOMPARE(answer, 3);
    QCOMPARE(shownDefault, QString("Cancel"));
}

QTEST_MAIN(TestLook)
#include "test_look.moc"
