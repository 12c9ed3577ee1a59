// The manual pages against the programs: every command, option and exit code --help
// names has its place in the page and the page names nothing the program lacks; the
// environment variables the sources read are documented; the built pages format without
// a warning from man.

#include "packaging/usagetext.h"

#include <QStandardPaths>
#include <QtTest>

namespace {

const QString CliPage = QStringLiteral("docs/man/devedazi-cli.1.scd");
const QString EmuPage = QStringLiteral("docs/man/devedazi-emu.1.scd");
const QString AppPage = QStringLiteral("docs/man/devedazi.1.scd");

QString Missing(const QStringList& names) {
    return names.isEmpty() ? QString() : QLatin1Char('"') + names.join("\", \"") + '"';
}

// Fails naming what the man page lacks or has too many, and how to fix it.
void CompareOptions(const QString& program, const TUsageText& usage, const QString& pagePath) {
    const TManPage page = TManPage::Read(SourcePath(pagePath));
    QVERIFY2(!page.source.isEmpty(), qPrintable(pagePath));
    QStringList undocumented, unknown;
    for (const QString& option : usage.options)
        if (!page.options().contains(option))
            undocumented.append(option);
    for (const QString& option : page.options())
        if (!usage.options.contains(option))
            unknown.append(option);
    QVERIFY2(undocumented.isEmpty(),
             qPrintable(program + " --help names the options " + Missing(undocumented) + ", but " +
                        pagePath + " never sets them in bold (*--option*): " +
                        "describe each in the page's OPTIONS or under its command"));
    QVERIFY2(unknown.isEmpty(),
             qPrintable(pagePath + " describes the options " + Missing(unknown) + ", but " +
                        program + " --help does not name them: drop them from the page, " +
                        "or add them to the usage text"));
}

} // namespace

class TestManPages : public QObject {
    Q_OBJECT

    TUsageText m_cli;

private slots:
    void initTestCase() {
        const QString help = RunHelp(BuildPath("src/devedazi-cli"));
        QVERIFY2(!help.isEmpty(), "devedazi-cli --help printed nothing");
        m_cli = ParseUsage(help);
        // The reading of the usage text itself: these are known to be there.
        QVERIFY(m_cli.commands.size() >= 16);
        bool logosUpload = false, monitor = false, diff = false;
        for (const TUsageCommand& c : std::as_const(m_cli.commands)) {
            logosUpload |= c.name == "logos upload" && c.arguments == QStringList{"DIR"};
            monitor |= c.name == "monitor" && c.options.contains("--count") &&
                       c.options.contains("--output") && c.arguments.isEmpty();
            diff |= c.name == "diff" && c.arguments == QStringList{"FILE.xml"} &&
                    c.options == QStringList{"--units"};
        }
        QVERIFY(logosUpload && monitor && diff);
        QVERIFY(m_cli.options.contains("--port") && m_cli.options.contains("-y"));
        QCOMPARE(m_cli.exitCodes, (QSet<int>{0, 1, 2, 3, 4, 5}));
    }

    void cliCommandsMatchTheManPage() {
        const TManPage page = TManPage::Read(SourcePath(CliPage));
        QStringList inHelp;
        for (const TUsageCommand& command : std::as_const(m_cli.commands)) {
            inHelp.append(command.name);
            const TManEntry entry = page.entry("COMMANDS", command.name);
            QVERIFY2(!entry.term.isEmpty(),
                     qPrintable("devedazi-cli --help lists the command \"" + command.name +
                                "\", but " + CliPage + " has no entry for it: add \"*" +
                                command.name + "* ...\" under \"# COMMANDS\" with a " +
                                "tab-indented description (the shell completion reads " +
                                "the usage text and needs no change)"));
            // The options of the command's synopsis are described with it.
            for (const QString& option : command.options)
                QVERIFY2(entry.text.contains('*' + option + '*'),
                         qPrintable(CliPage + ": the entry of \"" + command.name +
                                    "\" does not describe its option *" + option + "*"));
        }
        for (const TManEntry& entry : page.sections.value("COMMANDS"))
            QVERIFY2(inHelp.contains(entry.name()),
                     qPrintable(CliPage + " describes the command \"" + entry.name() +
                                "\", which devedazi-cli --help does not list"));
    }

    void cliOptionsMatchTheManPage() { CompareOptions("devedazi-cli", m_cli, CliPage); }

    void cliExitCodesMatchTheManPage() {
        const TManPage page = TManPage::Read(SourcePath(CliPage));
        QSet<int> documented;
        for (const TManEntry& entry : page.sections.value("EXIT STATUS"))
            documented.insert(entry.name().toInt());
        QVERIFY2(documented == m_cli.exitCodes,
                 qPrintable(CliPage + ": the terms of \"# EXIT STATUS\" must be the codes " +
                            "of devedazi-cli --help's \"Exit codes:\""));
    }

    void emuOptionsMatchTheManPage() {
        const QString help = RunHelp(BuildPath("src/devedazi-emu"));
        QVERIFY2(!help.isEmpty(), "devedazi-emu --help printed nothing");
        const TUsageText usage = ParseUsage(help);
        QVERIFY(usage.options.contains("--model") && usage.options.contains("--babble"));
        CompareOptions("devedazi-emu", usage, EmuPage);
    }

    // Every environment variable a program's sources read is in its page's ENVIRONMENT.
    void environmentIsDocumented_data() {
        QTest::addColumn<QString>("pagePath");
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<bool>("withUi");
        const QStringList core{"link", "settings", "display", "monitor", "firmware"};
        QTest::newRow("devedazi-cli") << CliPage << (QStringList{"cli"} + core) << false;
        QTest::newRow("devedazi-emu") << EmuPage << QStringList{"emulator"} << false;
        QTest::newRow("devedazi") << AppPage
                                  << (QStringList{"shell", "tuner", "updater", "emulator"} + core)
                                  << true;
    }
    void environmentIsDocumented() {
        QFETCH(QString, pagePath);
        QFETCH(QStringList, folders);
        QFETCH(bool, withUi);
        const TManPage page = TManPage::Read(SourcePath(pagePath));
        QStringList documented;
        for (const TManEntry& entry : page.sections.value("ENVIRONMENT"))
            documented += entry.boldNames();
        const QSet<QString> read = EnvironmentRead(folders, withUi);
        for (const QString& name : read)
            QVERIFY2(documented.contains(name),
                     qPrintable("the sources read the environment variable " + name + ", which " +
                                pagePath + " does not describe under " + "\"# ENVIRONMENT\""));
    }

    // What lintian runs on the package: man's own warnings while formatting.
    void pagesFormatWithoutWarnings_data() {
        QTest::addColumn<QString>("page");
        for (const char* name : {"devedazi", "devedazi-cli", "devedazi-emu"})
            QTest::newRow(name) << BuildPath(QStringLiteral("man/%1.1.gz").arg(name));
    }
    void pagesFormatWithoutWarnings() {
        QFETCH(QString, page);
        QVERIFY2(QFile::exists(page), qPrintable(page));
        const QString man = QStandardPaths::findExecutable("man");
        if (man.isEmpty())
            QSKIP("man is not installed");
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", "C.UTF-8");
        env.insert("MANWIDTH", "80");
        process.setProcessEnvironment(env);
        process.start(man, {"--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", page});
        QVERIFY(process.waitForFinished(30000));
        const QString warnings = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(process.exitCode() == 0 && warnings.isEmpty(), qPrintable(warnings));
        QVERIFY(process.readAllStandardOutput().size() > 1000);
    }
};

QTEST_GUILESS_MAIN(TestManPages)
#include "test_manpages.moc"
