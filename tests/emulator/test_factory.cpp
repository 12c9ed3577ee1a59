// The virtual device's factory image, downloaded through the app's own transfer, is the
// app's default image: the two tables are written independently and must not drift apart.

#include "common/emulink.h"
#include "settings/models.h"
#include "settings/settings.h"
#include "settings/transfer.h"

#include <QTest>

class TestEmuFactory : public QObject {
    Q_OBJECT
private slots:
    void factoryImageIsTheDefaultImage_data();
    void factoryImageIsTheDefaultImage();
};

void TestEmuFactory::factoryImageIsTheDefaultImage_data() {
    QTest::addColumn<int>("model");
    QTest::newRow("unknown device, no logo slots") << 0;
    QTest::newRow("one cell, 128 x 32") << 3;
    QTest::newRow("colour LED rows") << 4;
}

void TestEmuFactory::factoryImageIsTheDefaultImage() {
    QFETCH(int, model);
    EmuLink link(model);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    Settings = DefaultSettings();
    QVERIFY(ReadDeviceSettings());

    TSettings expected = DefaultSettings();
    expected.ID = model;
    expected.Version = QStringLiteral("1.5.1");
    if (!ModInfo.rgbColor)
        for (auto& row : expected.brTime)
            row[2] = 0; // not transferred: a download clears it
    for (int p = 0; p < 8; ++p)
        QCOMPARE(Settings.profile[p], expected.profile[p]);
    QCOMPARE(Settings.indPar, expected.indPar);
    QCOMPARE(Settings.brTime, expected.brTime);
    QCOMPARE(Settings.v2p, expected.v2p);
    QCOMPARE(Settings.keyAction, expected.keyAction);
    QCOMPARE(Settings.logoScreen, expected.logoScreen);
    QVERIFY(Settings == expected); // and every other field
}

QTEST_GUILESS_MAIN(TestEmuFactory)
#include "test_factory.moc"
