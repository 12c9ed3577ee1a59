#include "shell/singleinstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {
constexpr int kConnectMs = 500;
constexpr int kAnswerMs = 1000;
const QByteArray kRestore = "restore\n";
const QByteArray kDone = "ok\n";
} // namespace

TSingleInstance::TSingleInstance(const QString& name, QObject* parent)
    : QObject(parent), m_name(name) {}

TSingleInstance::~TSingleInstance() = default;

QString TSingleInstance::DefaultName() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = QString::number(getuid());
    const QString name = QStringLiteral("DEVedazi_mutex") + user;
    // In the user's own runtime folder nobody else can put a socket of that name first (in
    // the shared /tmp another user could, and every start would then end at once).
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable())
        return QDir(runtime).filePath(name);
    return name;
}

bool TSingleInstance::claim() {
    if (askRunningInstance())
        return false;
    QLocalServer::removeServer(m_name); // nobody answered: whatever is left is stale
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name))
        return true; // can't guard, but this start must not be lost
    connect(m_server, &QLocalServer::newConnection, this, &TSingleInstance::acceptConnections);
    return true;
}

bool TSingleInstance::askRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kConnectMs))
        return false;
    socket.write(kRestore);
    socket.waitForBytesWritten(kAnswerMs);
    // The running instance confirms; a listener that never answers is still a listener.
    socket.waitForReadyRead(kAnswerMs);
    return true;
}

void TSingleInstance::acceptConnections() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine() == kRestore) {
                emit restoreRequested();
                socket->write(kDone);
            }
            socket->disconnectFromServer();
        });
    }
}
