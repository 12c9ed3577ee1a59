// The default error display: errors that no handler catches reach a message box with their
// text and the program goes on.

#include "link/ComPort.h"
#include "settings/XMLSettings.h"
#include "shell/application.h"
#include "shell/dialogs.h"

#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <stdexcept>

class TestApplication : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { Dialogs::reset(); }
    void uncaughtErrorsAreShown();
};

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
