// Screenshots against the virtual device: line order, both packings, cell colours, "BUSY".

#include "common/emulink.h"
#include "display/displaydata.h"
#include "display/packing.h"
#include "display/transfers.h"
#include "link/transport.h"
#include "settings/models.h"

#include <QtTest>

#include <memory>

namespace {

QList<QByteArray> ScreenRequests(const EmuLink& link) {
    QList<QByteArray> out;
    const auto lines = link.received();
    for (const auto& line : lines)
        if (line.startsWith("SCR["))
            out.append(line);
    return out;
}

// Whether the device's line q shows pixel (r, c) lit, decoded here from the wire text.
bool DeviceLit(TDeviceEmulator& emu, bool color, int r, int c) {
    const QByteArray bytes =
        QByteArray::fromBase64(emu.value("SCR[" + QByteArray::number(r / 8) + "]"));
    const int b = color ? (r % 8) * 16 + c / 8 : c;
    const int j = color ? c % 8 : r % 8;
    return (quint8(bytes.at(b)) >> j) & 1;
}

// Colours with a different 5-6-5 word per cell, as the two colour lines carry them.
QByteArray CellColorLine(int t) {
    QByteArray bytes(128, '\0');
    for (int d = 0; d < 64; ++d) {
        const quint16 word = quint16(((t * 64 + d) * 0x0421 + 0x1234) & 0xFFFF);
        bytes[2 * d] = char(word >> 8);
        bytes[2 * d + 1] = char(word & 0xFF);
    }
    return bytes;
}

quint32 CellColor(int cell) {
    const QByteArray line = CellColorLine(cell / 64);
    const int d = cell % 64;
    return ColorFrom565(quint16((quint8(line[2 * d]) << 8) | quint8(line[2 * d + 1])));
}

} // namespace

class TestScreen : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetDisplayData(); }
    void monochromeReadsFourLines();
    void colourReadsColoursFirst();
    void busyGivesTheSamePicture();
    void endlessBusyFails();
    void wrongLengthLineFails();
};

void TestScreen::monochromeReadsFourLines() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    SelectModel(1);
    ScreenImage[40][5] = 0x123456; // below the display: left alone
    QVERIFY(ReadScreen());
    QCOMPARE(ScreenRequests(link), (QList<QByteArray>{"SCR[0]?", "SCR[1]?", "SCR[2]?", "SCR[3]?"}));
    int wrong = 0, lit = 0;
    for (int r = 0; r < 32; ++r)
        for (int c = 0; c < 128; ++c) {
            const bool on = DeviceLit(link.emu(), false, r, c);
            lit += on;
            wrong += ScreenImage[r][c] != (on ? PixelOn : PixelOff);
        }
    QCOMPARE(wrong, 0);
    QVERIFY(lit > 50); // the device shows something
    QCOMPARE(ScreenImage[40][5], 0x123456u);
    QCOMPARE(ScreenColors[0], 0u);
}

void TestScreen::colourReadsColoursFirst() {
    EmuLink link(2);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    SelectModel(2);
    QVERIFY(link.emu().setValue("FLGS", "352")); // inverted display: mostly lit
    TEmuFaults faults;
    faults.malformedFor = "SCR[8]";
    faults.malformedValue = CellColorLine(0).toBase64();
    link.emu().setFaults(faults);
    QVERIFY(ReadScreen());
    QCOMPARE(ScreenRequests(link),
             (QList<QByteArray>{"SCR[8]?", "SCR[9]?", "SCR[0]?", "SCR[1]?", "SCR[2]?", "SCR[3]?",
                                "SCR[4]?", "SCR[5]?", "SCR[6]?", "SCR[7]?"}));
    for (int e = 0; e < 64; ++e)
        QCOMPARE(ScreenColors[e], CellColor(e));
    // the second colour line comes from the device itself: battery cells green, rest white
    QCOMPARE(ScreenColors[64], 0xFFFFFFu);
    // row 20, column 37 lies in cell 2 x 16 + 4
    QVERIFY(DeviceLit(link.emu(), true, 20, 37));
    QCOMPARE(ScreenImage[20][37], CellColor(36));
    int wrong = 0;
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 128; ++c) {
            const bool on = DeviceLit(link.emu(), true, r, c);
            wrong += ScreenImage[r][c] != (on ? ScreenColors[ScreenCellOf(r, c)] : PixelOff);
        }
    QCOMPARE(wrong, 0);
}

void TestScreen::busyGivesTheSamePicture() {
    EmuLink link(4);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    SelectModel(4);
    QVERIFY(ReadScreen());
    const auto direct = std::make_unique<TPicture>(ScreenImage);
    const auto colors = ScreenColors;
    ResetDisplayData();
    link.emu().clearTrace();
    TEmuFaults faults;
    faults.busyCount = 2;
    link.emu().setFaults(faults);
    QVERIFY(ReadScreen());
    QCOMPARE(ScreenRequests(link).size(), 3 * 10);
    QVERIFY(ScreenImage == *direct);
    QVERIFY(ScreenColors == colors);
    QCOMPARE(PortBusy(), 0);
}

void TestScreen::endlessBusyFails() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    SelectModel(1);
    TEmuFaults faults;
    faults.busyCount = 100000;
    link.emu().setFaults(faults);
    QVERIFY(!ReadScreen());
    QCOMPARE(PortBusy(), 0);
    const auto requests = ScreenRequests(link);
    QVERIFY(requests.size() <= ScreenBusyLimit + 1);
    QVERIFY(!requests.contains("SCR[1]?"));
}

void TestScreen::wrongLengthLineFails() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    SelectModel(1);
    TEmuFaults faults;
    faults.malformedFor = "SCR[1]";
    faults.malformedValue = QByteArray(120, '\xFF').toBase64();
    link.emu().setFaults(faults);
    QVERIFY(!ReadScreen());
    QCOMPARE(PortBusy(), 0);
    QVERIFY(LinkLost);
    QVERIFY(!ScreenRequests(link).contains("SCR[2]?"));
    // the line before the bad one was stored, the bad one was not
    int wrong = 0;
    for (int c = 0; c < 128; ++c) {
        for (int r = 0; r < 8; ++r)
            wrong += ScreenImage[r][c] != (DeviceLit(link.emu(), false, r, c) ? PixelOn : 0u);
        wrong += ScreenImage[8][c] != PixelOff;
    }
    QCOMPARE(wrong, 0);
}

QTEST_GUILESS_MAIN(TestScreen)
#include "test_screen.moc"
