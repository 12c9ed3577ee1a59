// The bash completion of devedazi-cli, run by bash with bash-completion loaded, the way
// readline calls it (COMP_WORDS, COMP_CWORD, COMP_LINE, COMP_POINT), on a folder of files
// and a /dev of its own. What it must offer is taken from devedazi-cli --help, so a
// command added to the program is checked too.

#include "packaging/usagetext.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const char* const BashCompletion = "/usr/share/bash-completion/bash_completion"; // the driver's

// Runs every line through the completion in one bash; line -> the words offered.
QMap<QString, QStringList> Complete(const QStringList& lines, const QString& work,
                                    const QString& devRoot, QString* registration) {
    QProcess bash;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("COMPLETION", SourcePath("packaging/bash-completion/devedazi-cli"));
    env.insert("PROGRAM", BuildPath("src/devedazi-cli"));
    env.insert("WORK", work);
    env.insert("DEVEDAZI_DEV_ROOT", devRoot);
    bash.setProcessEnvironment(env);
    bash.start("bash",
               {"--norc", "--noprofile", SourcePath("tests/packaging/completion-driver.bash")});
    bash.write((lines.join('\n') + '\n').toUtf8());
    bash.closeWriteChannel();
    bash.waitForFinished(60000);
    const QStringList out = QString::fromUtf8(bash.readAllStandardOutput()).split('\n');
    if (bash.exitCode() != 0)
        qWarning() << bash.readAllStandardError();
    QMap<QString, QStringList> offered;
    QString current;
    for (const QString& line : out) {
        if (line.startsWith("@@"))
            offered.insert(current = line.mid(2), {});
        else if (!current.isNull() && !line.isEmpty())
            offered[current].append(line);
        else if (current.isNull() && line.startsWith("complete "))
            *registration = line;
    }
    return offered;
}

QStringList Sorted(QStringList list) {
    list.sort();
    list.removeDuplicates();
    return list;
}

} // namespace

class TestCompletion : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_work, m_dev;
    TUsageText m_usage;

    // What a placeholder must bring: files, folders, ports or nothing; checked on the
    // files of the work folder (mod.xml, notes.txt, Shot.PNG and the folder sub).
    void checkOffers(const QString& line, const QString& placeholder, const QStringList& got) {
        const QString where = "\"devedazi-cli " + line + "\" (" + placeholder + ")";
        QStringList expected;
        if (placeholder == "PORT")
            expected = {"auto", m_dev + "/serial/by-id/usb-Box_Mod-if00", m_dev + "/ttyACM0",
                        m_dev + "/ttyACM1"};
        else if (placeholder.contains("DIR"))
            expected = {"sub"};
        else if (placeholder.startsWith("FILE.")) // folders, and files with that extension
            expected =
                QStringList{"sub"} +
                QStringList{"mod.xml", "notes.txt", "Shot.PNG"}.filter(QRegularExpression(
                    "\\." + placeholder.mid(5) + "$", QRegularExpression::CaseInsensitiveOption));
        else if (placeholder.contains("FILE") || placeholder.startsWith("FIRMWARE"))
            expected = {"Shot.PNG", "mod.xml", "notes.txt", "sub"};
        QVERIFY2(Sorted(got) == Sorted(expected),
                 qPrintable(where + " offers [" + got.join(' ') + "], not [" + expected.join(' ') +
                            "]"));
    }

private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable("bash").isEmpty() || !QFile::exists(BashCompletion))
            QSKIP("bash or bash-completion is not installed");
        QVERIFY(m_dir.isValid());
        m_work = m_dir.filePath("work");
        m_dev = m_dir.filePath("dev");
        QVERIFY(QDir().mkpath(m_work + "/sub") && QDir().mkpath(m_dev + "/serial/by-id"));
        for (const QString& file :
             {m_work + "/mod.xml", m_work + "/notes.txt", m_work + "/Shot.PNG", m_dev + "/ttyACM0",
              m_dev + "/ttyACM1", m_dev + "/ttyS0", m_dev + "/serial/by-id/usb-Box_Mod-if00"}) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        m_usage = ParseUsage(RunHelp(BuildPath("src/devedazi-cli")));
        QVERIFY(m_usage.commands.size() >= 16);
    }

    // Every command, its options and the values they take, as --help lists them.
    void completesWhatTheUsageTextLists() {
        QStringList lines{" "}, firstWords;
        for (const TUsageCommand& c : std::as_const(m_usage.commands)) {
            const QStringList words = c.name.split(' ');
            firstWords.append(words.first());
            lines << words.first().left(words.first().size() - 1); // "inf" -> info
            for (qsizetype n = 1; n < words.size(); ++n)           // "logos " -> download
                lines << QStringList(words.mid(0, n)).join(' ') + ' ';
            lines << c.name + ' ' << c.name + " --";
            for (auto it = c.values.cbegin(); it != c.values.cend(); ++it)
                lines << c.name + ' ' + it.key() + ' ';
        }
        QString registration;
        const QMap<QString, QStringList> offered = Complete(lines, m_work, m_dev, &registration);
        QCOMPARE(registration, "complete -F _devedazi_cli devedazi-cli");
        QCOMPARE(Sorted(offered.value(" ")), Sorted(firstWords));
        QStringList globalLong = m_usage.global.options.filter(QRegularExpression("^--"));
        for (const TUsageCommand& c : std::as_const(m_usage.commands)) {
            const QStringList words = c.name.split(' ');
            const QString stem = words.first().left(words.first().size() - 1);
            QVERIFY2(offered.value(stem).contains(words.first()),
                     qPrintable("\"" + stem + "\" does not complete to " + words.first()));
            for (qsizetype n = 1; n < words.size(); ++n)
                QVERIFY(offered.value(QStringList(words.mid(0, n)).join(' ') + ' ')
                            .contains(words.at(n)));
            if (c.name == "send") { // the rest of the line is the raw line to send
                QVERIFY(offered.value("send ").isEmpty() && offered.value("send --").isEmpty());
                continue;
            }
            checkOffers(c.name + ' ', c.arguments.value(0), offered.value(c.name + ' '));
            const QStringList options = offered.value(c.name + " --");
            for (const QString& option : globalLong + c.options.filter(QRegularExpression("^--")))
                QVERIFY2(options.contains(option),
                         qPrintable("\"" + c.name + " --\" does not offer " + option));
            for (auto it = c.values.cbegin(); it != c.values.cend(); ++it) {
                const QString line = c.name + ' ' + it.key() + ' ';
                checkOffers(line, it.value(), offered.value(line));
            }
        }
    }

    // Global options, their values in either form, and where the command stands.
    void completesOptionsPortsAndArguments() {
        const QString acm = m_dev + "/ttyACM";
        const QStringList lines{"-",
                                "--port ",
                                "--port=",
                                "--port " + acm,
                                "--port " + m_work + "/mo",
                                "--port=ttyACM0 --yes upload ",
                                "-q --port ttyACM0 logos upload ",
                                "upload mod.xml ",
                                "screenshot shot.png --zoom "};
        QString registration;
        const QMap<QString, QStringList> offered = Complete(lines, m_work, m_dev, &registration);
        QCOMPARE(Sorted(offered.value("-")), Sorted(m_usage.global.options));
        checkOffers("--port ", "PORT", offered.value("--port "));
        checkOffers("--port=", "PORT", offered.value("--port="));
        QCOMPARE(Sorted(offered.value("--port " + acm)), (QStringList{acm + "0", acm + "1"}));
        QCOMPARE(offered.value("--port " + m_work + "/mo"), QStringList{m_work + "/mod.xml"});
        checkOffers("--port=ttyACM0 --yes upload ", "FILE.xml",
                    offered.value("--port=ttyACM0 --yes upload "));
        checkOffers("-q --port ttyACM0 logos upload ", "DIR",
                    offered.value("-q --port ttyACM0 logos upload "));
        QVERIFY(offered.value("upload mod.xml ").isEmpty());
        QVERIFY(offered.value("screenshot shot.png --zoom ").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCompletion)
#include "test_completion.moc"
