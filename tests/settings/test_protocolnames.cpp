// The names the terminal completes: every name the virtual device (written independently of
// the app's catalogue) can read is offered, as itself or as its indexed stem.

#include "emulator/emulator.h"
#include "settings/protocolnames.h"

#include <QRegularExpression>
#include <QtTest>

class TestProtocolNames : public QObject {
    Q_OBJECT
private slots:
    void everyDeviceNameIsOffered() {
        const QStringList names = ProtocolNames();
        QVERIFY(!names.contains("BOOT"));
        QCOMPARE(names.size(), QSet<QString>(names.begin(), names.end()).size());
        for (int model = 0; model <= 5; ++model) {
            TDeviceEmulator emu(model);
            const QStringList device = emu.parameterNames();
            QVERIFY(device.size() > 30);
            for (QString name : device) {
                if (name.startsWith("EMU."))
                    continue; // the emulator's own controls, not the device's
                name.replace(QRegularExpression("\\[\\d+\\]$"), "[");
                QVERIFY2(names.contains(name), qPrintable(name));
            }
        }
    }

    void completion_data() {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QStringList>("matches");
        QTest::newRow("stem") << "PPA" << QStringList{"PPAR["};
        QTest::newRow("lower case") << "brt" << QStringList{"BRTM["};
        QTest::newRow("logos") << "LOG" << QStringList{"LOGO["};
        QTest::newRow("several") << "PP" << QStringList{"PPAR[", "PPRE["};
        QTest::newRow("exact and longer") << "PR" << QStringList{"PROF", "PRT"};
        QTest::newRow("none") << "XYZ" << QStringList{};
    }
    void completion() {
        QFETCH(QString, prefix);
        QFETCH(QStringList, matches);
        QCOMPARE(CompleteProtocolName(prefix), matches);
    }
};

QTEST_GUILESS_MAIN(TestProtocolNames)
#include "test_protocolnames.moc"
