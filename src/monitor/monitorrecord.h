#pragma once
// A recording: the monitor CSV written while the polls come in. Each row goes to the file
// in one write as soon as its poll is taken, so a crash or a kill keeps every row written
// up to then, and the file always ends with a whole row. A write that fails (a full disk,
// a file-size limit) is taken back to the last whole row and ends the recording with the
// system's reason; the rows written before stay.

#include <QElapsedTimer>
#include <QString>

struct TMonitorSample;

class TMonitorRecorder {
public:
    TMonitorRecorder() = default;
    ~TMonitorRecorder();
    TMonitorRecorder(const TMonitorRecorder&) = delete;
    TMonitorRecorder& operator=(const TMonitorRecorder&) = delete;

    // Starts a file holding the header. An existing file is refused, unless replace: then
    // the new file (header written) takes its place in one step, so the old one stays
    // whole until the new one exists. False with Error() saying why.
    bool Start(const QString& path, bool replace = false);
    // One row; false (and the recording ended) when it could not be written whole.
    bool Append(const TMonitorSample& sample);
    void Stop(); // ends a recording; what was written stays

    bool active() const { return m_fd >= 0; }
    const QString& path() const { return m_path; }
    qsizetype rows() const { return m_rows; } // rows in the file, the header not counted
    // "Cannot write <path>: <reason>" (or "Cannot record to ...") after a failure.
    const QString& Error() const { return m_error; }

    // The file is synced to the disk at most this often, and when the recording ends: a
    // power cut loses at most that much, a crash of the program nothing.
    static constexpr int SyncMs = 1000;

private:
    bool WriteLine(const QByteArray& line);
    bool Fail(int error);

    int m_fd = -1;
    QString m_path;
    qsizetype m_rows = 0;
    qint64 m_bytes = 0; // of whole lines
    QString m_error;
    QElapsedTimer m_synced;
};
