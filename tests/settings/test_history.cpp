// The image's history without windows: steps put back exactly what they changed, drags
// merge, replacements carry their baseline, polls follow the device only where the user
// changed nothing, and the recovery pair round-trips.

#include "display/displaydata.h"
#include "settings/history.h"
#include "settings/models.h"
#include "settings/recovery.h"

#include <QTemporaryDir>
#include <QUndoStack>
#include <QtTest>

namespace {
qint32& PowerVW(TSettings& image, int profile) {
    return image.profile[size_t(profile)].powerVW;
}
qint32& Puffs(TSettings& image, int) {
    return image.cntPuffs;
}
QUndoStack& Stack() {
    return *ImageHistory().stack();
}
} // namespace

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Settings = DefaultSettings();
        ResetDisplayData();
        SelectModel(1);
        ImageHistory().reset();
    }
    void stepsPutBackExactlyWhatTheyChanged();
    void aDragIsOneStep();
    void replacementsCarryTheirBaseline();
    void pollsFollowOnlyUnchangedFields();
    void countsAndNames();
    void recoveryPair();
};

// Undo gives the image before, redo the image after; a value a poll brought in between
// stays, since no step changed it.
void TestHistory::stepsPutBackExactlyWhatTheyChanged() {
    const TSettings start = Settings;
    QVERIFY(!ImageHistory().change("Nothing", [](TSettings&) {}));
    QCOMPARE(Stack().count(), 0);
    QVERIFY(ImageHistory().change("Name (Profile 2)",
                                  [](TSettings& s) { s.profile[1].name = "coil"; }));
    QVERIFY(ImageHistory().change("VW Power (Profile 1)",
                                  [](TSettings& s) { s.profile[0].powerVW = 555; }));
    const TSettings edited = Settings;
    QCOMPARE(Stack().undoText(), QString("VW Power (Profile 1)"));
    ImageHistory().takeDeviceValues({{&Puffs, 0, 77}});
    QCOMPARE(Settings.cntPuffs, 77);
    Stack().undo();
    Stack().undo();
    QCOMPARE(Settings.cntPuffs, 77);
    Settings.cntPuffs = start.cntPuffs;
    QCOMPARE(Settings, start);
    Settings.cntPuffs = 77;
    Stack().redo();
    Stack().redo();
    QCOMPARE(Settings.profile[0].powerVW, 555);
    QCOMPARE(Settings.profile[1].name, QString("coil"));
    QCOMPARE(Settings.cntPuffs, 77);
    QCOMPARE(Settings, ImageHistory().lastImage());
    Settings.cntPuffs = edited.cntPuffs;
    QCOMPARE(Settings, edited);

    // The logo pictures are part of a logo step, one bit per pixel.
    Settings = start;
    ImageHistory().reset();
    QVERIFY(ImageHistory().changeLogos("Clear Logo 2", [] { ClearLogo(1, 32); }));
    QCOMPARE(LogoImages[1][31][127], PixelOn);
    Stack().undo();
    QCOMPARE(LogoImages[1][31][127], PixelOff);
    Stack().redo();
    QCOMPARE(LogoImages[1][0][0], PixelOn);
    QCOMPARE(LogoImages[1][32][0], PixelOff);
}

// Changes with one merge key are one step; one that ends where it started leaves none.
void TestHistory::aDragIsOneStep() {
    for (int value : {10, 20, 30})
        ImageHistory().change(
            "Brightness: Firing", [value](TSettings& s) { s.brTime[0][0] = value; }, "bar#1");
    QCOMPARE(Stack().count(), 1);
    ImageHistory().change(
        "Brightness: Firing", [](TSettings& s) { s.brTime[0][0] = 40; }, "bar#2");
    QCOMPARE(Stack().count(), 2);
    Stack().undo();
    QCOMPARE(Settings.brTime[0][0], 30);
    Stack().undo();
    QCOMPARE(Settings.brTime[0][0], DefaultSettings().brTime[0][0]);
    const qint32 start = Settings.brTime[1][0];
    ImageHistory().change(
        "Brightness: Active", [](TSettings& s) { s.brTime[1][0] = 1; }, "bar#3");
    ImageHistory().change(
        "Brightness: Active", [start](TSettings& s) { s.brTime[1][0] = start; }, "bar#3");
    QCOMPARE(Stack().count(), 0);
}

void TestHistory::replacementsCarryTheirBaseline() {
    ImageHistory().markBaseline({TImageSource::Device, {}});
    ImageHistory().change("Regulator P", [](TSettings& s) { s.pidRegP = 1234; });
    QCOMPARE(ImageHistory().changeCount(), 1);
    TSettings loaded = DefaultSettings();
    loaded.pidRegP = 600;
    ImageHistory().replace("Load Settings", loaded, {TImageSource::File, "/x/mine.xml"});
    QCOMPARE(Settings, loaded);
    QCOMPARE(ImageHistory().changeCount(), 0);
    QCOMPARE(ImageHistory().origin().name(), QString("mine.xml"));
    Stack().undo(); // the image and its baseline as they were
    QCOMPARE(Settings.pidRegP, 1234);
    QCOMPARE(ImageHistory().origin().name(), QString("device"));
    QCOMPARE(ImageHistory().changeCount(), 1);
    Stack().redo();
    QCOMPARE(Settings.pidRegP, 600);
    QCOMPARE(ImageHistory().origin().valueCaption(), QString("File value"));
}

// A poll moves a field (and its baseline) only where the user changed nothing; with a
// device baseline, the baseline of a changed field follows the device too, so its mark
// names the device's value.
void TestHistory::pollsFollowOnlyUnchangedFields() {
    for (const TImageSource source : {TImageSource::Device, TImageSource::File}) {
        Settings = DefaultSettings();
        ImageHistory().reset({source, "f.xml"});
        ImageHistory().change("VW Power (Profile 1)",
                              [](TSettings& s) { s.profile[0].powerVW = 500; });
        ImageHistory().takeDeviceValues({{&PowerVW, 0, 333}, {&PowerVW, 1, 444}});
        QCOMPARE(Settings.profile[0].powerVW, 500);
        QCOMPARE(Settings.profile[1].powerVW, 444);
        QCOMPARE(ImageHistory().baseline().profile[1].powerVW, 444);
        QCOMPARE(ImageHistory().baseline().profile[0].powerVW,
                 source == TImageSource::Device ? 333 : DefaultSettings().profile[0].powerVW);
        QCOMPARE(ImageHistory().changeCount(), 1);
    }
}

// Only what an upload or a save carries counts; the words name each change.
void TestHistory::countsAndNames() {
    ImageHistory().change("Device", [](TSettings& s) {
        s.Version = "9.9.9";
        s.battRemNrg = 5;
    });
    QCOMPARE(ImageHistory().changeCount(), 0);
    ImageHistory().change("Edits", [](TSettings& s) {
        s.profile[0].powerVW = 123;
        s.pidRegP = 7;
        s.flags ^= sfTempUnitF | sfLockMod;
    });
    const QList<TShownDiff> changes = ImageHistory().changes();
    QCOMPARE(changes.size(), 4);
    QCOMPARE(ChangeCountText(int(changes.size())), QString("4 changes"));
    QCOMPARE(ChangeCountText(1), QString("1 change"));
    QCOMPARE(ChangeListText(changes, 2), QString("Profile 1: VW Power, Temp. Unit, ..."));
}

// The image and its baseline come back with the origin and the time; half a pair is never
// offered.
void TestHistory::recoveryPair() {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/Recovery";
    TSettings baseline = DefaultSettings();
    TSettings image = baseline;
    image.profile[2].name = "mine";
    image.v2p[3][1] = 377;
    const QDateTime time = QDateTime::currentDateTime();
    QVERIFY(WriteRecovery(folder, image, baseline, {TImageSource::File, "/a/b.xml"}, time));
    auto kept = ReadRecovery(folder);
    QVERIFY(kept);
    QCOMPARE(kept->image, image);
    QCOMPARE(kept->baseline, baseline);
    QCOMPARE(kept->origin, TImageOrigin({TImageSource::File, "/a/b.xml"}));
    QCOMPARE(kept->time.toMSecsSinceEpoch(), time.toMSecsSinceEpoch());
    QCOMPARE(UnsavedChanges(kept->baseline, kept->image).size(), 2);
    QVERIFY(QFile::remove(folder + "/unsaved.xml"));
    QVERIFY(!ReadRecovery(folder));
    RemoveRecovery(folder);
    QVERIFY(QDir(folder).isEmpty());
    QString error;
    QFile blocker(dir.path() + "/file");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    QVERIFY(!WriteRecovery(dir.path() + "/file/sub", image, baseline, {}, time, &error));
    QVERIFY(!error.isEmpty());
}

QTEST_MAIN(TestHistory)
#include "test_history.moc"
