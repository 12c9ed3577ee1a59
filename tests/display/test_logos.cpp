// Logo download and upload against the virtual device.

#include "common/emulink.h"
#include "display/displaydata.h"
#include "display/packing.h"
#include "display/transfers.h"
#include "link/transport.h"
#include "settings/models.h"
#include "settings/settings.h"

#include <QRandomGenerator>
#include <QtTest>

#include <memory>

namespace {

QByteArray Line(std::initializer_list<std::pair<int, int>> bits) { // (byte, bit) pairs
    QByteArray bytes(128, '\0');
    for (const auto& [b, j] : bits)
        bytes[b] = char(quint8(bytes[b]) | (1u << j));
    return bytes.toBase64();
}

int LitPixels(int slot) {
    int lit = 0;
    for (const auto& row : LogoImages[slot])
        for (quint32 px : row)
            lit += px == PixelOn;
    return lit;
}

void RandomLogo(int slot, quint32 seed) {
    QRandomGenerator random(seed);
    for (auto& row : LogoImages[slot])
        for (auto& px : row)
            px = random.bounded(2) ? PixelOn : PixelOff;
}

void RandomLogos(quint32 seed) {
    for (int s = 0; s < LogoSlots; ++s)
        RandomLogo(s, seed + quint32(s));
}

QList<QByteArray> Named(const QList<QByteArray>& lines, const QByteArray& prefix) {
    QList<QByteArray> out;
    for (const auto& line : lines)
        if (line.startsWith(prefix))
            out.append(line);
    return out;
}

} // namespace

class TestLogos : public QObject {
    Q_OBJECT
private slots:
    void init();
    void columnPackingLine5();
    void rowPackingLine9();
    void whiteSlotUpload();
    void fourSlotModelWritesFourScreens();
    void unchangedLogosCostReadsOnly();
    void roundTripThroughDevice_data();
    void roundTripThroughDevice();
    void failedDownloadKeepsLogos_data();
    void failedDownloadKeepsLogos();
    void modelWithoutDisplayIsRefused();
};

void TestLogos::init() {
    ResetDisplayData();
    Settings = TSettings{};
}

void TestLogos::columnPackingLine5() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    SelectModel(1);
    QVERIFY(link.emu().setValue("LOGO[5]", Line({{0, 0}, {127, 7}, {64, 3}})));
    QVERIFY(link.emu().setValue("LSCR", "1,2,3,4,5,6,7,35"));
    QVERIFY(ReadLogos());
    // line 5 of a 32-row model: slot 1, line 1, rows 8 to 15
    QCOMPARE(LogoImages[1][8][0], PixelOn);
    QCOMPARE(LogoImages[1][15][127], PixelOn);
    QCOMPARE(LogoImages[1][11][64], PixelOn);
    QCOMPARE(LitPixels(1), 3);
    for (int s : {0, 2, 3, 4, 5, 6, 7})
        QCOMPARE(LitPixels(s), 0);
    QCOMPARE(Settings.logoScreen, (std::array<qint32, 8>{1, 2, 3, 4, 5, 6, 7, 35}));
    QCOMPARE(PortBusy(), 0);
    QCOMPARE(Named(link.received(), "LOGO[").size(), 32);
}

void TestLogos::rowPackingLine9() {
    EmuLink link(2);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    SelectModel(2);
    QVERIFY(link.emu().setValue("LOGO[9]", Line({{17, 2}})));
    QVERIFY(link.emu().setValue("LOGO[31]", Line({{127, 7}})));
    QVERIFY(ReadLogos());
    // line 9 of a 64-row model: slot 1, rows 8 to 15; byte 17 bit 2 is row 9, column 10
    QCOMPARE(LogoImages[1][9][10], PixelOn);
    QCOMPARE(LitPixels(1), 1);
    QCOMPARE(LogoImages[3][63][127], PixelOn); // the last line: slot 3, rows 56 to 63
    QCOMPARE(LitPixels(3), 1);
}

void TestLogos::whiteSlotUpload() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    SelectModel(1);
    ClearLogo(2, 32);
    Settings.logoScreen = {0, 1, 2, 3, 4, 5, 6, 7};
    QVERIFY(WriteLogos());
    const auto received = link.received();
    QCOMPARE(received.first(), QByteArray("LRST"));
    const auto writes = link.writes();
    QCOMPARE(writes.first(), QByteArray("LSCR=0,1,2,3,4,5,6,7"));
    const auto logos = Named(writes, "LOGO[");
    QCOMPARE(logos.size(), 4); // lines 8 to 11; the black ones match the reset device
    for (int i = 0; i < 4; ++i) {
        const QByteArray prefix = "LOGO[" + QByteArray::number(8 + i) + "]=";
        QVERIFY(logos[i].startsWith(prefix));
        const QByteArray text = logos[i].mid(prefix.size());
        QCOMPARE(text.size(), 172);
        QVERIFY(text.endsWith('=') && !text.endsWith("=="));
        QCOMPARE(QByteArray::fromBase64(text), QByteArray(128, char(0xFF)));
    }
    QCOMPARE(link.emu().value("LOGO[9]"), QByteArray(128, char(0xFF)).toBase64());
    QCOMPARE(link.emu().value("LSCR"), QByteArray("0,1,2,3,4,5,6,7"));
}

void TestLogos::fourSlotModelWritesFourScreens() {
    EmuLink link(4);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    SelectModel(4);
    Settings.logoScreen = {9, 8, 7, 6, 5, 4, 3, 2};
    QVERIFY(WriteLogos());
    QCOMPARE(Named(link.writes(), "LSCR"), QList<QByteArray>{"LSCR=9,8,7,6"});
}

void TestLogos::unchangedLogosCostReadsOnly() {
    // Logos the device already holds need no write at all, only the 32 + 1 reads.
    EmuLink link(3);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    SelectModel(3);
    RandomLogo(0, 3);
    RandomLogo(7, 4);
    Settings.logoScreen = {1, 0, 0, 0, 0, 0, 0, 2};
    QVERIFY(WriteLogos());
    QVERIFY(!link.writes().isEmpty());
    link.emu().clearTrace();
    QVERIFY(WriteLogos());
    QVERIFY(link.writes().isEmpty());
    QCOMPARE(Named(link.received(), "LOGO[").size(), 32);
}

void TestLogos::roundTripThroughDevice_data() {
    QTest::addColumn<int>("model");
    QTest::newRow("128x32 column packing") << 1;
    QTest::newRow("128x64 row packing") << 5;
}

void TestLogos::roundTripThroughDevice() {
    QFETCH(int, model);
    EmuLink link(model);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    SelectModel(model);
    const int rows = ModInfo.scrHeight;
    const int slotCount = ModInfo.numLogo;
    RandomLogo(0, 1); // the first and the last slot: each written line costs 100 ms
    RandomLogo(slotCount - 1, 2);
    const auto sent = std::make_unique<TLogoSet>(LogoImages);
    QVERIFY(WriteLogos());
    // the lines the device holds are the packed lines of each slot
    const int p = rows / 8;
    QCOMPARE(link.emu().value("LOGO[" + QByteArray::number(p + 1) + "]"),
             PackLine(LogoImages[1], 1, ModInfo.scrColor).toBase64());
    ResetDisplayData();
    QVERIFY(ReadLogos());
    int wrong = 0;
    for (int s = 0; s < slotCount; ++s)
        for (int r = 0; r < rows; ++r)
            wrong += LogoImages[s][r] != (*sent)[s][r];
    QCOMPARE(wrong, 0);
}

void TestLogos::failedDownloadKeepsLogos_data() {
    QTest::addColumn<QByteArray>("short_line"); // a LOGO[7] answer of the wrong length
    QTest::addColumn<int>("silentAfter");
    QTest::newRow("127 bytes") << QByteArray(127, 'x').toBase64() << -1;
    QTest::newRow("129 bytes") << QByteArray(129, 'x').toBase64() << -1;
    QTest::newRow("not base64") << QByteArray("BUSY") << -1;
    QTest::newRow("device stops") << QByteArray() << 6;
}

void TestLogos::failedDownloadKeepsLogos() {
    QFETCH(QByteArray, short_line);
    QFETCH(int, silentAfter);
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    SelectModel(1);
    QVERIFY(link.emu().setValue("LSCR", "5,5,5,5,5,5,5,5"));
    RandomLogos(99);
    const auto before = std::make_unique<TLogoSet>(LogoImages);
    Settings.logoScreen = {1, 2, 3, 4, 5, 6, 7, 8};
    TEmuFaults faults;
    if (!short_line.isEmpty()) {
        faults.malformedFor = "LOGO[7]";
        faults.malformedValue = short_line;
    }
    faults.silentAfter = silentAfter;
    link.emu().setFaults(faults);
    QVERIFY(!ReadLogos());
    QCOMPARE(PortBusy(), 0);
    QVERIFY(LogoImages == *before);
    QCOMPARE(Settings.logoScreen, (std::array<qint32, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
    // the failure ends the traffic: no line after LOGO[7] is asked for
    QVERIFY(!link.received().contains("LOGO[8]?"));
}

void TestLogos::modelWithoutDisplayIsRefused() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    // no model read yet: ModInfo holds the start-up zeros
    QString refusal;
    QVERIFY(!ReadLogos(&refusal));
    QVERIFY(!refusal.isEmpty());
    refusal.clear();
    QVERIFY(!WriteLogos(&refusal));
    QVERIFY(!refusal.isEmpty());
    QVERIFY(!ReadScreen(&refusal));
    QVERIFY(link.received().isEmpty());
    QCOMPARE(PortBusy(), 0);
    SelectModel(1);
    QVERIFY(DisplayRefusal().isEmpty());
}

QTEST_GUILESS_MAIN(TestLogos)
#include "test_logos.moc"
