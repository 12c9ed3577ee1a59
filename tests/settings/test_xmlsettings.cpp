// The XML key-value store: layout of new and existing files, value conversions, errors.

#include "settings/XMLSettings.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

QString ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EXMLSettingsError& e) {
        return e.message();
    }
    return {};
}

} // namespace

class TestXMLSettings : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_dir.isValid()); }

    void newFileGetsDeclarationRootAndWriteOrder() {
        const QString path = m_dir.filePath("new.xml");
        {
            TXMLSettings store(path);
            QCOMPARE(store.ReadString("General", "ComPort", "Auto"), QString("Auto"));
            QCOMPARE(store.ReadInteger("General", "Missing", -7), -7);
        }
        QCOMPARE(ReadAll(path),
                 QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root />\n"));
        {
            TXMLSettings store(path);
            store.WriteString("General", "ComPort", "COM5");
            store.WriteInteger("Other", "b", 2);
            store.WriteInteger("Other", "a", -1);
            store.WriteString("General", "ComPort", "Auto"); // keeps its place, one attribute
            store.WriteBoolean("General", "On", true);
            store.Close();
        }
        QCOMPARE(ReadAll(path), QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                           "<Root>\n"
                                           "  <General ComPort=\"Auto\" On=\"1\" />\n"
                                           "  <Other b=\"2\" a=\"-1\" />\n"
                                           "</Root>\n"));
        TXMLSettings again(path);
        QCOMPARE(again.ReadString("General", "ComPort", "x"), QString("Auto"));
        QCOMPARE(again.ReadBoolean("General", "On", false), true);
    }

    void existingFileKeepsWhatItDoesNotKnow() {
        const QString path = m_dir.filePath("old.xml");
        WriteAll(path, "<?xml version=\"1.0\"?>\n<!-- hand made -->\n<Config x=\"1\">"
                       "<General ComPort=\"COM1\" Extra=\"e\"><Child deep=\"1\">text</Child>"
                       "</General><General ComPort=\"COM9\"/><Unknown k=\"v\"/></Config>");
        {
            TXMLSettings store(path);
            QCOMPARE(store.ReadString("General", "ComPort", ""), QString("COM1"));
            QCOMPARE(store.ReadString("Child", "deep", "none"), QString("none")); // not a section
            store.WriteString("General", "ComPort", "COM3");
            store.WriteInteger("Added", "n", 4);
            store.Close();
        }
        // Checked with an independent parser: order, names and untouched content.
        QProcess py;
        py.start("python3", {"-c",
                             "import sys,xml.etree.ElementTree as E\n"
                             "r=E.parse(sys.argv[1]).getroot()\n"
                             "print(r.tag,r.attrib)\n"
                             "for c in r: print(c.tag,list(c.attrib.items()),"
                             "[(g.tag,g.text) for g in c])\n",
                             path});
        QVERIFY(py.waitForFinished(30000));
        QCOMPARE(py.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(py.readAllStandardOutput()),
                 QString("Config {'x': '1'}\n"
                         "General [('ComPort', 'COM3'), ('Extra', 'e')] [('Child', 'text')]\n"
                         "General [('ComPort', 'COM9')] []\n"
                         "Unknown [('k', 'v')] []\n"
                         "Added [('n', '4')] []\n"));
        const QByteArray text = ReadAll(path);
        QVERIFY(text.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
        QVERIFY(text.contains("<!-- hand made -->"));
    }

    void valuesConvert() {
        const QString path = m_dir.filePath("values.xml");
        const QString odd = QString::fromUtf8("<a & \"b\" 'c'> \xC2\xB0 \xD0\x96");
        {
            TXMLSettings store(path);
            store.WriteString("S", "text", odd);
            store.WriteString("S", "empty", "");
            store.WriteInteger("S", "min", std::numeric_limits<qint32>::min());
            store.WriteString("S", "b256", "256");
            store.WriteString("S", "b257", "257");
            store.WriteDouble("S", "d", 1.0 / 3.0);
            store.WriteDatetime("S", "dt", QDateTime(QDate(2026, 12, 9), QTime(10, 30)));
            store.WriteDate("S", "date", QDateTime(QDate(2026, 12, 9), QTime(10, 30)));
            store.Close();
        }
        TXMLSettings store(path);
        QCOMPARE(store.ReadString("S", "text", ""), odd);
        QCOMPARE(store.ReadString("S", "empty", "def"), QString()); // present: not the default
        QCOMPARE(store.ReadInteger("S", "min", 0), std::numeric_limits<qint32>::min());
        QCOMPARE(store.ReadBoolean("S", "b256", true), false); // low 8 bits decide
        QCOMPARE(store.ReadBoolean("S", "b257", false), true);
        QCOMPARE(store.ReadDouble("S", "d", 0), 1.0 / 3.0);
        QCOMPARE(store.ReadDouble("S", "none", 2.5), 2.5);
        QCOMPARE(store.ReadDate("S", "date", {}).date(), QDate(2026, 12, 9));
        QCOMPARE(store.ReadDateTime("S", "dt", {}).time(), QTime(10, 30));
    }

    void badIntegersRaise_data() {
        QTest::addColumn<QString>("text");
        for (const char* t :
             {"12a", "", " 12", "12 ", "0x10", "2147483648", "-2147483649", "-", "1.0"})
            QTest::newRow(t) << QString(t);
    }
    void badIntegersRaise() {
        QFETCH(QString, text);
        const QString path = m_dir.filePath("bad.xml");
        TXMLSettings store(path);
        store.WriteString("S", "k", text);
        QCOMPARE(ErrorOf([&] { store.ReadInteger("S", "k", 0); }),
                 QString("%1, section \"S\", key \"k\": '%2' is not a valid integer value")
                     .arg(path, text));
        store.WriteString("S", "k", "+17"); // the store stays usable
        QCOMPARE(store.ReadInteger("S", "k", 0), 17);
    }

    void malformedFileRaisesAndStaysUntouched() {
        const QString path = m_dir.filePath("broken.xml");
        const QByteArray broken = "<Root>\n<General ComPort=\"x\">\n</Root>";
        WriteAll(path, broken);
        const QString error = ErrorOf([&] { TXMLSettings store(path); });
        QVERIFY2(error.contains("broken.xml") && error.contains("line 3"), qPrintable(error));
        QCOMPARE(ReadAll(path), broken);
        WriteAll(path, "");
        QVERIFY(!ErrorOf([&] { TXMLSettings store(path); }).isEmpty());
    }

    // pugixml alone takes these and would write them back changed.
    void notWellFormedRaisesAndStaysUntouched_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("line");
        QTest::newRow("duplicate attribute")
            << QByteArray("<Root>\n<S a=\"1\" a=\"2\"/></Root>") << 2;
        QTest::newRow("< in a value") << QByteArray("<Root>\n\n<S a=\"<\"/></Root>") << 3;
        QTest::newRow("undefined entity")
            << QByteArray("<Root><S n=\"A&amp;B&bogus;\"/></Root>") << 1;
        QTest::newRow("second document element") << QByteArray("<Root/>\n<Other/>\n") << 2;
        QTest::newRow("declared entity")
            << QByteArray("<!DOCTYPE Root [<!ENTITY e \"x\">]>\n<Root/>") << 1;
    }
    void notWellFormedRaisesAndStaysUntouched() {
        QFETCH(QByteArray, text);
        QFETCH(int, line);
        const QString path = m_dir.filePath("strict.xml");
        WriteAll(path, text);
        const QString error = ErrorOf([&] { TXMLSettings store(path); });
        QVERIFY2(error.startsWith(path + " is not a valid XML file: ") &&
                     error.contains(QString("(line %1, column ").arg(line)),
                 qPrintable(error));
        QCOMPARE(ReadAll(path), text);
    }

    void failedWriteKeepsOldFile() {
        const QString missing = m_dir.filePath("no/such/folder/s.xml");
        TXMLSettings lost(missing);
        QVERIFY(ErrorOf([&] { lost.Close(); }).startsWith("Cannot write " + missing + ": "));

        // A file that outgrows the file-size limit fails half-way, like a full disk.
        const QString path = m_dir.filePath("full.xml");
        {
            TXMLSettings store(path);
            store.WriteString("S", "k", "old");
            store.Close();
        }
        const QByteArray old = ReadAll(path);
        TXMLSettings store(path);
        store.WriteString("S", "k", QString(100000, 'x'));
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 4096;
        setrlimit(RLIMIT_FSIZE, &small);
        const QString error = ErrorOf([&] { store.Close(); });
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY2(error.startsWith("Cannot write"), qPrintable(error));
        QCOMPARE(ReadAll(path), old);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).filter("full").size(), 1);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestXMLSettings)
#include "test_xmlsettings.moc"
