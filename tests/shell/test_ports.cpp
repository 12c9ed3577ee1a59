// Port discovery and hot-plug through the main window: a fake sysfs tree whose device nodes
// are symlinks to virtual devices, so that detection, opening, removal and arrival run
// through the real serial code.

#include "emulator/emulator.h"
#include "link/ComPort.h"
#include "settings/actions.h"
#include "settings/models.h"
#include "shell/dialogs.h"
#include "shellfixture.h"
#include "tuner/tuner.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

#include <memory>
#include <unistd.h>

class TestPorts : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void autoOpensTheLastMatch();
    void removalClosesOnlyTheOpenPort();
    void pickingFromTheListConnects();
    void fallbackGivesWayToTheDevice();
    void demoComesBackAfterAnUpdate();
    void softResetBringsTheVirtualDeviceBack();
    void portErrorClosesAndTheNextCommandReopens();
    void unopenableChoice();
    void permissionErrorTellsAboutTheRule();

private:
    std::unique_ptr<TDeviceEmulator> startEmu() {
        auto emu = std::make_unique<TDeviceEmulator>(1);
        if (!emu->start())
            return nullptr;
        return emu;
    }
    std::unique_ptr<ShellGround> m_ground;
    std::unique_ptr<TDeviceEmulator> m_a, m_b;
};

void TestPorts::init() {
    m_ground = std::make_unique<ShellGround>();
    m_a = startEmu();
    m_b = startEmu();
    QVERIFY(m_a && m_b);
}

void TestPorts::cleanup() {
    Dialogs::reset();
    m_a.reset();
    m_b.reset();
    m_ground.reset();
}

void TestPorts::autoOpensTheLastMatch() {
    m_ground->plug("ttyACM0", m_a->slavePath());
    m_ground->plug("ttyUSB0", m_b->slavePath(), "0403", "6001"); // another device
    m_ground->plug("ttyACM1", m_b->slavePath());
    m_ground->writeAppSettings("<Root><General ComPort=\"auto\"/></Root>");
    TMotherForm form(m_ground->options(true));
    QCOMPARE(form.ComPort->DeviceName(), m_ground->devRoot() + "/ttyACM1");
    QVERIFY(form.ComPort->Active());
    QVERIFY(!form.demoActive());
    QCOMPARE(form.ComPorts->currentText(), QString("auto")); // the text as the user left it
    QCOMPARE(form.connectionText(), "Connected: " + m_ground->devRoot() + "/ttyACM1");
    QVERIFY(ReadModel()); // once a transaction has run, the model is known
    QCOMPARE(form.connectionText(), "Connected: " + m_ground->devRoot() + "/ttyACM1 (Dozore 213)");
    QStringList items;
    for (int i = 0; i < form.ComPorts->count(); ++i)
        items << form.ComPorts->itemText(i);
    QCOMPARE(items, QStringList({"Auto", "ttyACM0", "ttyACM1", "ttyUSB0", "Demo"}));
    QVERIFY(Dialogs::shownMessages().isEmpty());
}

void TestPorts::removalClosesOnlyTheOpenPort() {
    m_ground->plug("ttyACM0", m_a->slavePath());
    TMotherForm form(m_ground->options());
    QVERIFY(form.ComPort->Active());
    QCOMPARE(form.hotplugSource(), QString("poll"));
    QVERIFY(ReadModel());
    QVERIFY(form.connectionText().endsWith("(Dozore 213)"));

    m_ground->plug("ttyACM5", m_b->slavePath(), "1a86", "7523");
    m_ground->unplug("ttyACM5"); // some other port comes and goes
    QTest::qWait(150);
    QVERIFY(form.ComPort->Active());

    m_ground->unplug("ttyACM0"); // node and symlink are gone before the event
    QTRY_VERIFY(!form.ComPort->Active());
    QCOMPARE(form.ComPorts->currentText(), QString("Auto"));

    m_ground->plug("ttyACM2", m_b->slavePath()); // back, under another name
    QTRY_VERIFY(form.ComPort->Active());
    QCOMPARE(form.ComPort->DeviceName(), m_ground->devRoot() + "/ttyACM2");
    // The model read from the earlier device is not shown for this one until its "ID" is
    // read; a key press reads no "ID".
    QVERIFY(PressKeys(0, 0, 100));
    QCOMPARE(form.connectionText(), "Connected: " + m_ground->devRoot() + "/ttyACM2");

    // The removal event a kernel source would send names the node itself.
    form.ComPortDeviceRemoved(form.ComPort, m_b->slavePath());
    QVERIFY(!form.ComPort->Active());
    QVERIFY(Dialogs::shownMessages().isEmpty());
}

void TestPorts::pickingFromTheListConnects() {
    TMotherForm form(m_ground->options());
    QVERIFY(!form.ComPort->Active());
    const int demo = form.ComPorts->findText("Demo");
    QVERIFY(demo > 0);
    form.ComPorts->setCurrentIndex(demo);
    QVERIFY(!form.ComPort->Active()); // programmatic change: nothing happens
    form.ComPorts->setCurrentIndex(0);
    // Picked with the mouse from the open list: the list is rebuilt while it answers.
    form.show();
    form.ComPorts->showPopup();
    QAbstractItemView* list = form.ComPorts->view();
    QTRY_VERIFY(list->isVisible());
    const QRect item = list->visualRect(list->model()->index(demo, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    QTRY_VERIFY(form.demoActive());
    QCOMPARE(form.ComPorts->currentText(), QString("Demo"));

    QVERIFY(!form.FirstStartNote->isVisible()); // chosen, not fallen back to

    // Picking Auto without a device: the virtual device is no stand-in, nothing is open.
    emit form.ComPorts->activated(form.ComPorts->findText("Auto"));
    QVERIFY(!form.ComPort->Active());
    QVERIFY(form.demoDevice() == nullptr);
    QCOMPARE(form.connectionText(), QString("No device"));

    // A device arrives while on Demo: the app moves to it as "Auto" would, and says so.
    emit form.ComPorts->activated(form.ComPorts->findText("Demo"));
    QVERIFY(form.demoActive());
    m_ground->plug("ttyACM0", m_a->slavePath());
    QTRY_VERIFY(!form.demoActive());
    QCOMPARE(form.ComPort->DeviceName(), m_ground->devRoot() + "/ttyACM0");
    QCOMPARE(form.ComPorts->currentText(), QString("Auto"));
    QCOMPARE(form.StatusBar->currentMessage(),
             QString("A device was plugged in: switched from the virtual device to ttyACM0"));
    QVERIFY(form.demoDevice() == nullptr);
    QCOMPARE(form.savedChoice(), QString("Auto"));
}

// The very first start without a device opens the virtual device and says so above the
// workspace; the windows that talk to it carry the mark in their titles until a real device
// takes over.
void TestPorts::fallbackGivesWayToTheDevice() {
    TMotherForm form(m_ground->options(true));
    form.show();
    QVERIFY(form.demoActive());
    QCOMPARE(form.ComPorts->currentText(), QString("Demo"));
    QVERIFY(form.connectionText().startsWith("Demo: the built-in virtual device (Zedo Dizerado)"));
    QCOMPARE(form.Connection->text(), form.connectionText());
    QVERIFY(form.FirstStartNote->isVisible());
    QCOMPARE(form.FirstStartNote->text(),
             QString("No device found: this is the built-in virtual device. Choose Auto or a "
                     "port to use a real device."));
    QTest::mouseClick(form.BitBtn4, Qt::LeftButton);
    QWidget* terminal = form.mdiChild("TerminalForm");
    QVERIFY(terminal);
    QCOMPARE(terminal->windowTitle(), QString("Terminal [virtual device]"));
    m_ground->plug("ttyACM0", m_a->slavePath());
    QTRY_VERIFY(!form.demoActive());
    QTRY_COMPARE(terminal->windowTitle(), QString("Terminal"));
    QVERIFY(!form.FirstStartNote->isVisible());
    QCOMPARE(form.ComPort->DeviceName(), m_ground->devRoot() + "/ttyACM0");
    QVERIFY(form.ComPort->Active());
    QCOMPARE(form.ComPorts->currentText(), QString("Auto"));
    QVERIFY(form.demoDevice() == nullptr);
    // Unplugged: the port closes; the virtual device does not come back by itself.
    m_ground->unplug("ttyACM0");
    QTRY_VERIFY(!form.ComPort->Active());
    QCOMPARE(form.ComPorts->currentText(), QString("Auto"));
}

// The updater leaves the virtual device in its boot loader with the port closed; picking
// it again brings it back answering.
void TestPorts::demoComesBackAfterAnUpdate() {
    TMotherForm form(m_ground->options(true));
    QVERIFY(form.demoActive());
    form.ComPort->WriteAnsiLine("BOOT");
    QTRY_VERIFY(form.demoDevice()->inBootLoader());
    form.ComPort->setActive(false);
    emit form.ComPorts->activated(form.ComPorts->findText("Demo"));
    QVERIFY(form.demoActive());
    QVERIFY(!form.demoDevice()->inBootLoader());
    form.ComPort->WriteAnsiLine("VER?");
    QCOMPARE(form.ComPort->ReadAnsiLine(), QByteArray("VER=1.5.1\r"));
}

// A reset closes the port; the virtual device is back at once (a pty sends no arrival).
void TestPorts::softResetBringsTheVirtualDeviceBack() {
    TMotherForm form(m_ground->options());
    emit form.ComPorts->activated(form.ComPorts->findText("Demo"));
    QVERIFY(form.demoActive());
    QVERIFY(SoftResetDevice());
    QVERIFY(!form.ComPort->Active());
    QTRY_VERIFY(form.demoActive());
    QVERIFY(ReadModel());
    QVERIFY(form.connectionText().startsWith("Demo: "));
}

// The device behind a stored port goes away and another takes its place at the same path,
// without a removal notice: the port error closes the port, the status bar and the message
// say what happened, and the next command opens the port again.
void TestPorts::portErrorClosesAndTheNextCommandReopens() {
    m_ground->plug("ttyACM0", m_a->slavePath());
    m_ground->writeAppSettings("<Root><General ComPort=\"ttyACM0\"/></Root>");
    TMotherForm form(m_ground->options());
    QVERIFY(form.ComPort->Active());
    const QString node = m_ground->devRoot() + "/ttyACM0";
    m_a.reset(); // gone; its successor appears behind the same name
    QFile::remove(node);
    QVERIFY(QFile::link(m_b->slavePath(), node));

    TTunerForm tuner;
    Dialogs::setNextAnswer(QMessageBox::Ok);
    tuner.DownloadSettingsClick();
    QVERIFY(!form.ComPort->Active());
    QCOMPARE(Dialogs::shownMessages().size(), 1);
    const QString shown = Dialogs::shownMessages().first();
    QVERIFY2(shown.startsWith("Device lost: the port " + node + " failed (") &&
                 shown.contains("plug it in again"),
             qPrintable(shown));
    QTRY_VERIFY(form.Connection->text().startsWith("Device lost: "));

    tuner.DownloadSettingsClick(); // the next command: open again, on the device now there
    QCOMPARE(Dialogs::shownMessages().size(), 1);
    QVERIFY(form.ComPort->Active());
    QVERIFY(tuner.shown());
    QVERIFY(!m_b->trace().isEmpty());
    QCOMPARE(form.connectionText(), "Connected: " + node + " (Dozore 213)");
}

void TestPorts::unopenableChoice() {
    m_ground->writeAppSettings("<Root><General ComPort=\"ttyNONE\"/></Root>");
    Dialogs::setNextAnswer(QMessageBox::Ok);
    TMotherForm form(m_ground->options());
    const QString expected = "Cannot open communication port!\n" + m_ground->devRoot() +
                             "/ttyNONE: No such file or directory";
    QCOMPARE(Dialogs::shownMessages(), QStringList({expected}));
    QVERIFY(!form.ComPort->Active());
    QCOMPARE(form.connectionText(), QString("No device"));
    // Same name again (an arrival): the same message, naming the port.
    Dialogs::setNextAnswer(QMessageBox::Ok);
    form.ComPort->OnDeviceArrival(form.ComPort, "/dev/whatever");
    QCOMPARE(Dialogs::shownMessages(), QStringList({expected, expected}));
}

void TestPorts::permissionErrorTellsAboutTheRule() {
    if (geteuid() == 0)
        QSKIP("root opens any node");
    const QString node = m_ground->devRoot() + "/ttyACM9";
    QFile file(node);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(file.setPermissions(QFileDevice::Permissions()));
    m_ground->writeAppSettings("<Root><General ComPort=\"ttyACM9\"/></Root>");
    Dialogs::setNextAnswer(QMessageBox::Ok);
    TMotherForm form(m_ground->options());
    QCOMPARE(Dialogs::shownMessages().size(), 1);
    const QString text = Dialogs::shownMessages().at(0);
    QVERIFY(text.startsWith("Cannot open communication port!\n"));
    QVERIFY(text.contains("70-devedazi.rules"));
}

QTEST_MAIN(TestPorts)
#include "test_ports.moc"
