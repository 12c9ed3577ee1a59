#pragma once
// End-to-end helpers for the command-line tool: the virtual device as a process of its own
// (devedazi-emu), runs of devedazi-cli, and independent readers for what they leave behind
// (the device's trace and state files, XML through python3, pictures through ImageMagick).

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

inline QString BuiltProgram(const char* name) {
    return qEnvironmentVariable("DEVEDAZI_BUILD_DIR") + QStringLiteral("/src/") +
           QString::fromLatin1(name);
}

// For initTestCase: both programs these tests run must have been built.
inline void RequireBuiltPrograms() {
    QVERIFY2(QFile::exists(BuiltProgram("devedazi-cli")) &&
                 QFile::exists(BuiltProgram("devedazi-emu")),
             "build the targets devedazi-cli and devedazi-emu first");
}

// devedazi-emu with a trace file and a state file in a private folder. The state file is
// written by the emulator when it is stopped.
class TEmuProcess {
public:
    explicit TEmuProcess(const QStringList& options = {}, const QByteArray& initialState = {}) {
        m_trace = m_dir.filePath(QStringLiteral("trace.txt"));
        m_state = m_dir.filePath(QStringLiteral("state.txt"));
        if (!initialState.isEmpty()) {
            QFile f(m_state);
            if (f.open(QIODevice::WriteOnly))
                f.write(initialState);
        }
        m_proc.start(BuiltProgram("devedazi-emu"), QStringList{QStringLiteral("--trace"), m_trace,
                                                               QStringLiteral("--state"), m_state} +
                                                       options);
        QElapsedTimer clock;
        clock.start();
        while (!m_proc.canReadLine() && m_proc.state() != QProcess::NotRunning &&
               clock.elapsed() < 10000)
            m_proc.waitForReadyRead(50);
        m_pty = QString::fromLocal8Bit(m_proc.readLine()).trimmed();
    }
    ~TEmuProcess() { stop(); }
    TEmuProcess(const TEmuProcess&) = delete;
    TEmuProcess& operator=(const TEmuProcess&) = delete;

    bool ok() const { return !m_pty.isEmpty(); }
    QString pty() const { return m_pty; }
    qint64 pid() const { return m_proc.processId(); }
    QString errors() { return QString::fromLocal8Bit(m_proc.readAllStandardError()); }

    void stop() {
        if (m_proc.state() == QProcess::NotRunning)
            return;
        m_proc.terminate();
        if (!m_proc.waitForFinished(10000)) {
            m_proc.kill();
            m_proc.waitForFinished(5000);
        }
    }

    // Non-empty lines the device received, in order.
    QStringList received() const {
        QStringList lines;
        QFile f(m_trace);
        if (!f.open(QIODevice::ReadOnly))
            return lines;
        const QList<QByteArray> all = f.readAll().split('\n');
        for (const QByteArray& line : all) {
            const QList<QByteArray> parts = line.split(' ');
            const QByteArray text = line.mid(parts.at(0).size() + 4).trimmed();
            if (parts.size() >= 3 && parts.at(1) == "RX" && !text.isEmpty())
                lines.append(QString::fromLatin1(text));
        }
        return lines;
    }
    // Received lines that write a parameter ("NAME=...").
    QStringList writes() const {
        QStringList lines;
        const QStringList all = received();
        for (const QString& l : all)
            if (l.contains(QLatin1Char('=')))
                lines.append(l);
        return lines;
    }
    // The device's image after stop(): parameter name -> value text.
    QMap<QString, QString> state() {
        stop();
        QMap<QString, QString> values;
        QFile f(m_state);
        if (!f.open(QIODevice::ReadOnly))
            return values;
        const QList<QByteArray> all = f.readAll().split('\n');
        for (const QByteArray& line : all) {
            const qsizetype eq = line.indexOf('=');
            if (eq > 0 && !line.startsWith('#'))
                values.insert(QString::fromLatin1(line.left(eq)),
                              QString::fromLatin1(line.mid(eq + 1)).trimmed());
        }
        return values;
    }

private:
    QTemporaryDir m_dir;
    QString m_trace, m_state, m_pty;
    QProcess m_proc;
};

struct TRun {
    int code = -1;
    QString out;
    QString err;
};

// Runs a program to its end with stdin from /dev/null; `prepare` may set up the process
// further before it starts.
inline TRun RunProgram(const QString& program, const QStringList& args,
                       const QStringList& extraEnv = {}, int timeoutMs = 60000,
                       const std::function<void(QProcess&)>& prepare = {}) {
    QProcess p;
    if (prepare)
        prepare(p);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& e : extraEnv)
        env.insert(e.section(QLatin1Char('='), 0, 0), e.section(QLatin1Char('='), 1));
    p.setProcessEnvironment(env);
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(program, args);
    TRun r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.err = QStringLiteral("(timed out)");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err += QString::fromUtf8(p.readAllStandardError());
    return r;
}

inline TRun RunCli(const QStringList& args, const QStringList& extraEnv = {}) {
    return RunProgram(BuiltProgram("devedazi-cli"), args, extraEnv);
}

// A run against the emulator's pty.
inline TRun RunCliOn(const TEmuProcess& emu, const QStringList& args) {
    return RunCli(QStringList{QStringLiteral("--port"), emu.pty()} + args);
}

// Every attribute of a settings file as "Section.key" -> value, read by python3's parser.
inline QMap<QString, QString> XmlAttributes(const QString& path) {
    const TRun r = RunProgram(QStringLiteral("python3"),
                              {QStringLiteral("-c"),
                               QStringLiteral("import sys, xml.etree.ElementTree as E\n"
                                              "for s in E.parse(sys.argv[1]).getroot():\n"
                                              "    for k, v in s.attrib.items():\n"
                                              "        print(s.tag + '.' + k + '\\t' + v)\n"),
                               path});
    QMap<QString, QString> values;
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines)
        values.insert(line.section(QLatin1Char('\t'), 0, 0), line.section(QLatin1Char('\t'), 1));
    return values;
}

// ImageMagick's view of a picture: "FORMAT WIDTHxHEIGHT MEAN" (mean brightness 0..1).
inline QString PictureInfo(const QString& path, const QString& crop = {}) {
    QStringList args{path};
    if (!crop.isEmpty())
        args << QStringLiteral("-crop") << crop;
    args << QStringLiteral("-format") << QStringLiteral("%m %wx%h %[fx:mean]")
         << QStringLiteral("info:");
    return RunProgram(QStringLiteral("/usr/bin/convert"), args).out.trimmed();
}

inline bool WriteText(const QString& path, const QByteArray& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Entries of a folder, hidden ones (temporary files) included.
inline QStringList FolderEntries(const QString& path) {
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}
