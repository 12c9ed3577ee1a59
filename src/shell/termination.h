#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the GUI thread, so that a session
// ending or a Ctrl+C in the starting terminal closes the main window in order (the
// application settings are saved, the port is closed). Nobody is there to answer a
// question then: the main window keeps unsaved changes in its recovery file instead.

#include <QObject>

class QSocketNotifier;

class TTerminationWatch : public QObject {
    Q_OBJECT
public:
    explicit TTerminationWatch(QObject* parent = nullptr);
    ~TTerminationWatch() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();
    QSocketNotifier* m_notifier = nullptr;
};
