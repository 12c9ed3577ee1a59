// Settings backups against the virtual device: the file holds what the device holds and
// leaves Settings alone, rotation keeps exactly the newest 20 of the model and nothing else,
// a second backup in the same second gets its own name, and every failure writes nothing.

#include "common/emulink.h"
#include "link/transport.h"
#include "settings/backup.h"
#include "settings/models.h"
#include "settings/settingsfile.h"
#include "settings/transfer.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const QDateTime kWhen(QDate(2030, 1, 2), QTime(3, 4, 5));

bool Touch(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write("<Root/>") > 0;
}

QStringList Files(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

} // namespace

class TestBackup : public QObject {
    Q_OBJECT
private slots:
    void init() { Settings = DefaultSettings(); }

    void namesFollowModelAndTime() {
        QCOMPARE(BackupFileName(1, kWhen), QString("Dozore_213_2030-01-02_03-04-05.xml"));
        QCOMPARE(BackupFileName(5, kWhen), QString("Dozore_Duo3_2030-01-02_03-04-05.xml"));
        QCOMPARE(BackupFileName(0, kWhen), QString("Unknown_2030-01-02_03-04-05.xml"));
        QVERIFY(DefaultBackupFolder().endsWith("/DEVedazi/Profiles/Settings/Backups"));
    }

    void backupHoldsTheDeviceImage() {
        EmuLink link(4);
        QVERIFY2(link.ok(), qPrintable(link.error()));
        QVERIFY(link.emu().setValue("PPAR[2]", "350,250,300,200"));
        QVERIFY(link.emu().setValue("PNAM[2]", "MYONE"));
        QTemporaryDir dir;
        const QString folder = dir.filePath("new/Backups"); // made when missing
        Settings.profile[2].powerVW = 123;
        const TSettings before = Settings;

        const TBackupResult r = BackupDeviceSettings(folder, kWhen);
        QVERIFY2(r.saved(), qPrintable(r.error));
        QCOMPARE(r.path, folder + "/Zedo_Dizerado_2030-01-02_03-04-05.xml");
        QVERIFY(Settings == before); // the editor's image is not touched
        QCOMPARE(PortBusy(), 0);

        TSettings saved = DefaultSettings();
        (void)LoadSettingsFile(r.path, saved); // the notes of a load, if any, are not wanted here
        QCOMPARE(saved.ID, 4);
        QCOMPARE(saved.Version, QString("1.5.1"));
        QCOMPARE(saved.profile[2].name, QString("MYONE"));
        QCOMPARE(saved.profile[2].powerVW, 250);
        QCOMPARE(saved.profile[2].temperature, 200);
        QCOMPARE(Files(folder).size(), 1);

        // Again within the same second: a name of its own, the first file untouched.
        const TBackupResult again = BackupDeviceSettings(folder, kWhen);
        QVERIFY(again.saved());
        QCOMPARE(again.path, folder + "/Zedo_Dizerado_2030-01-02_03-04-05_2.xml");
        QCOMPARE(Files(folder).size(), 2);
    }

    void rotationKeepsTheNewestTwenty() {
        EmuLink link(1);
        QVERIFY(link.ok());
        QTemporaryDir dir;
        const QString folder = dir.path();
        // 25 older backups of this model, days apart (listed out of order on purpose), one
        // with a same-second number; other models' backups and the user's own files.
        QStringList older;
        for (int i = 0; i < 25; ++i) {
            const QDateTime t = QDateTime(QDate(2025, 1, 1), QTime(12, 0)).addDays((i * 7) % 25);
            older.append(BackupFileName(1, t));
        }
        older.append("Dozore_213_2025-01-01_12-00-00_2.xml");
        const QStringList others = {"Dozore_Plus_2020-01-01_00-00-00.xml", "Dozore_213_mine.xml",
                                    "Dozore_213_2020-01-01.xml", "notes.txt",
                                    "Dozore_2130_2020-01-01_00-00-00.xml"};
        for (const QString& name : older + others)
            QVERIFY(Touch(dir.filePath(name)));

        const TBackupResult r = BackupDeviceSettings(folder, kWhen);
        QVERIFY(r.saved());
        QCOMPARE(r.removed.size(), 26 + 1 - BackupKeepCount);

        QStringList kept = Files(folder);
        for (const QString& name : others)
            QVERIFY2(kept.removeOne(name), qPrintable(name)); // nothing else is touched
        QCOMPARE(kept.size(), BackupKeepCount);
        QVERIFY(kept.contains(QFileInfo(r.path).fileName()));
        // The survivors are the newest by the time in their names.
        older.sort();
        QCOMPARE(kept.first(), older.at(older.size() - (BackupKeepCount - 1)));
        QVERIFY(!kept.contains("Dozore_213_2025-01-01_12-00-00.xml"));
        QVERIFY(!kept.contains("Dozore_213_2025-01-01_12-00-00_2.xml"));

        // Pruning on its own never goes below what it is asked to keep.
        QCOMPARE(PruneBackups(folder, "Dozore_213", BackupKeepCount).size(), 0);
        QCOMPARE(PruneBackups(folder, "Dozore_213", 3).size(), BackupKeepCount - 3);
        QCOMPARE(Files(folder).size(), 3 + others.size());
    }

    // A firmware older than the application can't be read into an image: what it answers
    // is kept line by line, a parameter it doesn't know is left out, and the raw file takes
    // its place among the model's newest backups.
    void olderFirmwareSavesRawAnswers() {
        EmuLink link(4, "1.4.9");
        QVERIFY(link.ok());
        QVERIFY(link.emu().setValue("PNAM[2]", "MINE"));
        TEmuFaults faults;
        faults.errorFor = "PTCR[3]"; // unknown to this firmware
        link.emu().setFaults(faults);
        QTemporaryDir dir;
        for (int day = 1; day <= BackupKeepCount; ++day)
            QVERIFY(Touch(dir.filePath(BackupFileName(4, QDateTime(QDate(2029, 1, day), {})))));

        const TBackupResult r = BackupDeviceSettings(dir.path(), kWhen);
        QCOMPARE(r.outcome, TBackupOutcome::SavedRaw);
        QCOMPARE(r.path, dir.filePath("Zedo_Dizerado_2030-01-02_03-04-05_raw.txt"));
        QCOMPARE(r.firmware, QString("1.4.9"));
        QCOMPARE(r.unanswered, 1);
        QVERIFY(!TakeFirmwareRefusal()); // taken by the backup, not left for the next caller
        QVERIFY(link.writes().isEmpty());

        QFile file(r.path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        TSettings image;
        const auto catalogue = SettingsCatalogue(image, ModInfo);
        QCOMPARE(lines.size(), catalogue.size() - 1);
        QCOMPARE(r.lines, lines.size());
        for (const QString& line : lines) { // each exactly as the device holds it
            const QString name = line.section('=', 0, 0);
            QCOMPARE(line, name + "=" + QString::fromLatin1(link.emu().value(name.toLatin1())));
        }
        QVERIFY(lines.contains("PNAM[2]=MINE"));
        QVERIFY(lines.filter("PTCR[3]=").isEmpty());
        const QString note = RawBackupNote(r);
        QVERIFY(note.contains(r.path) && note.contains("Terminal") &&
                note.contains("devedazi-cli send") && note.contains("1.4.9"));

        const QStringList kept = Files(dir.path());
        QCOMPARE(kept.size(), BackupKeepCount);
        QVERIFY(kept.contains(QFileInfo(r.path).fileName()));
        QVERIFY(!kept.contains(BackupFileName(4, QDateTime(QDate(2029, 1, 1), {}))));
    }

    // The built-in virtual device is never backed up: nothing is read, written or rotated.
    void virtualDeviceIsNotBackedUp() {
        EmuLink link(4);
        QVERIFY(link.ok());
        link.port().VirtualDevice = true;
        QTemporaryDir dir;
        for (int day = 1; day <= BackupKeepCount; ++day)
            QVERIFY(Touch(dir.filePath(BackupFileName(4, QDateTime(QDate(2029, 1, day), {})))));
        const TBackupResult r = BackupDeviceSettings(dir.path(), kWhen);
        QCOMPARE(r.outcome, TBackupOutcome::VirtualDevice);
        QVERIFY(!r.saved());
        QCOMPARE(Files(dir.path()).size(), BackupKeepCount);
        QVERIFY(link.received().isEmpty());
    }

    void failuresWriteNothing() {
        QTemporaryDir dir;
        {
            EmuLink link(1);
            QVERIFY(link.ok());
            TEmuFaults faults;
            faults.silentAfter = 20; // stops answering halfway through the download
            link.emu().setFaults(faults);
            const TBackupResult r = BackupDeviceSettings(dir.path(), kWhen);
            QCOMPARE(r.outcome, TBackupOutcome::ReadFailed);
            QVERIFY(!r.error.isEmpty());
            QCOMPARE(PortBusy(), 0);
        }
        QVERIFY(Files(dir.path()).isEmpty());
        {
            EmuLink link(1);
            QVERIFY(link.ok());
            const QString notAFolder = dir.filePath("file");
            QVERIFY(Touch(notAFolder));
            const TBackupResult r = BackupDeviceSettings(notAFolder + "/Backups", kWhen);
            QCOMPARE(r.outcome, TBackupOutcome::WriteFailed);
            QVERIFY(r.error.contains(notAFolder));
        }
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "test_backup.moc"
