// One instance per user: a second start asks the first to bring its window back and ends;
// a socket left by a crashed run does not block the next start.

#include "shell/singleinstance.h"
#include "shellfixture.h"

#include <QDir>
#include <QSignalSpy>
#include <QtTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void secondStartRestoresTheFirst();
    void staleSocketIsTakenOver();
    void nameCarriesTheUser();

private:
    static QString uniqueName() {
        return QStringLiteral("DEVedazi_test_%1").arg(QCoreApplication::applicationPid());
    }
};

void TestSingleInstance::secondStartRestoresTheFirst() {
    ShellGround ground;
    TMotherForm form(ground.options());
    form.showMinimized();
    QVERIFY(form.isMinimized());

    TSingleInstance first(uniqueName());
    QVERIFY(first.claim());
    connect(&first, &TSingleInstance::restoreRequested, &form, &TMotherForm::restoreWindow);
    QSignalSpy spy(&first, &TSingleInstance::restoreRequested);

    TSingleInstance second(uniqueName());
    QVERIFY(!second.claim());
    QTRY_COMPARE(spy.count(), 1);
    QVERIFY(!form.isMinimized());
    QVERIFY(form.isVisible());
}

void TestSingleInstance::staleSocketIsTakenOver() {
    const QString name = uniqueName() + "_stale";
    const QByteArray path = (QDir::tempPath() + "/" + name).toLocal8Bit();
    // What a killed instance leaves behind: a socket file nobody listens on.
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(fd >= 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    qstrncpy(addr.sun_path, path.constData(), sizeof addr.sun_path);
    unlink(path.constData());
    QVERIFY(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0);
    close(fd);
    QVERIFY(QFile::exists(QString::fromLocal8Bit(path)));

    TSingleInstance next(name);
    QVERIFY(next.claim());
    TSingleInstance another(name);
    QVERIFY(!another.claim()); // the new owner answers
}

void TestSingleInstance::nameCarriesTheUser() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("XDG_RUNTIME_DIR");
    const QString name = TSingleInstance::DefaultName();
    QVERIFY(name.startsWith("DEVedazi_mutex"));
    QVERIFY(name.size() > QString("DEVedazi_mutex").size());

    // With a runtime folder the socket lies there, out of other users' reach.
    QTemporaryDir dir;
    qputenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit());
    QCOMPARE(TSingleInstance::DefaultName(), dir.path() + "/" + name);
    TSingleInstance first;
    QVERIFY(first.claim());
    QVERIFY(QFileInfo::exists(dir.path() + "/" + name));
    QVERIFY(!TSingleInstance().claim());
    if (runtime.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", runtime);
}

QTEST_MAIN(TestSingleInstance)
#include "test_singleinstance.moc"
