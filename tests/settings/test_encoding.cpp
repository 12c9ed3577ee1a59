// The device text encoding against the virtual device: names written and read back in
// Western (Latin-1) and Cyrillic (Windows-1251), the bytes the device holds, the terminal's
// raw lines, which bytes count as control characters, and the note for a loaded name the
// encoding can't carry.

#include "common/emulink.h"
#include "link/devicetext.h"
#include "link/terminal.h"
#include "link/transport.h"
#include "settings/settingsfile.h"
#include "settings/transfer.h"

#include <QTemporaryDir>
#include <QtTest>

class TestEncoding : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { SetDeviceEncoding(TDeviceEncoding::Western); }

    void namesRoundTrip_data() {
        QTest::addColumn<int>("encoding");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("Western") << int(TDeviceEncoding::Western) << QString::fromUtf8("ÄÖÜ ÉÈÇ ß")
                                 << QByteArray("\xC4\xD6\xDC \xC9\xC8\xC7 \xDF");
        QTest::newRow("Cyrillic") << int(TDeviceEncoding::Cyrillic)
                                  << QString::fromUtf8("ПРИВЕТ Ё№ Ђ€")
                                  << QByteArray("\xCF\xD0\xC8\xC2\xC5\xD2 \xA8\xB9 \x80\x88");
    }
    // Written by an upload and read by a download: the device holds the encoding's bytes, and
    // a name it holds comes back as the same text. Nothing is written a second time.
    void namesRoundTrip() {
        QFETCH(int, encoding);
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        SetDeviceEncoding(TDeviceEncoding(encoding));
        EmuLink link(1);
        QVERIFY(link.ok());
        Settings = DefaultSettings();
        Settings.profile[3].name = name;
        QVERIFY(WriteDeviceSettings());
        QCOMPARE(link.emu().value("PNAM[3]"), bytes);
        link.emu().clearTrace();
        QVERIFY(WriteDeviceSettings());
        QVERIFY(link.writes().isEmpty());

        QVERIFY(link.emu().setValue("PNAM[5]", bytes + " 2"));
        QVERIFY(ReadDeviceSettings());
        QCOMPARE(Settings.profile[3].name, name);
        QCOMPARE(Settings.profile[5].name, name + " 2");

        const TTerminalExchange x = TerminalSend(&link.port(), ToDeviceText("PNAM[5]?"));
        QCOMPARE(x.lines.size(), 1);
        QCOMPARE(FromDeviceText(x.lines.first()), "PNAM[5]=" + name + " 2\r");
    }

    // A name the encoding lacks reaches the device with "?" in those places.
    void charactersTheEncodingLacks() {
        EmuLink link(1);
        QVERIFY(link.ok());
        Settings = DefaultSettings();
        Settings.profile[0].name = QString::fromUtf8("ЖА");
        QVERIFY(WriteDeviceSettings());
        QCOMPARE(link.emu().value("PNAM[0]"), QByteArray("??"));
        QCOMPARE(CharactersDeviceLacks(QString::fromUtf8("AЖБЖ")), QString::fromUtf8("ЖБ"));
        SetDeviceEncoding(TDeviceEncoding::Cyrillic);
        QCOMPARE(CharactersDeviceLacks(QString::fromUtf8("AЖБé")), QString::fromUtf8("é"));
    }

    // 128..159 are the C1 controls in Latin-1 but letters and signs in Windows-1251 (except
    // the one undefined byte): the port refuses them only where they are controls.
    void controlBytesFollowTheEncoding() {
        EmuLink link(1);
        QVERIFY(link.ok());
        QVERIFY_THROWS_EXCEPTION(EComError, link.port().WriteAnsiLine("PNAM[0]=\x85"));
        SetDeviceEncoding(TDeviceEncoding::Cyrillic);
        link.port().WriteAnsiLine("PNAM[0]=\x85");
        QCOMPARE(link.port().ReadAnsiLine(), QByteArray("OK\r"));
        QCOMPARE(link.emu().value("PNAM[0]"), QByteArray("\x85"));
        QVERIFY_THROWS_EXCEPTION(EComError, link.port().WriteAnsiLine("PNAM[0]=\x98"));
        QVERIFY_THROWS_EXCEPTION(EComError, link.port().WriteAnsiLine("PNAM[0]=\x1b"));
    }

    void settingsFileNamesBeyondTheEncoding() {
        QTemporaryDir dir;
        const QString file = dir.filePath("s.xml");
        TSettings image = DefaultSettings();
        image.profile[2].name = QString::fromUtf8("ИМЯ");
        SaveSettingsFile(file, image);
        TSettings loaded = DefaultSettings();
        const QStringList notes = LoadSettingsFile(file, loaded, TFileUse::ReadOnly);
        QCOMPARE(notes.size(), 1);
        QVERIFY2(notes.first().contains("the name of profile 3 (\"ИМЯ\")") &&
                     notes.first().contains("Western (Latin-1)"),
                 qPrintable(notes.first()));
        QCOMPARE(loaded.profile[2].name, QString::fromUtf8("ИМЯ")); // loaded as it is
        SetDeviceEncoding(TDeviceEncoding::Cyrillic);
        QVERIFY(LoadSettingsFile(file, loaded, TFileUse::ReadOnly).isEmpty());
    }

    void settingKeys() {
        for (const auto e : {TDeviceEncoding::Western, TDeviceEncoding::Cyrillic})
            QCOMPARE(DeviceEncodingFromKey(DeviceEncodingKey(e)), e);
        QCOMPARE(DeviceEncodingFromKey("koi8"), TDeviceEncoding::Western);
    }
};

QTEST_GUILESS_MAIN(TestEncoding)
#include "test_encoding.moc"
