// Display byte packings, payload coding and cell colours.

#include "display/packing.h"

#include <QRandomGenerator>
#include <QtTest>

#include <memory>

class TestPacking : public QObject {
    Q_OBJECT
private slots:
    void columnPacking();
    void rowPacking();
    void packUnpackRoundTrip_data();
    void packUnpackRoundTrip();
    void allWhiteAndBlackLines();
    void payloadDecodingIsStrict();
    void unpackRefusesWrongLength();
    void colors565_data();
    void colors565();
    void cellOfPixel();
};

void TestPacking::columnPacking() {
    // byte = column, bit = row within the line, bit 0 on top
    QCOMPARE(PackedPixel(false, 0, 0).row, 0);
    QCOMPARE(PackedPixel(false, 0, 0).col, 0);
    QCOMPARE(PackedPixel(false, 127, 7).row, 7);
    QCOMPARE(PackedPixel(false, 127, 7).col, 127);
    QCOMPARE(PackedPixel(false, 40, 3).col, 40);
    QCOMPARE(PackedPixel(false, 40, 3).row, 3);
}

void TestPacking::rowPacking() {
    // byte 17 bit 2: row 1 of the line, column 8 * 1 + 2
    QCOMPARE(PackedPixel(true, 17, 2).row, 1);
    QCOMPARE(PackedPixel(true, 17, 2).col, 10);
    QCOMPARE(PackedPixel(true, 0, 0).col, 0);   // bit 0 is the leftmost pixel
    QCOMPARE(PackedPixel(true, 127, 7).row, 7); // last byte: last row, column 127
    QCOMPARE(PackedPixel(true, 127, 7).col, 127);
}

void TestPacking::packUnpackRoundTrip_data() {
    QTest::addColumn<bool>("rowPacking");
    QTest::newRow("column") << false;
    QTest::newRow("row") << true;
}

void TestPacking::packUnpackRoundTrip() {
    QFETCH(bool, rowPacking);
    auto picture = std::make_unique<TPicture>();
    QRandomGenerator random(7);
    for (auto& row : *picture)
        for (auto& pixel : row)
            pixel = random.bounded(2) ? PixelOn : PixelOff;
    const int line = 3;
    const QByteArray bytes = PackLine(*picture, line, rowPacking);
    QCOMPARE(bytes.size(), 128);
    // every pixel of the line is covered exactly once
    QSet<int> seen;
    int wrong = 0;
    QVERIFY(UnpackLine(bytes, rowPacking, [&](int r, int c, bool lit) {
        seen.insert(r * 128 + c);
        if ((*picture)[line * 8 + r][c] != (lit ? PixelOn : PixelOff))
            ++wrong;
    }));
    QCOMPARE(seen.size(), 1024);
    QCOMPARE(wrong, 0);
}

void TestPacking::allWhiteAndBlackLines() {
    auto picture = std::make_unique<TPicture>();
    const QByteArray black = PackLine(*picture, 0, false);
    QCOMPARE(black, QByteArray(128, '\0'));
    for (auto& row : *picture)
        row.fill(PixelOn);
    const QByteArray white = PackLine(*picture, 2, true);
    QCOMPARE(white, QByteArray(128, char(0xFF)));
    const QString text = EncodePayload(white);
    QCOMPARE(text.size(), 172);
    QVERIFY(text.endsWith(QLatin1Char('=')) && !text.endsWith(QLatin1String("==")));
    QByteArray back;
    QVERIFY(DecodePayload(text, back));
    QCOMPARE(back, white);
}

void TestPacking::payloadDecodingIsStrict() {
    QByteArray bytes;
    QVERIFY(DecodePayload(QStringLiteral("AAEC"), bytes));
    QCOMPARE(bytes, QByteArray("\x00\x01\x02", 3));
    QVERIFY(DecodePayload(QString(), bytes)); // a failed read: decodes to nothing
    QVERIFY(bytes.isEmpty());
    QVERIFY(!DecodePayload(QStringLiteral("AA*C"), bytes));
    QVERIFY(!DecodePayload(QStringLiteral("BUSY!"), bytes));
    QVERIFY(!DecodePayload(QStringLiteral("AAE=C"), bytes)); // data after padding
    QVERIFY(!DecodePayload(QString::fromUtf8("AA\xc3\xa9"
                                             "C"),
                           bytes));
    QVERIFY(!DecodePayload(QStringLiteral("AA-_"), bytes)); // URL alphabet
}

void TestPacking::unpackRefusesWrongLength() {
    int calls = 0;
    const auto count = [&](int, int, bool) { ++calls; };
    QVERIFY(!UnpackLine(QByteArray(127, '\0'), false, count));
    QVERIFY(!UnpackLine(QByteArray(129, '\0'), true, count));
    QVERIFY(!UnpackLine(QByteArray(), true, count));
    QCOMPARE(calls, 0);
}

void TestPacking::colors565_data() {
    QTest::addColumn<int>("word");
    QTest::addColumn<int>("red");
    QTest::addColumn<int>("green");
    QTest::addColumn<int>("blue");
    QTest::newRow("F8 00 red") << 0xF800 << 255 << 0 << 0;
    QTest::newRow("07 E0 green") << 0x07E0 << 0 << 255 << 0;
    QTest::newRow("00 1F blue") << 0x001F << 0 << 0 << 255;
    QTest::newRow("FF FF white") << 0xFFFF << 255 << 255 << 255;
    QTest::newRow("84 10") << 0x8410 << 132 << 129 << 132;
    QTest::newRow("green 20") << (20 << 5) << 0 << 81 << 0;
    QTest::newRow("red 1") << (1 << 11) << 8 << 0 << 0;
}

void TestPacking::colors565() {
    QFETCH(int, word);
    QFETCH(int, red);
    QFETCH(int, green);
    QFETCH(int, blue);
    const quint32 color = ColorFrom565(quint16(word));
    QCOMPARE(int(color & 0xFF), red); // red in the low byte
    QCOMPARE(int((color >> 8) & 0xFF), green);
    QCOMPARE(int((color >> 16) & 0xFF), blue);
    QCOMPARE(color >> 24, 0u);
}

void TestPacking::cellOfPixel() {
    QCOMPARE(ScreenCellOf(20, 37), 2 * 16 + 4);
    QCOMPARE(ScreenCellOf(0, 0), 0);
    QCOMPARE(ScreenCellOf(63, 127), 127);
}

QTEST_GUILESS_MAIN(TestPacking)
#include "test_packing.moc"
