// Safe file writing: a write that fails half-way (a full disk, the file-size limit) keeps
// the old file, leaves no temporary file and tells the system's reason.

#include "common/fullfs.h"
#include "settings/XMLSettings.h"
#include "settings/safefile.h"
#include "settings/settingsfile.h"

#include <QtTest>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList Entries(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// The four writers over an old file: the helper (small data, which Qt buffers, and large
// data, which it writes at once), a file streamed in pieces, and the settings store.
void TryAllWriters(const QString& path, const QString& reason) {
    struct TCase {
        const char* name;
        std::function<QString()> write;
    };
    const QList<TCase> cases = {
        {"small",
         [&] {
             QString e;
             return WriteFileSafely(path, QByteArray(5000, 's'), &e) ? QString() : e;
         }},
        {"large",
         [&] {
             QString e;
             return WriteFileSafely(path, QByteArray(200000, 'l'), &e) ? QString() : e;
         }},
        {"stream",
         [&] {
             TSafeFile f(path);
             bool ok = f.Open();
             for (int i = 0; i < 100 && ok; ++i)
                 ok = f.Write(QByteArray(100, 'r'));
             return ok && f.Commit() ? QString() : f.Error();
         }},
        {"store",
         [&] {
             TXMLSettings store(path + ".xml");
             store.WriteString("S", "k", QString(3000, 'x'));
             try {
                 store.Close();
             } catch (const EXMLSettingsError& e) {
                 return e.message();
             }
             return QString();
         }},
    };
    for (const TCase& c : cases) {
        const bool store = QString(c.name) == "store";
        const QString target = store ? path + ".xml" : path;
        const QByteArray old = store ? "<Root />\n" : "old content\n";
        const QStringList before = Entries(QFileInfo(path).path());
        const QString error = c.write();
        QVERIFY2(error.startsWith("Cannot write " + target + ": ") && error.endsWith(reason),
                 qPrintable(QString(c.name) + ": " + error));
        QCOMPARE(ReadAll(target), old);
        QCOMPARE(Entries(QFileInfo(path).path()), before); // no temporary file left
    }
}

} // namespace

class TestSafeFile : public QObject {
    Q_OBJECT
private slots:
    void writesAndReplaces() {
        QTemporaryDir dir;
        const QString path = dir.filePath("f.txt");
        QVERIFY(WriteFileSafely(path, "one"));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(WriteFileSafely(path, "two"));
        QCOMPARE(ReadAll(path), QByteArray("two"));
        QCOMPARE(QFile::permissions(path) & ~QFileDevice::Permissions(0x0F00), // the user's
                 QFile::ReadOwner | QFile::WriteOwner);
        QString error;
        QVERIFY(!WriteFileSafely(dir.filePath("none/f.txt"), "x", &error));
        QVERIFY2(error.startsWith("Cannot write " + dir.filePath("none/f.txt") + ": "),
                 qPrintable(error));
        QCOMPARE(Entries(dir.path()), QStringList{"f.txt"});
    }

    void fileSizeLimitKeepsOldFiles() {
        QTemporaryDir dir;
        const QString path = dir.filePath("limited");
        QVERIFY(WriteFileSafely(path, "old content\n"));
        QVERIFY(WriteFileSafely(path + ".xml", "<Root />\n"));
        TFileSizeLimit limit(1024);
        TryAllWriters(path, "File too large");
    }

    void fullFileSystemKeepsOldFiles() {
        TFullFileSystem fs;
        if (!fs.ok())
            QSKIP(qPrintable("full file system not tested: " + fs.whyNot()));
        QVERIFY(fs.put("full", "old content\n") && fs.put("full.xml", "<Root />\n"));
        QVERIFY(fs.fill());
        TryAllWriters(fs.path("full"), "No space left on device");

        // Loading a settings file writes it back: on a full disk the file stays loadable.
        const QByteArray settings =
            "<Root><Profile1 name=\"" + QByteArray(4000, 'n') + "\"/></Root>";
        QFile::remove(fs.path("filler"));
        QVERIFY(fs.put("s.xml", settings));
        QVERIFY(fs.fill());
        TSettings image;
        QVERIFY(LoadSettingsFile(fs.path("s.xml"), image).isEmpty());
        QCOMPARE(ReadAll(fs.path("s.xml")), settings);
    }
};

QTEST_GUILESS_MAIN(TestSafeFile)
#include "test_safefile.moc"
