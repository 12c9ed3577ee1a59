// The desktop integration files: the udev rule's syntax and content (udev 252 has no
// "udevadm verify"), the desktop entry, and where "cmake --install" puts them.

#include "shell/paths.h"
#include "updater/dfuoutput.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
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

    void installPutsFilesWhereTheDesktopLooks() {
        const QString cmake = QStandardPaths::findExecutable("cmake");
        if (cmake.isEmpty())
            QSKIP("cmake is not on the search path");
        QTemporaryDir prefix;
        QVERIFY(prefix.isValid());
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(cmake, {"--install", qEnvironmentVariable("DEVEDAZI_BUILD_DIR"), "--prefix",
                              prefix.path(), "--component", "integration"});
        QVERIFY(install.waitForFinished(60000));
        QVERIFY2(install.exitCode() == 0, install.readAll().constData());
        const QDir root(prefix.path());
        for (const char* file :
             {"lib/udev/rules.d/70-devedazi.rules", "share/applications/devedazi.desktop",
              "share/icons/hicolor/scalable/apps/devedazi.svg",
              "share/icons/hicolor/256x256/apps/devedazi.png"})
            QVERIFY2(QFile::exists(root.filePath(file)), file);
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
