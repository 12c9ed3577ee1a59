// Settings download and upload against the virtual device.

#include "common/emulink.h"
#include "link/transport.h"
#include "settings/models.h"
#include "settings/settingsfile.h"
#include "settings/transfer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QList<qint32> Ints(const QByteArray& text) {
    QList<qint32> list;
    if (!text.isEmpty())
        for (const QByteArray& part : text.split(','))
            list.append(part.toInt());
    return list;
}

QByteArray Join(const QList<qint32>& values) {
    QByteArrayList parts;
    for (qint32 v : values)
        parts.append(QByteArray::number(v));
    return parts.join(',');
}

QByteArray Idx(const char* name, int i) {
    return QByteArray(name) + '[' + QByteArray::number(i) + ']';
}

// The settings parameters of the device as name -> fields of an image, written out
// independently of the transfer's own catalogue.
QList<QPair<QByteArray, QList<qint32>>> ExpectedParams(const TSettings& s, const TMod& m) {
    QList<QPair<QByteArray, QList<qint32>>> list = {
        {"PROF", {s.curProfile}},
        {"FLGS", {s.flags}},
        {"PUFF", {s.cntPuffs, s.cntPTime}},
        {"PID", {s.pidRegP, s.pidRegI, s.pidRegD}},
        {"TIME", {s.timeLogo, s.timeInfo}},
        {"FADE", {s.timeFadeIn, s.timeFadeOut}},
        {"BPRF", {s.battProfile}},
        {"BNRG", {s.battRemNrg}},
        {"KACT", QList<qint32>(s.keyAction.begin(), s.keyAction.end())},
        {"LSCR", QList<qint32>(s.logoScreen.begin(), s.logoScreen.begin() + m.numLogo)}};
    for (int r = 0; r < 4; ++r)
        list.append(
            {Idx("IPAR", r), QList<qint32>(s.indPar[r].begin(), s.indPar[r].begin() + m.numIPar)});
    for (int r = 0; r < 6; ++r)
        list.append({Idx("BRTM", r), QList<qint32>(s.brTime[r].begin(),
                                                   s.brTime[r].begin() + (m.rgbColor ? 3 : 2))});
    for (int r = 0; r < 12; ++r)
        list.append({Idx("V2P", r), {s.v2p[r][0], s.v2p[r][1]}});
    for (int p = 0; p < 8; ++p) {
        const TProfile& f = s.profile[p];
        list.append({Idx("PMOD", p), {f.mode}});
        list.append({Idx("PFLG", p), {f.flags}});
        list.append({Idx("PPAR", p), {f.voltage, f.powerVW, f.powerTC, f.temperature}});
        list.append({Idx("PPRE", p), {f.prehValue, f.prehTime, f.prehDelay}});
        list.append({Idx("PLCK", p), {f.lockRes, f.lockTemp}});
        list.append({Idx("PTCR", p), {f.TCR}});
        list.append({Idx("PTFR", p), QList<qint32>(f.TFR.begin(), f.TFR.end())});
    }
    return list;
}

// Gives every settings value of the device its own number (and odd profile names).
void MakeDeviceDistinct(TDeviceEmulator& emu) {
    qint32 n = 100;
    const QStringList names = emu.parameterNames();
    for (const QString& qname : names) {
        const QByteArray name = qname.toLatin1();
        if (name == "VER" || name == "ID" || name == "PRT" || name == "KEYS" ||
            name.startsWith("LOGO") || name.startsWith("SCR") || name == "ATM" || name == "LATM" ||
            name == "TEMP" || name == "BVLT" || name == "BPER" || name == "AERR" || name == "LNRG")
            continue;
        if (name.startsWith("PNAM")) { // "=" and "," inside, and one empty name
            QVERIFY(emu.setValue(name, name == "PNAM[3]" ? "" : "N=" + name.mid(5, 1) + ",x"));
            continue;
        }
        QList<qint32> values = Ints(emu.value(name));
        for (qint32& v : values)
            v = (++n % 3 == 0) ? -n : n;
        if (name == "PROF")
            values = {6};
        if (name == "FLGS")
            values = {0x7FFF0000 | 96 | 1}; // bits above 32768 have no control
        if (name == "PFLG[2]")
            values = {64 | 512 | 1};
        QVERIFY2(emu.setValue(name, Join(values)), name.constData());
    }
}

// An image with values the device doesn't hold and marks in the entries no model uses.
TSettings MarkedImage() {
    TSettings s = DefaultSettings();
    s.logoScreen.fill(77);
    for (auto& row : s.indPar)
        row.fill(88);
    for (auto& row : s.brTime)
        row[2] = 99;
    s.battCal = {1, 2, 3};
    s.profile[4].name = "OLD";
    return s;
}

void CompareWithDevice(TDeviceEmulator& emu, const TSettings& s) {
    const auto expected = ExpectedParams(s, ModInfo);
    for (const auto& [name, values] : expected)
        QVERIFY2(emu.value(name) == Join(values),
                 (name + ": device " + emu.value(name) + ", image " + Join(values)).constData());
    for (int p = 0; p < 8; ++p)
        QCOMPARE(s.profile[p].name, QString::fromLatin1(emu.value(Idx("PNAM", p))));
}

} // namespace

class TestTransfer : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetModels(); }

    void downloadReadsEveryField_data() {
        QTest::addColumn<int>("model");
        for (int id = 0; id <= 5; ++id)
            QTest::addRow("id %d", id) << id;
    }
    void downloadReadsEveryField() {
        QFETCH(int, model);
        EmuLink link(model);
        QVERIFY2(link.ok(), qPrintable(link.error()));
        MakeDeviceDistinct(link.emu());
        Settings = MarkedImage();
        const TSettings before = Settings;
        link.emu().clearTrace();

        QVERIFY(ReadDeviceSettings());
        QCOMPARE(ModInfo.ID, model);
        QCOMPARE(Settings.ID, model);
        QCOMPARE(Settings.Version, QString("1.5.1"));
        CompareWithDevice(link.emu(), Settings);
        QCOMPARE(Settings.flags, 0x7FFF0000 | 96 | 1);
        QCOMPARE(Settings.profile[3].name, QString());
        QCOMPARE(Settings.profile[2].name, QString("N=2,x"));
        QCOMPARE(Settings.battCal, before.battCal);
        for (int k = ModInfo.numLogo; k < 8; ++k)
            QCOMPARE(Settings.logoScreen[k], 77);
        for (int r = 0; r < 4; ++r)
            for (int k = ModInfo.numIPar; k < 5; ++k)
                QCOMPARE(Settings.indPar[r][k], 88);
        for (int r = 0; r < 6 && !ModInfo.rgbColor; ++r)
            QCOMPARE(Settings.brTime[r][2], 0);
        QCOMPARE(link.received().size(), 98);
        QVERIFY(link.writes().isEmpty());
        QCOMPARE(ProgressBar().Max(), 96);
        QCOMPARE(ProgressBar().Position(), 0);
        QCOMPARE(PortBusy(), 0);
    }

    void unchangedUploadOnlyReads_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("reads");
        QTest::newRow("with logo slots") << 2 << 97;
        QTest::newRow("unknown device, no LSCR") << 0 << 96;
    }
    void unchangedUploadOnlyReads() {
        QFETCH(int, model);
        QFETCH(int, reads);
        EmuLink link(model);
        QVERIFY(link.ok());
        MakeDeviceDistinct(link.emu());
        Settings = MarkedImage();
        QVERIFY(ReadDeviceSettings());
        link.emu().clearTrace();
        QVERIFY(WriteDeviceSettings());
        const auto lines = link.received();
        QCOMPARE(lines.size(), reads);
        QVERIFY(link.writes().isEmpty());
        QCOMPARE(lines.contains("LSCR?"), model != 0);
        QVERIFY(!lines.contains("BNRG?"));
    }

    // Flag bits without a control and battCal travel through download, upload and files.
    void unmappedBitsSurviveEveryPath() {
        QTemporaryDir dir;
        EmuLink link(3);
        QVERIFY(link.ok());
        MakeDeviceDistinct(link.emu());
        Settings = DefaultSettings();
        QVERIFY(ReadDeviceSettings());
        QCOMPARE(Settings.profile[2].flags, 64 | 512 | 1);
        QCOMPARE(Settings.battCal, (std::array<qint32, 3>{0, 0, 0}));
        Settings.flags ^= 1; // an edit of a mapped bit
        Settings.profile[2].flags ^= 1;
        link.emu().clearTrace();
        QVERIFY(WriteDeviceSettings());
        QCOMPARE(link.writes(),
                 (QList<QByteArray>{"FLGS=" + QByteArray::number(0x7FFF0000 | 96), "PFLG[2]=576"}));
        const QString path = dir.filePath("bits.xml");
        SaveSettingsFile(path);
        const TSettings saved = Settings;
        Settings = TSettings();
        QVERIFY(LoadSettingsFile(path).isEmpty());
        QVERIFY(Settings == saved);
        QCOMPARE(Settings.flags, 0x7FFF0000 | 96);
        QCOMPARE(Settings.profile[2].flags, 576);
        QCOMPARE(Settings.battCal, (std::array<qint32, 3>{0, 0, 0}));
    }

    void uploadFollowsTheConnectedModel() {
        EmuLink link(4); // 4 logo slots, 5 indicators, colour rows
        QVERIFY(link.ok());
        TSettings image = DefaultSettings(); // made for the 8-slot, 3-indicator model 1
        image.ID = 1;
        for (int k = 0; k < 8; ++k)
            image.logoScreen[k] = k + 1;
        for (int r = 0; r < 4; ++r)
            image.indPar[r] = {r, r + 1, r + 2, 20, 21};
        for (int r = 0; r < 6; ++r)
            image.brTime[r] = {r * 10, r + 5, 1000 + r};
        image.battRemNrg = 1234;
        image.profile[7].name = "LAST";
        Settings = image;
        link.emu().clearTrace();

        QVERIFY(WriteDeviceSettings());
        QCOMPARE(Settings.ID, 4);
        image.ID = 4;
        QVERIFY(Settings == image);
        QCOMPARE(link.emu().value("LSCR"), QByteArray("1,2,3,4"));
        QCOMPARE(link.emu().value("IPAR[3]"), QByteArray("3,4,5,20,21"));
        QCOMPARE(link.emu().value("BRTM[5]"), QByteArray("50,10,1005"));
        QCOMPARE(link.emu().value("BNRG"), QByteArray("30000"));
        QCOMPARE(link.emu().value("PNAM[7]"), QByteArray("LAST"));
        const auto writes = link.writes();
        QVERIFY(writes.contains("LSCR=1,2,3,4"));
        for (const QByteArray& line : writes)
            QVERIFY2(!line.startsWith("BNRG") && !line.startsWith("ID") && !line.startsWith("VER"),
                     line.constData());
        TSettings sent = Settings;
        sent.battRemNrg = 30000; // the device's own, never written
        CompareWithDevice(link.emu(), sent);
    }

    void stoppedDeviceLeavesSettingsAlone() {
        EmuLink link(1);
        QVERIFY(link.ok());
        MakeDeviceDistinct(link.emu());
        TEmuFaults faults;
        faults.silentAfter = 27; // VER, ID, 9 device rows, LSCR, 4 IPAR, 6 BRTM, V2P[0..4]
        link.emu().setFaults(faults);
        Settings = MarkedImage();
        const TSettings before = Settings;
        link.emu().clearTrace();

        QVERIFY(!ReadDeviceSettings());
        QVERIFY(Settings == before);
        QCOMPARE(PortBusy(), 0);
        QVERIFY(LinkLost);
        const auto lines = link.received();
        QCOMPARE(lines.mid(26, 2), (QList<QByteArray>{"V2P[4]?", "V2P[5]?"}));
        QCOMPARE(lines.count("V2P[5]?"), 3); // three attempts, then no more traffic
        QCOMPARE(lines.last(), QByteArray("V2P[5]?"));
    }

    void oldFirmwareIsRefused() {
        EmuLink link(1, "1.4.9");
        QVERIFY(link.ok());
        Settings = MarkedImage();
        const TSettings before = Settings;
        link.emu().clearTrace();
        QVERIFY(!ReadDeviceSettings());
        QCOMPARE(TakeFirmwareRefusal(), std::optional<QString>("1.4.9"));
        QVERIFY(!WriteDeviceSettings());
        QCOMPARE(TakeFirmwareRefusal(), std::optional<QString>("1.4.9"));
        QVERIFY(Settings == before);
        QCOMPARE(link.received(), (QList<QByteArray>{"VER?", "VER?"}));
        QCOMPARE(PortBusy(), 0);
    }

    // A shared settings file whose names hold a CR or LF: the load cleans them, says so, and
    // the upload sends one line per parameter, no command of the file's making.
    void fileCannotInjectCommands() {
        QTemporaryDir dir;
        const QString path = dir.filePath("shared.xml");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<Root><Profile1 name=\"X&#13;SRST\"/><Profile2 name=\"Y&#10;BOOT&#9;\"/>"
                "<Profile3 name=\"Z\"/></Root>");
        f.close();
        Settings = DefaultSettings();
        const QStringList notes = LoadSettingsFile(path);
        QCOMPARE(notes, (QStringList{path + ": control characters removed from Profile1.name",
                                     path + ": control characters removed from Profile2.name"}));
        QCOMPARE(Settings.profile[0].name, QString("XSRST"));
        QCOMPARE(Settings.profile[1].name, QString("YBOOT"));

        EmuLink link(1);
        QVERIFY(link.ok());
        link.emu().clearTrace();
        QVERIFY(WriteDeviceSettings());
        const auto lines = link.received();
        for (const QByteArray& line : lines)
            QVERIFY2(line.contains('?') || line.contains('='), line.constData());
        QVERIFY(link.writes().contains("PNAM[0]=XSRST"));
        QVERIFY(link.writes().contains("PNAM[1]=YBOOT"));
        QCOMPARE(link.emu().value("PNAM[2]"), QByteArray("Z"));
    }

    // What the device holds comes into the image without control characters (a NUL would
    // cut the name in the file, others make the file unreadable to other XML readers).
    void downloadDropsControlCharacters() {
        EmuLink link(1);
        QVERIFY(link.ok());
        QVERIFY(link.emu().setValue("PNAM[0]", QByteArray("A\x01"
                                                          "B\0C\x7f",
                                                          6)));
        Settings = DefaultSettings();
        QVERIFY(ReadDeviceSettings());
        QCOMPARE(Settings.profile[0].name, QString("ABC"));
    }

    // The link carries Latin-1: a name beyond it arrives changed, and an unchanged image
    // must not write it again at every upload. A device whose name is empty gets one.
    void uploadComparesWhatTheLinkCarries() {
        EmuLink link(1);
        QVERIFY(link.ok());
        QVERIFY(link.emu().setValue("PNAM[1]", ""));
        Settings = DefaultSettings();
        QVERIFY(ReadDeviceSettings());
        QCOMPARE(Settings.profile[1].name, QString());
        Settings.profile[0].name = QString::fromUtf8("\xc3\xa9\xe2\x82\xac"); // e acute, euro
        Settings.profile[1].name = "TWO";
        Settings.profile[2].name = " A B"; // a read keeps leading blanks, loses trailing ones
        link.emu().clearTrace();
        QVERIFY(WriteDeviceSettings());
        QCOMPARE(link.writes(),
                 (QList<QByteArray>{"PNAM[0]=\xe9?", "PNAM[1]=TWO", "PNAM[2]= A B"}));
        link.emu().clearTrace();
        QVERIFY(WriteDeviceSettings());
        QVERIFY(link.writes().isEmpty());
    }

    void failedUploadKeepsTheImage() {
        EmuLink link(2);
        QVERIFY(link.ok());
        TEmuFaults faults;
        faults.errorFor = "ID";
        link.emu().setFaults(faults);
        Settings = MarkedImage();
        Settings.ID = 2;
        Settings.flags = 1;
        const TSettings before = Settings;
        link.emu().clearTrace();
        QVERIFY(!WriteDeviceSettings());
        QVERIFY(Settings == before); // ID included: the device never told its own
        QVERIFY(link.writes().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTransfer)
#include "test_transfer.moc"
