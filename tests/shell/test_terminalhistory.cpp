// The terminal's history, completion and log commands: Up/Down order with the typed draft
// kept, the history read back by a new window (and cleaned, capped, never written over a
// broken settings file), Tab completion from the protocol's names, "Clear" and "Save Log...".

#include "common/emulink.h"
#include "settings/XMLSettings.h"
#include "shell/dialogs.h"
#include "shell/shellfixture.h"
#include "shell/terminal.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

namespace {

void Send(TTerminalForm& form, const QString& typed) {
    form.Command->clear();
    QTest::keyClicks(form.Command, typed);
    QTest::keyClick(form.Command, Qt::Key_Return);
}

// The command line after each key.
QStringList Walk(TTerminalForm& form, const QList<Qt::Key>& keys) {
    QStringList shown;
    for (Qt::Key key : keys) {
        QTest::keyClick(form.Command, key);
        shown.append(form.Command->text());
    }
    return shown;
}

QString Completed(TTerminalForm& form, const QString& typed) {
    form.Command->clear();
    QTest::keyClicks(form.Command, typed);
    QTest::keyClick(form.Command, Qt::Key_Tab);
    return form.Command->text();
}

} // namespace

class TestTerminalHistory : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { Dialogs::reset(); }

    void upDownAndRestart() {
        ShellGround ground;
        ground.writeAppSettings("<Root><General ComPort=\"Auto\"/></Root>");
        {
            TTerminalForm form; // no port: lines are only logged, and remembered
            form.show();
            for (const char* line : {"ver?", "id?", "id?", "", "prof?"})
                Send(form, line);
            QCOMPARE(form.history().entries(), (QStringList{"VER?", "ID?", "PROF?"}));
            QTest::keyClicks(form.Command, "pp"); // a draft, kept while walking
            QCOMPARE(Walk(form, {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down,
                                 Qt::Key_Down, Qt::Key_Down, Qt::Key_Down}),
                     (QStringList{"PROF?", "ID?", "VER?", "VER?", "ID?", "PROF?", "PP", "PP"}));
            Send(form, "vEr?"); // the same as an older one: newest again
            QCOMPARE(Walk(form, {Qt::Key_Up, Qt::Key_Up}), (QStringList{"VER?", "PROF?"}));
        }
        TTerminalForm again; // a new window (a new run) reads the history back
        again.show();
        QCOMPARE(Walk(again, {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up}),
                 (QStringList{"VER?", "PROF?", "ID?", "VER?"}));
        const TXMLSettings ini(ground.dataDir() + "/settings.xml");
        QCOMPARE(ini.ReadString("General", "ComPort", ""), QString("Auto")); // kept
        QCOMPARE(ini.ReadInteger("TerminalHistory", "Count", 0), 4);
    }

    void cappedAndCleaned() {
        ShellGround ground;
        ground.writeAppSettings("<Root><TerminalHistory Count=\"4\" Command1=\"ver?\" "
                                "Command2=\"VER?&#13;BOOT\" Command3=\"\" Command4=\"" +
                                QByteArray(300, 'x') + "\"/></Root>");
        TTerminalForm form;
        // Lower case, control characters and overlong lines never reach the command line.
        QCOMPARE(form.history().entries(), (QStringList{"VER?", "VER?BOOT", QString(255, 'X')}));
        for (int i = 0; i < 205; ++i)
            Send(form, QStringLiteral("PPAR[%1]?").arg(i));
        QCOMPARE(form.history().entries().size(), TCommandHistory::MaxEntries);
        QCOMPARE(form.history().entries().first(), QString("PPAR[5]?"));
        QCOMPARE(form.history().entries().last(), QString("PPAR[204]?"));
        TTerminalForm again;
        QCOMPARE(again.history().entries(), form.history().entries());

        // A settings file that is not well-formed is neither read nor written over.
        const QByteArray broken = "<Root><General ComPort=\"Auto\"></Root>";
        ground.writeAppSettings(broken);
        TTerminalForm third;
        QVERIFY(third.history().entries().isEmpty());
        Send(third, "VER?");
        QCOMPARE(ground.readFile("settings.xml"), broken);
    }

    void tabCompletesParameterNames() {
        ShellGround ground;
        EmuLink link(1);
        QVERIFY2(link.ok(), qPrintable(link.error()));
        TTerminalForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.Command->setFocus();
        QCOMPARE(Completed(form, "ppa"), QString("PPAR["));
        QCOMPARE(Completed(form, "brt"), QString("BRTM["));
        QCOMPARE(Completed(form, "LOG"), QString("LOGO["));
        QCOMPARE(Completed(form, "VER?"), QString("VER?")); // past the name: nothing
        QCOMPARE(Completed(form, "QQ"), QString("QQ"));
        QVERIFY(form.Command->hasFocus()); // Tab did not move the focus

        // The completed name is sent as typed on: upper case, one line.
        QCOMPARE(Completed(form, "ppa"), QString("PPAR["));
        QTest::keyClicks(form.Command, "0]?");
        QTest::keyClick(form.Command, Qt::Key_Return);
        QCOMPARE(link.received(), QList<QByteArray>{"PPAR[0]?"});
        QVERIFY(form.Memo->toPlainText().startsWith("PPAR[0]?\nPPAR[0]="));

        // Several names: the list opens; choosing with Return completes and sends nothing.
        QCOMPARE(Completed(form, "pp"), QString("PP"));
        QAbstractItemView* list = form.completer()->popup();
        QVERIFY(list->isVisible());
        QCOMPARE(list->model()->rowCount(), 2);
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(form.Command->text(), QString("PPRE["));
        QVERIFY(!list->isVisible());
        QCOMPARE(link.received().size(), 1);
    }

    void clearAndSaveLog() {
        ShellGround ground;
        EmuLink link(4);
        QVERIFY(link.ok());
        TTerminalForm form;
        Send(form, "id?");
        QCOMPARE(form.Memo->toPlainText(), QString("ID?\nID=4"));
        QTemporaryDir dir;
        const QString file = dir.filePath("log.txt");
        Dialogs::setNextFileName(file);
        form.SaveLog->click();
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("ID?\nID=4\n"));
        QCOMPARE(FolderEntriesCount(dir.path()), 1); // no temporary file left behind

        Dialogs::setNextFileName(dir.filePath("missing/log.txt"));
        Dialogs::setNextAnswer(QMessageBox::Ok);
        form.SaveLog->click();
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        QVERIFY(Dialogs::shownMessages().first().startsWith("Cannot write "));

        form.ClearLog->click();
        QCOMPARE(form.Memo->toPlainText(), QString());
        Send(form, "ver?"); // the first line again, not after an empty one
        QCOMPARE(form.Memo->toPlainText(), QString("VER?\nVER=1.5.1"));
    }

private:
    static int FolderEntriesCount(const QString& path) {
        return int(
            QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size());
    }
};

QTEST_MAIN(TestTerminalHistory)
#include "test_terminalhistory.moc"
