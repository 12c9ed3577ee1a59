#pragma once
// One running instance per user. The first start listens on a local socket named
// "DEVedazi_mutex" plus the user's name, in the user's runtime folder when there is one
// (XDG_RUNTIME_DIR); a later start connects to it, asks the first to
// bring its window back, and ends. A socket left behind by a crashed run answers nobody,
// so it is removed and taken over.

#include <QObject>
#include <QString>

class QLocalServer;

class TSingleInstance : public QObject {
    Q_OBJECT
public:
    explicit TSingleInstance(const QString& name = DefaultName(), QObject* parent = nullptr);
    ~TSingleInstance() override;

    static QString DefaultName();

    // True when this process is the first instance (it now listens); false when another
    // one answered and has been asked to show its window.
    bool claim();

signals:
    void restoreRequested(); // a second start asked for the window

private:
    void acceptConnections();
    bool askRunningInstance();

    QString m_name;
    QLocalServer* m_server = nullptr;
};
