// The default error display: errors that no handler catches reach a message box with their
// text and the program goes on.

#include "link/ComPort.h"
#include "settings/XMLSettings.h"
#include "shell/application.h"
#include "shell/dialogs.h"
#include "shell/termination.h"

#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <stdexcept>

class TestApplication : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { Dialogs::reset(); }
    void uncaughtErrorsAreShown();
    void terminationSignalsArriveOnTheEventLoop();
};

void TestApplication::terminationSignalsArriveOnTheEventLoop() {
    QList<int> received;
    {
        TTerminationWatch watch;
        connect(&watch, &TTerminationWatch::terminationRequested, this,
                [&](int number) { received.append(number); });
        QVERIFY(::raise(SIGTERM) == 0); // would end the test program without the watch
        QVERIFY(::raise(SIGINT) == 0);
        QTRY_COMPARE(received, (QList<int>{SIGTERM, SIGINT}));

        TTerminationWatch second; // one per process: the second one stays inert
        QVERIFY(::raise(SIGHUP) == 0);
        QTRY_COMPARE(received.size(), 3);
    }
    struct sigaction current {};
    sigaction(SIGTERM, nullptr, &current);
    QVERIFY(current.sa_handler == SIG_DFL); // the defaults are back
}

void TestApplication::uncaughtErrorsAreShown() {
    QVERIFY(qobject_cast<TApplication*>(qApp));
    for (int i = 0; i < 3; ++i)
        Dialogs::setNextAnswer(QMessageBox::Ok);
    QTimer::singleShot(0, [] { throw EComError(EIO, "Input/output error"); });
    QTimer::singleShot(0, [] { throw EXMLSettingsError("bad file"); });
    QTimer::singleShot(0, [] { throw std::runtime_error("boom"); });
    QTRY_COMPARE(Dialogs::shownMessages().size(), 3);
    QCOMPARE(Dialogs::shownMessages(), QStringList({"Input/output error", "bad file", "boom"}));

    // A port refused for lack of permission says how to get access.
    const QString text = ErrorText(EComError(EACCES, "Permission denied"));
    QVERIFY(text.startsWith("Permission denied\n"));
    QVERIFY(text.contains("70-devedazi.rules"));
}

int main(int argc, char* argv[]) {
    TApplication app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_application.moc"
