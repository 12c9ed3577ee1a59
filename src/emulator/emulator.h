#pragma once
// The virtual device: a stateful device that speaks the line protocol on the master side
// of a pseudo-terminal. It runs its own thread, so the app's blocking transport can talk
// to it from the thread that created it.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

struct TEmuTraceEntry {
    qint64 nsecs = 0;      // monotonic clock, nanoseconds
    bool received = false; // true: a line the device received; false: a line it sent
    QByteArray line;       // without the line ending
};

struct TEmuFaults {
    bool echo = false;       // echo every request line before the answer
    bool crlf = false;       // end answers with CR LF instead of CR
    bool lfBefore = false;   // send a LF before each answer
    bool noise = false;      // send an unrelated line before each answer
    QByteArray errorFor;     // answer "ERROR" to this parameter name
    QByteArray malformedFor; // answer this parameter with malformedValue
    QByteArray malformedValue;
    int silentAfter = -1;    // answer nothing after this many requests (-1: never)
    int busyCount = 0;       // answer "BUSY" this many times before each screen line
    int answerDelayMs = 0;   // wait before each answer
    int disappearAfter = -1; // close the pty after this many requests (-1: never)
    bool babble = false;     // send bytes without end and without CR instead of answering
};

class TDeviceEmulatorPrivate;

class TDeviceEmulator {
public:
    explicit TDeviceEmulator(int modelId = 1, const QByteArray& version = "1.5.1");
    ~TDeviceEmulator();
    TDeviceEmulator(const TDeviceEmulator&) = delete;
    TDeviceEmulator& operator=(const TDeviceEmulator&) = delete;

    bool start(QString* error = nullptr); // open the pty and serve it on a thread
    void stop();
    bool running() const;
    QString slavePath() const;              // the pty the app opens
    bool makeLink(const QString& linkPath); // a stable symlink to slavePath()

    int modelId() const;

    // The device's state, thread-safe. value() answers as "NAME?" would (the text after
    // "="), or an empty array for an unknown name.
    QByteArray value(const QByteArray& name) const;
    // Sets a value from the host side: like a write over the wire, but read-only values are
    // settable too ("VER"; "ID" switches the model; "PRT" also becomes the simulated coil),
    // as are the values behind the scenes: "EMU.COIL" (the coil's cold resistance in milliohm
    // and its temperature) and "EMU.CHARGE" (the cells' charge in 0.01 %).
    bool setValue(const QByteArray& name, const QByteArray& text);
    QStringList parameterNames() const; // every readable name, in catalogue order
    void resetToDefaults();             // the factory image (as "SRST")

    // Faults: set before or while serving. The request counts of silentAfter and
    // disappearAfter start at each setFaults().
    void setFaults(const TEmuFaults& faults);
    TEmuFaults faults() const;

    // Every line that crossed the wire (in memory the last 100000 to 200000 of them).
    QList<TEmuTraceEntry> trace() const;
    void clearTrace();
    bool setTraceFile(const QString& path);

    // State file: start from a saved image, write the image back.
    bool loadState(const QString& path, QString* error = nullptr);
    bool saveState(const QString& path, QString* error = nullptr) const;

    // After "BOOT" the device sits in its boot loader and answers nothing until it leaves.
    bool inBootLoader() const;
    void leaveBootLoader();

private:
    std::unique_ptr<TDeviceEmulatorPrivate> d;
};
