// The virtual device's protocol seen through a plain pty client: the catalogue of every
// model, refusals, logo and screen lines, the device actions and the state file.

#include "emulator/emulator.h"
#include "ptyclient.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

struct ModelCounts {
    int id, logos, ipar, brtm, lines;
};
const ModelCounts Models[] = {{0, 0, 3, 2, 4}, {1, 8, 3, 2, 4},  {2, 4, 5, 2, 10},
                              {3, 8, 3, 2, 4}, {4, 4, 5, 3, 10}, {5, 4, 5, 2, 10}};

// Catalogue names and value counts as the host reads them, in transfer order.
QList<QPair<QByteArray, int>> catalogue(const ModelCounts& m) {
    QList<QPair<QByteArray, int>> list = {{"VER", -1}, {"ID", 1},   {"PROF", 1}, {"FLGS", 1},
                                          {"PUFF", 2}, {"PID", 3},  {"TIME", 2}, {"FADE", 2},
                                          {"BPRF", 1}, {"BNRG", 1}, {"KACT", 8}, {"LSCR", m.logos}};
    auto idx = [](const char* base, int i) {
        return QByteArray(base) + '[' + QByteArray::number(i) + ']';
    };
    for (int r = 0; r < 4; ++r)
        list.append({idx("IPAR", r), m.ipar});
    for (int r = 0; r < 6; ++r)
        list.append({idx("BRTM", r), m.brtm});
    for (int r = 0; r < 12; ++r)
        list.append({idx("V2P", r), 2});
    for (int p = 0; p < 8; ++p) {
        list.append({idx("PNAM", p), -1});
        for (auto [base, n] : {QPair<const char*, int>{"PMOD", 1},
                               {"PFLG", 1},
                               {"PPAR", 4},
                               {"PPRE", 3},
                               {"PLCK", 2},
                               {"PTCR", 1},
                               {"PTFR", 5}})
            list.append({idx(base, p), n});
    }
    return list;
}

int fieldCount(const QByteArray& value) {
    return value.isEmpty() ? 0 : int(value.count(',')) + 1;
}

} // namespace

class TestEmuProtocol : public QObject {
    Q_OBJECT
private slots:
    void catalogueOfEveryModel();
    void writesAndRefusals();
    void lineHandling();
    void logoLines();
    void screenLines();
    void busyBeforeScreenLines();
    void actions();
    void stateFile();
    void stopsQuickly();
};

void TestEmuProtocol::catalogueOfEveryModel() {
    for (const ModelCounts& m : Models) {
        TDeviceEmulator emu(m.id, "1.6.0");
        QVERIFY(emu.start());
        PtyClient c(emu.slavePath());
        QVERIFY(c.ok());
        const auto list = catalogue(m);
        for (const auto& [name, count] : list) {
            const QByteArray answer = c.ask(name + '?');
            QVERIFY2(answer.startsWith(name + '='), answer.constData());
            const QByteArray value = answer.mid(name.size() + 1);
            if (count >= 0)
                QCOMPARE(fieldCount(value), count);
            QCOMPARE(emu.value(name), value);
            QVERIFY(emu.parameterNames().contains(QString::fromLatin1(name)));
        }
        for (const char* live : {"LNRG", "ATM", "LATM", "TEMP", "AERR", "PRT", "KEYS"})
            QVERIFY2(c.ask(QByteArray(live) + '?').startsWith(live), live);
        const int cells = m.id == 3 ? 1 : m.id == 5 ? 3 : 2;
        QCOMPARE(fieldCount(c.ask("BVLT?").mid(5)), cells + 1);
        QCOMPARE(fieldCount(c.ask("BPER?").mid(5)), cells + 1);
        QCOMPARE(c.ask("VER?"), QByteArray("VER=1.6.0"));
        QCOMPARE(c.ask("ID?"), "ID=" + QByteArray::number(m.id));
    }
    // A few factory values, and the RGB column on the colour-LED model only.
    TDeviceEmulator emu(4);
    QCOMPARE(emu.value("FLGS"), QByteArray("96"));
    QCOMPARE(emu.value("KACT"), QByteArray("0,1,0,2,3,4,8,0"));
    QCOMPARE(emu.value("BRTM[3]"), QByteArray("25,60,32768"));
    QCOMPARE(emu.value("IPAR[2]"), QByteArray("1,2,5,13,14"));
    QCOMPARE(emu.value("V2P[11]"), QByteArray("9000,250"));
    QCOMPARE(emu.value("PNAM[7]"), QByteArray("PROFILE8"));
    QCOMPARE(emu.value("PPAR[3]"), QByteArray("420,400,400,220"));
    QCOMPARE(TDeviceEmulator(1).value("BRTM[3]"), QByteArray("25,60"));
    QCOMPARE(TDeviceEmulator(3).value("IPAR[3]"), QByteArray("12,8,21"));
    QVERIFY(emu.value("NOPE").isEmpty());
}

void TestEmuProtocol::writesAndRefusals() {
    TDeviceEmulator emu(4);
    QVERIFY(emu.start());
    PtyClient c(emu.slavePath());
    QCOMPARE(c.ask("LSCR=1,2,3,4"), QByteArray("OK"));
    QCOMPARE(c.ask("LSCR?"), QByteArray("LSCR=1,2,3,4"));
    const QByteArray refused[] = {"LSCR=1,2,3,4,5,6,7,8", // the count of another model
                                  "BRTM[0]=1,2",          // RGB rows carry three values here
                                  "KACT=1,x",
                                  "KACT=1,2,3,4,5,6,7,2147483648",
                                  "PID=1,,3",
                                  "PID= 1,2,3",
                                  "VER=9.9.9",
                                  "ID=2",
                                  "BNRG=5",
                                  "ATM=1,2,3,4,5,6",
                                  "NOPE=1",
                                  "NOPE?",
                                  "NOPE",
                                  "PROF=8",
                                  "KEYS=-1,0,0",
                                  "KEYS=1,0",
                                  "LOGO[32]?",
                                  "LOGO[01]?",
                                  "SCR[10]?"};
    for (const QByteArray& line : refused)
        QVERIFY2(c.ask(line) == "ERROR", line.constData());
    QCOMPARE(c.ask("KACT=-5,1,0,2,3,4,8,2147483647"), QByteArray("OK"));
    QCOMPARE(c.ask("KACT?"), QByteArray("KACT=-5,1,0,2,3,4,8,2147483647"));
    QCOMPARE(c.ask("PNAM[2]=A=B,C"), QByteArray("OK"));
    QCOMPARE(c.ask("PNAM[2]?"), QByteArray("PNAM[2]=A=B,C"));
    QCOMPARE(c.ask("PNAM[3]="), QByteArray("OK"));
    QCOMPARE(c.ask("PNAM[3]?"), QByteArray("PNAM[3]="));

    TDeviceEmulator one(1);
    QVERIFY(one.start());
    PtyClient c1(one.slavePath());
    QCOMPARE(c1.ask("BRTM[0]=1,2,3"), QByteArray("ERROR"));
    QCOMPARE(c1.ask("BRTM[0]=1,2"), QByteArray("OK"));
    QCOMPARE(c1.ask("IPAR[0]=1,2,3,4,5"), QByteArray("ERROR"));

    TDeviceEmulator unknown(0); // no logo slots: an empty list is the only right value
    QVERIFY(unknown.start());
    PtyClient c0(unknown.slavePath());
    QCOMPARE(c0.ask("LSCR?"), QByteArray("LSCR="));
    QCOMPARE(c0.ask("LSCR=0"), QByteArray("ERROR"));
    QCOMPARE(c0.ask("LSCR="), QByteArray("OK"));
}

void TestEmuProtocol::lineHandling() {
    TDeviceEmulator emu(1);
    QVERIFY(emu.start());
    PtyClient c(emu.slavePath());
    c.send("\r\r\r"); // a flush: nothing comes back
    QVERIFY(c.readQuiet(150).isEmpty());
    c.send("\n  VER? \t\rID?\r"); // trimmed, and two requests in one write
    const QByteArray both =
        c.readUntil([](const QByteArray& b) { return b.count('\r') >= 2; }, 2000);
    QCOMPARE(both, QByteArray("VER=1.5.1\rID=1\r"));
    const auto trace = emu.trace();
    QCOMPARE(trace.size(), 7);
    for (int i = 0; i < 3; ++i)
        QVERIFY(trace[i].received && trace[i].line.isEmpty());
    QVERIFY(trace[3].received && trace[3].line == "VER?");
    QVERIFY(!trace[4].received && trace[4].line == "VER=1.5.1");
    QVERIFY(trace[5].received && trace[5].line == "ID?");
    for (int i = 1; i < trace.size(); ++i)
        QVERIFY(trace[i].nsecs >= trace[i - 1].nsecs);
    emu.clearTrace();
    QVERIFY(emu.trace().isEmpty());
}

void TestEmuProtocol::logoLines() {
    TDeviceEmulator emu(1);
    QVERIFY(emu.start());
    PtyClient c(emu.slavePath());
    const QByteArray white = QByteArray(128, char(0xFF)).toBase64();
    QCOMPARE(white.size(), 172);
    for (int k : {0, 31}) {
        const QByteArray name = "LOGO[" + QByteArray::number(k) + "]";
        QCOMPARE(c.ask(name + '?'), name + '=' + QByteArray(128, '\0').toBase64());
        QCOMPARE(c.ask(name + '=' + white), QByteArray("OK"));
        QCOMPARE(c.ask(name + '?'), name + '=' + white);
    }
    QCOMPARE(c.ask("LOGO[1]=" + QByteArray(127, 'x').toBase64()), QByteArray("ERROR"));
    QCOMPARE(c.ask("LOGO[1]=" + QByteArray(129, 'x').toBase64()), QByteArray("ERROR"));
    QCOMPARE(c.ask("LOGO[1]=" + white.left(170) + "!="), QByteArray("ERROR"));
    QCOMPARE(c.ask("LRST"), QByteArray("OK"));
    QCOMPARE(emu.value("LOGO[0]"), white);
}

namespace {
QByteArray screenBytes(PtyClient& c, int q) {
    const QByteArray name = "SCR[" + QByteArray::number(q) + "]";
    const QByteArray answer = c.ask(name + '?');
    return QByteArray::fromBase64(answer.mid(name.size() + 1));
}
bool bit(const QByteArray& line, int byte, int j) {
    return (quint8(line.at(byte)) >> j) & 1;
}
} // namespace

void TestEmuProtocol::screenLines() {
    // Monochrome, column packing: the battery frame's corner (row 2, column 100) is byte 100
    // bit 2 of line 0; the frame's inside (row 3, column 101) is dark.
    TDeviceEmulator mono(1);
    QVERIFY(mono.start());
    PtyClient c(mono.slavePath());
    QByteArray picture;
    for (int q = 0; q < 4; ++q) {
        const QByteArray line = screenBytes(c, q);
        QCOMPARE(line.size(), 128);
        picture += line;
    }
    QVERIFY(bit(picture, 100, 2));
    QVERIFY(!bit(picture, 101, 3));
    QVERIFY(picture.count('\0') < 128 * 4); // something is drawn
    QCOMPARE(c.ask("SCR[4]?"), QByteArray("ERROR"));
    QCOMPARE(c.ask("PPAR[0]=420,555,400,220"), QByteArray("OK")); // 40.0 W -> 55.5 W
    QByteArray after;
    for (int q = 0; q < 4; ++q)
        after += screenBytes(c, q);
    QVERIFY(after != picture);
    QCOMPARE(after.mid(96, 32), picture.mid(96, 32)); // the battery did not change

    // Colour, row packing: row 2, column 100 is byte 2 * 16 + 12, bit 4; then two colour
    // lines of 64 cells in 5-6-5, the battery cells (columns 96..127) green.
    TDeviceEmulator colour(4);
    QVERIFY(colour.start());
    PtyClient cc(colour.slavePath());
    QVERIFY(bit(screenBytes(cc, 0), 44, 4));
    const QByteArray cells = screenBytes(cc, 8);
    QCOMPARE(cells.size(), 128);
    QCOMPARE(quint8(cells.at(0)), quint8(0xFF));
    QCOMPARE(quint8(cells.at(2 * 12)), quint8(0x07));
    QCOMPARE(quint8(cells.at(2 * 12 + 1)), quint8(0xE0));
    QCOMPARE(screenBytes(cc, 9).size(), 128);
    QCOMPARE(cc.ask("SCR[10]?"), QByteArray("ERROR"));
}

void TestEmuProtocol::busyBeforeScreenLines() {
    TDeviceEmulator emu(1);
    TEmuFaults f;
    f.busyCount = 2;
    emu.setFaults(f);
    QVERIFY(emu.start());
    PtyClient c(emu.slavePath());
    for (int round = 0; round < 2; ++round) { // every capture meets the BUSY answers again
        QCOMPARE(c.ask("SCR[1]?"), QByteArray("SCR[1]=BUSY"));
        QCOMPARE(c.ask("SCR[1]?"), QByteArray("SCR[1]=BUSY"));
        QCOMPARE(c.ask("SCR[1]?").size(), 7 + 172);
    }
    QCOMPARE(c.ask("ID?"), QByteArray("ID=1"));
    QCOMPARE(c.ask("LOGO[0]?").size(), 8 + 172);
}

void TestEmuProtocol::actions() {
    TDeviceEmulator emu(2);
    QVERIFY(emu.start());
    PtyClient c(emu.slavePath());
    QCOMPARE(c.ask("PRT?"), QByteArray("PRT=500,22"));
    QVERIFY(emu.setValue("EMU.COIL", "650,19")); // another coil, measured on "PRT"
    QCOMPARE(c.ask("PRT?"), QByteArray("PRT=500,22"));
    QCOMPARE(c.ask("PRT"), QByteArray("OK"));
    QCOMPARE(c.ask("PRT?"), QByteArray("PRT=650,19"));
    QVERIFY(emu.setValue("PRT", "512,23")); // the coil and its last measurement at once
    QCOMPARE(c.ask("PRT"), QByteArray("OK"));
    QCOMPARE(c.ask("PRT?"), QByteArray("PRT=512,23"));
    QCOMPARE(c.ask("FLGS=97"), QByteArray("OK"));
    QCOMPARE(c.ask("MRST"), QByteArray("OK"));
    QCOMPARE(c.ask("FLGS?"), QByteArray("FLGS=97")); // a restart keeps the settings
    QCOMPARE(c.ask("SRST"), QByteArray("OK"));
    QCOMPARE(c.ask("FLGS?"), QByteArray("FLGS=96"));
    QVERIFY(emu.setValue("EMU.CHARGE", "3000"));
    QVERIFY(c.ask("BPER?") == "BPER=30,30,30");
    QCOMPARE(c.ask("BCAL"), QByteArray("OK"));
    QCOMPARE(c.ask("BPER?"), QByteArray("BPER=100,100,100"));
    QCOMPARE(c.ask("BVLT?"), QByteArray("BVLT=840,420,420"));
    QCOMPARE(c.ask("EMU.COIL?"), QByteArray("ERROR")); // host-side values stay off the wire
    QCOMPARE(c.ask("BOOT"), QByteArray("OK"));
    QVERIFY(emu.inBootLoader());
    QVERIFY(c.ask("ID?", 200).isEmpty());
    emu.leaveBootLoader();
    QCOMPARE(c.ask("ID?"), QByteArray("ID=2"));
}

void TestEmuProtocol::stateFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("state.txt");
    TDeviceEmulator a(4, "1.7.0");
    QVERIFY(a.setValue("PNAM[1]", "COIL"));
    QVERIFY(a.setValue("LSCR", "1,2,3,4"));
    QVERIFY(a.setValue("LOGO[5]", QByteArray(128, char(0x55)).toBase64()));
    QVERIFY(a.saveState(path));

    TDeviceEmulator b(1);
    QString error;
    QVERIFY2(b.loadState(path, &error), qPrintable(error));
    QCOMPARE(b.modelId(), 4); // the image carries its model and version
    QCOMPARE(b.value("VER"), QByteArray("1.7.0"));
    QCOMPARE(b.value("PNAM[1]"), QByteArray("COIL"));
    QCOMPARE(b.value("LSCR"), QByteArray("1,2,3,4"));
    QCOMPARE(b.value("BRTM[0]"), QByteArray("100,10,31744"));
    QCOMPARE(b.value("LOGO[5]"), a.value("LOGO[5]"));

    QFile bad(dir.filePath("bad.txt"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("# comment\nFLGS=1\nPID=1,2\n");
    bad.close();
    QVERIFY(!b.loadState(bad.fileName(), &error));
    QVERIFY(error.contains("line 3"));
    QCOMPARE(b.value("FLGS"), QByteArray("96")); // all or nothing
    QVERIFY(!b.loadState(dir.filePath("missing.txt"), &error));
}

void TestEmuProtocol::stopsQuickly() {
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 20; ++i) {
        TDeviceEmulator emu(1);
        QVERIFY(emu.start());
        QVERIFY(emu.running());
        PtyClient c(emu.slavePath());
        QCOMPARE(c.ask("ID?"), QByteArray("ID=1"));
        if (i % 2)
            emu.stop(); // otherwise the destructor stops it
        QVERIFY(i % 2 == 0 || !emu.running());
    }
    QVERIFY(timer.elapsed() < 5000); // no poll timeouts in the way of stopping
}

QTEST_GUILESS_MAIN(TestEmuProtocol)
#include "test_protocol.moc"
