// The desktop integration files and the Debian package: the udev rule's syntax and content
// (udev 252 has no "udevadm verify"), the desktop entry, the AppStream metadata, the licence
// and the package's copyright and changelog, where "cmake --install" puts them, and what
// the validators and lintian say about them (when they are installed).

#include "firmware/dfuoutput.h"
#include "shell/paths.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

struct TRuleItem {
    QString key; // with its {attribute}, if any
    QString op;
    QString value;
};

// One rule line as udev reads it: comma-separated KEY{attr}OP"value" items. Returns false
// with a reason for anything udev would reject or misread.
bool ParseRule(const QString& line, QList<TRuleItem>& items, QString& why) {
    static const QRegularExpression item(QStringLiteral(
        R"re(\G\s*([A-Z_]+)(\{[^}"]+\})?\s*(==|!=|\+=|-=|:=|=)\s*"([^"\\]*)"\s*(,|$))re"));
    qsizetype pos = 0;
    while (pos < line.size()) {
        const auto m = item.match(line, pos);
        if (!m.hasMatch()) {
            why = QStringLiteral("cannot read from column %1").arg(pos + 1);
            return false;
        }
        items.append({m.captured(1) + m.captured(2), m.captured(3), m.captured(4)});
        pos = m.capturedEnd();
        if (m.captured(5).isEmpty() && pos < line.size()) {
            why = QStringLiteral("text after the last item");
            return false;
        }
    }
    return !items.isEmpty();
}

bool IsMatchKey(const QString& key) {
    static const QRegularExpression match(
        QStringLiteral(R"(^(SUBSYSTEM|SUBSYSTEMS|KERNEL|ACTION|ATTRS?\{\w+\}|ENV\{\w+\})$)"));
    return match.match(key).hasMatch();
}

bool IsAssignKey(const QString& key) {
    static const QRegularExpression assign(QStringLiteral(R"(^(TAG|ENV\{\w+\}|MODE|GROUP)$)"));
    return assign.match(key).hasMatch();
}

QString SourceFile(const QString& relative) {
    return QDir(qEnvironmentVariable("DEVEDAZI_SOURCE_DIR")).filePath(relative);
}

QStringList ReadLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
}

// The USB identities (vid:pid) a usb-subsystem line of the udev rule opens to the user.
QSet<QString> RuleUsbIdentities() {
    QSet<QString> identities;
    for (const QString& raw : ReadLines(SourceFile("packaging/70-devedazi.rules"))) {
        QList<TRuleItem> items;
        QString why;
        if (raw.trimmed().startsWith('#') || !ParseRule(raw.trimmed(), items, why))
            continue;
        QMap<QString, QString> keys;
        for (const TRuleItem& it : std::as_const(items))
            keys.insert(it.key, it.value);
        if (keys.value("SUBSYSTEM") == "usb" && raw.contains("uaccess"))
            identities.insert(keys.value("ATTR{idVendor}") + ':' + keys.value("ATTR{idProduct}"));
    }
    return identities;
}

// The run of a program: its exit code, standard output and standard error together.
struct TRun {
    int code = -1;
    QString output;
};

TRun Run(const QString& program, const QStringList& arguments, int timeoutMs = 120000) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs))
        return {-1, program + " did not finish"};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll())};
}

// Installs one component of the build below a new folder; empty on failure.
QString InstallComponent(QTemporaryDir& prefix, const QString& component) {
    const QString cmake = QStandardPaths::findExecutable("cmake");
    const TRun run = Run(cmake, {"--install", qEnvironmentVariable("DEVEDAZI_BUILD_DIR"),
                                 "--prefix", prefix.path(), "--component", component});
    if (run.code != 0)
        qWarning().noquote() << run.output;
    return run.code == 0 ? prefix.path() : QString();
}

QString ProjectVersion() {
    return QStringLiteral("%1.%2.%3")
        .arg(DEVEDAZI_VERSION_MAJOR)
        .arg(DEVEDAZI_VERSION_MINOR)
        .arg(DEVEDAZI_VERSION_PATCH);
}

// The AppStream metadata, as far as the tests look at it.
struct TMetainfo {
    QString id, launchable, license;
    QStringList categories, modaliases, releases;
};

TMetainfo ReadMetainfo(const QString& path) {
    QFile file(path);
    TMetainfo info;
    if (!file.open(QIODevice::ReadOnly))
        return info;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        if (name == u"release")
            info.releases.append(xml.attributes().value("version").toString());
        else if (name == u"id")
            info.id = xml.readElementText();
        else if (name == u"launchable")
            info.launchable = xml.readElementText();
        else if (name == u"project_license")
            info.license = xml.readElementText();
        else if (name == u"category")
            info.categories.append(xml.readElementText());
        else if (name == u"modalias")
            info.modaliases.append(xml.readElementText());
    }
    return xml.hasError() ? TMetainfo{} : info;
}

// lintian's informational and pedantic tags that stay on the package, and why.
const QMap<QString, QString>& AcceptedLintianTags() {
    static const QMap<QString, QString> tags{
        // The programs are built with the project's own flags (devedazi_options), which
        // set neither -D_FORTIFY_SOURCE nor -z now.
        {"hardening-no-bindnow", "project build flags"},
        {"hardening-no-fortify-functions", "project build flags"},
        // The Help menu opens the manuals and the README from the program's data folder
        // (share/devedazi/Manual): a program must not rely on /usr/share/doc, which an
        // installation may leave out (dpkg's path-exclude).
        {"package-contains-documentation-outside-usr-share-doc", "the Help menu's files"},
    };
    return tags;
}

} // namespace

class TestPackaging : public QObject {
    Q_OBJECT

private slots:
    void parserRejectsBrokenRules() {
        QList<TRuleItem> items;
        QString why;
        QVERIFY(!ParseRule(R"(SUBSYSTEM=="usb", TAG+="uaccess" # comment)", items, why));
        items.clear();
        QVERIFY(!ParseRule(R"(SUBSYSTEM=="usb" TAG+="uaccess")", items, why)); // no comma
        items.clear();
        QVERIFY(!ParseRule(R"(SUBSYSTEM=="usb", TAG+=uaccess)", items, why)); // unquoted
        items.clear();
        QVERIFY(ParseRule(R"(ATTRS{idVendor}=="0483", ENV{X}="1")", items, why));
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0].key, "ATTRS{idVendor}");
        QCOMPARE(items[1].op, "=");
    }

    void udevRuleCoversBothIdentities() {
        const QStringList lines = ReadLines(SourceFile("packaging/70-devedazi.rules"));
        QVERIFY(!lines.isEmpty());
        QSet<QString> uaccess;   // vid:pid given to the logged-in user
        QSet<QString> mmIgnored; // vid:pid kept from ModemManager
        QSet<QString> subsystems;
        for (const QString& raw : lines) {
            const QString line = raw.trimmed();
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            QList<TRuleItem> items;
            QString why;
            QVERIFY2(ParseRule(line, items, why), qPrintable(line + ": " + why));
            QString vendor, product;
            bool matches = false, assigns = false;
            for (const TRuleItem& it : items) {
                const bool compare = it.op == "==" || it.op == "!=";
                QVERIFY2(compare ? IsMatchKey(it.key) : IsAssignKey(it.key),
                         qPrintable(line + ": " + it.key + it.op));
                matches |= compare;
                assigns |= !compare;
                if (it.key.endsWith("{idVendor}"))
                    vendor = it.value;
                if (it.key.endsWith("{idProduct}"))
                    product = it.value;
                if (it.key == "SUBSYSTEM")
                    subsystems.insert(it.value);
                if (it.key == "TAG" && it.op == "+=" && it.value == "uaccess")
                    uaccess.insert(vendor + ':' + product);
                if (it.key == "ENV{ID_MM_DEVICE_IGNORE}" && it.op == "=" && it.value == "1")
                    mmIgnored.insert(vendor + ':' + product);
            }
            QVERIFY2(matches && assigns, qPrintable(line));
        }
        QVERIFY(uaccess.contains("0483:5740"));
        QVERIFY(uaccess.contains("0483:df11"));
        QVERIFY(mmIgnored.contains("0483:5740"));
        QVERIFY(subsystems.contains("tty") && subsystems.contains("usb"));
        // The boot loader the rule opens is the one the DFU tool is told to look for.
        QVERIFY(DfuUtilArguments("f.dfu").contains(",0483:df11"));
    }

    void udevadmVerifiesWhenItCan() {
        const QString udevadm =
            QStandardPaths::findExecutable("udevadm", {"/usr/bin", "/bin", "/usr/sbin", "/sbin"});
        QProcess probe;
        if (!udevadm.isEmpty()) {
            probe.start(udevadm, {"verify", "--help"});
            probe.waitForFinished(10000);
        }
        if (udevadm.isEmpty() || probe.exitStatus() != QProcess::NormalExit ||
            probe.exitCode() != 0)
            QSKIP("this udevadm has no \"verify\" (udev before 253)");
        QProcess verify;
        verify.setProcessChannelMode(QProcess::MergedChannels);
        verify.start(udevadm, {"verify", SourceFile("packaging/70-devedazi.rules")});
        QVERIFY(verify.waitForFinished(10000));
        QVERIFY2(verify.exitCode() == 0, verify.readAll().constData());
    }

    void desktopEntry() {
        const QStringList lines = ReadLines(SourceFile("packaging/devedazi.desktop"));
        QCOMPARE(lines.value(0), "[Desktop Entry]");
        QMap<QString, QString> keys;
        for (const QString& line : lines.mid(1)) {
            if (line.isEmpty())
                continue;
            const qsizetype eq = line.indexOf('=');
            QVERIFY2(eq > 0, qPrintable(line));
            QVERIFY2(!keys.contains(line.left(eq)), qPrintable(line)); // no duplicates
            keys.insert(line.left(eq), line.mid(eq + 1));
        }
        QCOMPARE(keys.value("Type"), "Application");
        QCOMPARE(keys.value("Name"), "DEVedazi");
        QCOMPARE(keys.value("Exec"), "devedazi");
        QCOMPARE(keys.value("Icon"), "devedazi");
        QVERIFY(keys.value("Categories").endsWith(';'));
    }

    void desktopEntryValidates() {
        const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
        if (validator.isEmpty())
            QSKIP("desktop-file-validate is not installed (desktop-file-utils)");
        const TRun run = Run(validator, {SourceFile("packaging/devedazi.desktop")});
        QVERIFY2(run.code == 0 && run.output.trimmed().isEmpty(), qPrintable(run.output));
    }

    // The metadata software centres read: named after its id, pointing at the desktop entry
    // with the same categories, offering the package for every USB identity the udev rule
    // opens, and with notes for this version.
    void metainfoDescribesThePackage() {
        const QString path = SourceFile("packaging/org.example.devedazi.metainfo.xml");
        const TMetainfo info = ReadMetainfo(path);
        QVERIFY2(!info.id.isEmpty(), qPrintable(path));
        QCOMPARE(QFileInfo(path).fileName(), info.id + ".metainfo.xml");
        QCOMPARE(info.launchable, "devedazi.desktop");
        QVERIFY(QFile::exists(SourceFile("packaging/" + info.launchable)));
        QString categories;
        for (const QString& line : ReadLines(SourceFile("packaging/devedazi.desktop")))
            if (line.startsWith("Categories="))
                categories = line.mid(11);
        QCOMPARE(info.categories.join(';') + ';', categories);
        QSet<QString> aliases;
        for (const QString& usb : RuleUsbIdentities()) // as the kernel writes them: upper case
            aliases.insert(
                QStringLiteral("usb:v%1p%2d*")
                    .arg(usb.section(':', 0, 0).toUpper(), usb.section(':', 1).toUpper()));
        QCOMPARE(aliases, (QSet<QString>{"usb:v0483p5740d*", "usb:v0483pDF11d*"}));
        QCOMPARE(QSet<QString>(info.modaliases.cbegin(), info.modaliases.cend()), aliases);
        QCOMPARE(info.license, "GPL-3.0-or-later");
        QVERIFY2(info.releases.value(0) == ProjectVersion(),
                 qPrintable(path + ": the newest <release> must be this version, " +
                            ProjectVersion() + ": add its notes at the top of <releases>"));
    }

    void appstreamValidates() {
        const QString appstreamcli = QStandardPaths::findExecutable("appstreamcli");
        if (appstreamcli.isEmpty() || QStandardPaths::findExecutable("cmake").isEmpty())
            QSKIP("appstreamcli (appstream) or cmake is not installed");
        // The installed tree: the metadata together with the desktop entry it names.
        QTemporaryDir prefix;
        const QString root = InstallComponent(prefix, "integration");
        QVERIFY(!root.isEmpty());
        const TRun run =
            Run(appstreamcli, {"validate-tree", "--no-net", "--pedantic", "--explain", root});
        QVERIFY2(run.code == 0 && !run.output.contains(QRegularExpression(
                                      "^\\s*[EWIP]: ", QRegularExpression::MultilineOption)),
                 qPrintable(run.output));
    }

    // The licence, where people and tools look for it, and the package's own documents.
    void licenceAndDebianDocuments() {
        const QString license = ReadLines(SourceFile("LICENSE")).join(QLatin1Char('\n'));
        QVERIFY(license.contains("GNU GENERAL PUBLIC LICENSE") &&
                license.contains("Version 3, 29 June 2007"));
        QFile common("/usr/share/common-licenses/GPL-3");
        if (common.open(QIODevice::ReadOnly)) // the very text Debian ships
            QCOMPARE(license.trimmed(), QString::fromUtf8(common.readAll()).trimmed());
        const QStringList readme = ReadLines(SourceFile("README.md"));
        QVERIFY(readme.mid(0, 6).join('\n').contains("./run.sh") &&
                readme.mid(0, 6).join('\n').contains("./test.sh"));
        QVERIFY(readme.contains("SPDX-License-Identifier: GPL-3.0-or-later"));

        const QStringList changelog = ReadLines(SourceFile("packaging/debian/changelog"));
        const QString debianVersion =
            QStringLiteral("%1-%2").arg(ProjectVersion()).arg(DEVEDAZI_VERSION_BUILD);
        QVERIFY2(changelog.value(0).startsWith("devedazi (" + debianVersion + ") "),
                 qPrintable("packaging/debian/changelog must start with an entry for " +
                            debianVersion + ", the package's version"));

        const QStringList copyright = ReadLines(SourceFile("packaging/debian/copyright"));
        QCOMPARE(copyright.value(0),
                 "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/");
        const qsizetype all = copyright.indexOf("Files: *");
        QVERIFY(all > 0 && copyright.value(all + 2) == "License: GPL-3+");
        QVERIFY(copyright.contains("License: GPL-3+") &&
                copyright.join('\n').contains("/usr/share/common-licenses/GPL-3"));
        // Every library the package depends on is named with its licence.
        const QString cmake = ReadLines(SourceFile("packaging/CMakeLists.txt")).join('\n');
        const QString depends =
            cmake.section("set(CPACK_DEBIAN_PACKAGE_DEPENDS", 1).section("\")", 0, 0);
        static const QRegularExpression package(QStringLiteral(R"(\b(lib[a-z0-9+.-]+) \()"));
        int named = 0;
        for (auto it = package.globalMatch(depends); it.hasNext(); ++named) {
            const QString name = it.next().captured(1);
            QVERIFY2(copyright.join('\n').contains(name),
                     qPrintable("packaging/debian/copyright does not name " + name +
                                ", which the package depends on, and its licence"));
        }
        QVERIFY(named >= 9);
    }

    // The package as CPack builds it from this build, as lintian sees it: no errors, no
    // warnings, and no other tag than the accepted ones.
    void lintianAcceptsThePackage() {
        const QString lintian = QStandardPaths::findExecutable("lintian");
        const QString cpack = QStandardPaths::findExecutable("cpack");
        if (lintian.isEmpty() || cpack.isEmpty())
            QSKIP("lintian or cpack is not installed");
        const QString build = qEnvironmentVariable("DEVEDAZI_BUILD_DIR");
        if (ReadLines(build + "/CMakeCache.txt").contains("DEVEDAZI_SANITIZE:BOOL=ON"))
            QSKIP("the package is checked on the plain build, not the sanitizer build");
        QTemporaryDir out;
        const TRun pack = Run(cpack, {"--config", build + "/CPackConfig.cmake", "-B", out.path()});
        QVERIFY2(pack.code == 0, qPrintable(pack.output));
        const QStringList debs = QDir(out.path()).entryList({"*.deb"});
        QCOMPARE(debs.size(), 1);
        QCOMPARE(debs.first(), QStringLiteral("devedazi_%1-%2_amd64.deb")
                                   .arg(ProjectVersion())
                                   .arg(DEVEDAZI_VERSION_BUILD));
        const TRun run = Run(lintian, {"--display-info", "--pedantic", "--display-experimental",
                                       "--tag-display-limit", "0", out.filePath(debs.first())});
        static const QRegularExpression tag(QStringLiteral(R"(^([EWIPX]): devedazi: (\S+))"),
                                            QRegularExpression::MultilineOption);
        QStringList refused;
        for (auto it = tag.globalMatch(run.output); it.hasNext();) {
            const auto m = it.next();
            if (m.captured(1) == "E" || m.captured(1) == "W" ||
                !AcceptedLintianTags().contains(m.captured(2)))
                refused.append(m.captured(0));
        }
        QVERIFY2(refused.isEmpty(),
                 qPrintable("lintian: " + refused.join(", ") + "\n" + run.output +
                            "\nMend the package, or accept an informational tag with its "
                            "reason in AcceptedLintianTags()."));
        QVERIFY2(run.code == 0, qPrintable(run.output));
    }

    void installPutsFilesWhereTheDesktopLooks_data() {
        QTest::addColumn<QString>("component");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("integration")
            << "integration"
            << QStringList{"lib/udev/rules.d/70-devedazi.rules",
                           "share/applications/devedazi.desktop",
                           "share/icons/hicolor/scalable/apps/devedazi.svg",
                           "share/icons/hicolor/256x256/apps/devedazi.png",
                           "share/metainfo/org.example.devedazi.metainfo.xml",
                           "share/bash-completion/completions/devedazi-cli"};
        QTest::newRow("manuals") << "manuals"
                                 << QStringList{"share/man/man1/devedazi.1.gz",
                                                "share/man/man1/devedazi-cli.1.gz",
                                                "share/man/man1/devedazi-emu.1.gz"};
        QTest::newRow("doc") << "doc"
                             << QStringList{"share/doc/devedazi/copyright",
                                            "share/doc/devedazi/changelog.Debian.gz"};
    }
    void installPutsFilesWhereTheDesktopLooks() {
        QFETCH(QString, component);
        QFETCH(QStringList, files);
        if (QStandardPaths::findExecutable("cmake").isEmpty())
            QSKIP("cmake is not on the search path");
        QTemporaryDir prefix;
        const QDir root(InstallComponent(prefix, component));
        QVERIFY(root.path() == prefix.path());
        for (const QString& file : std::as_const(files)) {
            QVERIFY2(QFile::exists(root.filePath(file)), qPrintable(file));
            if (file.endsWith(".gz")) { // gzip -9n: no file name and no time stamp inside
                QFile gz(root.filePath(file));
                QVERIFY(gz.open(QIODevice::ReadOnly));
                const QByteArray head = gz.read(10);
                QVERIFY(head.startsWith("\x1f\x8b\x08"));
                QCOMPARE(head.at(3) & 0x08, 0);                // no name
                QCOMPARE(head.mid(4, 4), QByteArray(4, '\0')); // no time
                QCOMPARE(quint8(head.at(8)), quint8(2));       // best compression
            }
        }
    }

    // The Help menu finds the manuals beside the app in the build tree and in the data
    // folder of an installation; both are real PDF files made at build time.
    void manualsAreFoundWhereTheHelpMenuLooks() {
        const QString build = qEnvironmentVariable("DEVEDAZI_BUILD_DIR");
        const QString cmake = QStandardPaths::findExecutable("cmake");
        if (cmake.isEmpty())
            QSKIP("cmake is not on the search path");
        QTemporaryDir prefix;
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(cmake,
                      {"--install", build, "--prefix", prefix.path(), "--component", "manuals"});
        QVERIFY(install.waitForFinished(60000));
        QVERIFY2(install.exitCode() == 0, install.readAll().constData());
        for (const char* name : {"Manual_eng.pdf", "Manual_rus.pdf", "README.md"}) {
            const QString inBuild = ManualPath(name, build + "/src");
            QCOMPARE(inBuild, build + "/src/Manual/" + name);
            const QString installed = ManualPath(name, prefix.path() + "/bin");
            QCOMPARE(installed, prefix.path() + "/share/devedazi/Manual/" + name);
            for (const QString& path : {inBuild, installed}) {
                QFile file(path);
                QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
                if (path.endsWith(".pdf"))
                    QVERIFY(file.read(5) == "%PDF-" && file.size() > 4000);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestPackaging)
#include "test_packaging.moc"
