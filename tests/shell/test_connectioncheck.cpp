// "Help > Connection Check..." in the main window, on the fake roots of the shell tests: the
// findings for the port the window has open, the offer to install the udev rule through
// pkexec (a stand-in on the search path), and the encoding choice of the Options menu.

#include "emulator/emulator.h"
#include "link/ComPort.h"
#include "link/devicetext.h"
#include "settings/datafolder.h"
#include "shell/connectioncheck.h"
#include "shell/dialogs.h"
#include "shellfixture.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QtTest>

#include <unistd.h>

class TestConnectionCheck : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        Dialogs::reset();
        SetDeviceEncoding(TDeviceEncoding::Western);
    }
    void checkFromTheHelpMenu();
    void encodingChoiceIsKept();
};

void TestConnectionCheck::checkFromTheHelpMenu() {
    ShellGround ground;
    TDeviceEmulator emu(1);
    QVERIFY(emu.start());
    ground.plug("ttyACM0", emu.slavePath());
    const TMotherOptions options = ground.options();
    // This process holds the node it has open (as /proc shows it).
    const QString fd = QStringLiteral("%1/%2/fd").arg(options.procRoot).arg(getpid());
    QVERIFY(QDir().mkpath(fd));
    QVERIFY(QFile::link(ground.devRoot() + "/ttyACM0", fd + "/5"));
    QTemporaryDir bin;
    QFile pkexec(bin.filePath("pkexec"));
    QVERIFY(pkexec.open(QIODevice::WriteOnly));
    pkexec.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$FAKE_PKEXEC_ARGS\"\n");
    pkexec.close();
    QVERIFY(pkexec.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit() + ":" + path);
    qputenv("FAKE_PKEXEC_ARGS", bin.filePath("args").toLocal8Bit());

    TMotherForm form(options);
    QVERIFY(form.ComPort->Active());
    form.MenuConnectionCheck->trigger();
    auto* check = form.findChild<TConnectionCheckForm*>();
    QVERIFY(check && check->isVisible());
    QCOMPARE(check->Summary->text(), QString("The device can be used."));
    const QString text = check->Findings->toPlainText();
    QVERIFY2(text.contains("OK: The device is connected: USB 0483:5740, serial port ttyACM0"),
             qPrintable(text));
    QVERIFY(text.contains(ground.devRoot() + "/ttyACM0 is open in this program."));
    QVERIFY(text.contains("Warning: The udev rule 70-devedazi.rules is not installed"));
    QVERIFY(check->reportText().startsWith("ok: The device is connected"));

    // pkexec is there and the rule is missing: the window installs it.
    QVERIFY(!check->InstallRule->isHidden());
    QTest::mouseClick(check->InstallRule, Qt::LeftButton);
    QFile args(bin.filePath("args"));
    QVERIFY(args.open(QIODevice::ReadOnly));
    const QString ruleFile = DataPath("70-devedazi.rules");
    QCOMPARE(QString::fromLocal8Bit(args.readAll()).split('\n', Qt::SkipEmptyParts),
             QStringList(RuleInstallArguments(ruleFile)));
    QFile rule(ruleFile);
    QVERIFY(rule.open(QIODevice::ReadOnly));
    QCOMPARE(rule.readAll(), UdevRuleText());
    QVERIFY(check->Findings->toPlainText().startsWith("The udev rule is installed."));

    form.MenuConnectionCheck->trigger(); // the same window again
    QCOMPARE(form.findChildren<TConnectionCheckForm*>().size(), 1);
    qputenv("PATH", path);
}

// Options > Device text encoding: applied at once, kept in settings.xml, back at the next start.
void TestConnectionCheck::encodingChoiceIsKept() {
    ShellGround ground;
    {
        TMotherForm form(ground.options());
        QVERIFY(form.MenuEncodingWestern->isChecked());
        form.MenuEncodingCyrillic->trigger();
        QCOMPARE(DeviceEncoding(), TDeviceEncoding::Cyrillic);
        QVERIFY(ground.readFile("settings.xml").contains("DeviceTextEncoding=\"Windows-1251\""));
    }
    SetDeviceEncoding(TDeviceEncoding::Western);
    TMotherForm form(ground.options());
    QCOMPARE(DeviceEncoding(), TDeviceEncoding::Cyrillic);
    QVERIFY(form.MenuEncodingCyrillic->isChecked() && !form.MenuEncodingWestern->isChecked());
}

QTEST_MAIN(TestConnectionCheck)
#include "test_connectioncheck.moc"
