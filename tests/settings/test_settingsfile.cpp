// Settings files: round trip, defaults, hand-made and foreign files, errors, safe saving.

#include "settings/XMLSettings.h"
#include "settings/models.h"
#include "settings/settingsfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Every integer field distinct, negatives and unmapped switch bits included.
TSettings SampleImage() {
    TSettings s;
    qint32 n = 1000;
    s.ID = 4;
    s.Version = "1.6.2";
    s.curProfile = 5;
    s.flags = 0x7FFF0001; // bits above 32768 belong to no control
    for (qint32* f :
         {&s.cntPuffs, &s.cntPTime, &s.timeLogo, &s.timeInfo, &s.timeFadeIn, &s.timeFadeOut,
          &s.battProfile, &s.battRemNrg, &s.pidRegP, &s.pidRegI, &s.pidRegD})
        *f = ++n;
    s.pidRegD = -42;
    for (int p = 0; p < ProfileCount; ++p) {
        TProfile& f = s.profile[p];
        f.name = QString::fromUtf8("N<&\"%1\xC2\xB0 long name").arg(p);
        f.flags = 64 | 256 | p; // 64 and bits above 128 have no control
        for (qint32* v : {&f.mode, &f.voltage, &f.powerVW, &f.powerTC, &f.temperature, &f.prehValue,
                          &f.prehTime, &f.prehDelay, &f.lockRes, &f.lockTemp, &f.TCR})
            *v = ++n;
        for (auto& v : f.TFR)
            v = ++n;
    }
    for (auto& v : s.keyAction)
        v = ++n;
    for (auto& v : s.logoScreen)
        v = ++n;
    for (auto& row : s.indPar)
        for (auto& v : row)
            v = ++n;
    for (auto& row : s.brTime)
        for (auto& v : row)
            v = ++n;
    for (auto& row : s.v2p)
        for (auto& v : row)
            v = -(++n);
    return s;
}

// Section by section, the keys and values of a file as an independent parser sees them.
QStringList ParseWithPython(const QString& path) {
    QProcess py;
    py.start("python3", {"-c",
                         "import sys,xml.etree.ElementTree as E\n"
                         "for c in E.parse(sys.argv[1]).getroot():\n"
                         "  print(c.tag+':'+','.join(k+'='+v for k,v in c.attrib.items()))",
                         path});
    if (!py.waitForFinished(30000) || py.exitCode() != 0)
        return {"python3 failed: " + QString::fromUtf8(py.readAllStandardError())};
    return QString::fromUtf8(py.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

// The expected file content, in the order the file keeps it.
QStringList ExpectedLines(const TSettings& s) {
    QStringList lines;
    auto join = [](const QString& section, const QList<QPair<QString, QString>>& kv) {
        QStringList parts;
        for (const auto& [k, v] : kv)
            parts << k + "=" + v;
        return section + ":" + parts.join(',');
    };
    auto num = [](qint32 v) { return QString::number(v); };
    lines << join("Settings", {{"ID", num(s.ID)},
                               {"Version", s.Version},
                               {"curProfile", num(s.curProfile)},
                               {"flags", num(s.flags)},
                               {"cntPuffs", num(s.cntPuffs)},
                               {"cntPTime", num(s.cntPTime)},
                               {"timeLogo", num(s.timeLogo)},
                               {"timeInfo", num(s.timeInfo)},
                               {"timeFadeIn", num(s.timeFadeIn)},
                               {"timeFadeOut", num(s.timeFadeOut)},
                               {"battProfile", num(s.battProfile)},
                               {"battRemNrg", num(s.battRemNrg)},
                               {"pidRegP", num(s.pidRegP)},
                               {"pidRegI", num(s.pidRegI)},
                               {"pidRegD", num(s.pidRegD)}});
    for (int p = 0; p < ProfileCount; ++p) {
        const TProfile& f = s.profile[p];
        QList<QPair<QString, QString>> kv = {{"name", f.name},
                                             {"mode", num(f.mode)},
                                             {"flags", num(f.flags)},
                                             {"voltage", num(f.voltage)},
                                             {"powerVW", num(f.powerVW)},
                                             {"powerTC", num(f.powerTC)},
                                             {"temperature", num(f.temperature)},
                                             {"prehValue", num(f.prehValue)},
                                             {"prehTime", num(f.prehTime)},
                                             {"prehDelay", num(f.prehDelay)},
                                             {"lockRes", num(f.lockRes)},
                                             {"lockTemp", num(f.lockTemp)},
                                             {"TCR", num(f.TCR)}};
        for (int k = 0; k < 5; ++k)
            kv.append({QString("TFR%1").arg(k + 1), num(f.TFR[k])});
        lines << join(QString("Profile%1").arg(p + 1), kv);
    }
    QList<QPair<QString, QString>> keys, logos;
    for (int k = 0; k < 8; ++k) {
        keys.append({QString("Key%1").arg(k + 1), num(s.keyAction[k])});
        logos.append({QString("Logo%1").arg(k + 1), num(s.logoScreen[k])});
    }
    lines << join("KeyAction", keys) << join("LogoScreen", logos);
    for (int r = 0; r < 4; ++r) {
        QList<QPair<QString, QString>> kv;
        for (int k = 0; k < 5; ++k)
            kv.append({QString("Par%1").arg(k + 1), num(s.indPar[r][k])});
        lines << join(QString("IndPar%1").arg(r + 1), kv);
    }
    for (int r = 0; r < 6; ++r)
        lines << join(QString("BrTime%1").arg(r + 1), {{"Brightness", num(s.brTime[r][0])},
                                                       {"Time", num(s.brTime[r][1])},
                                                       {"Color", num(s.brTime[r][2])}});
    for (int r = 0; r < 12; ++r)
        lines << join(QString("V2P%1").arg(r + 1),
                      {{"percent", num(s.v2p[r][0])}, {"voltage", num(s.v2p[r][1])}});
    return lines;
}

void WriteAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString LoadError(const QString& path, TSettings& target) {
    try {
        (void)LoadSettingsFile(path, target);
    } catch (const EXMLSettingsError& e) {
        return e.message();
    }
    return {};
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        Settings = TSettings();
        ResetModels();
    }

    void roundTripKeepsEveryFieldButBattCal() {
        const QString path = m_dir.filePath("round.xml");
        TSettings image = SampleImage();
        image.battCal = {11, 12, 13};
        Settings = image;
        SaveSettingsFile(path);
        QCOMPARE(ParseWithPython(path), ExpectedLines(image));
        QVERIFY(!ReadAll(path).contains("battCal"));

        Settings = TSettings();
        Settings.battCal = {1, 2, 3};
        QVERIFY(LoadSettingsFile(path).isEmpty());
        TSettings expected = image;
        expected.battCal = {1, 2, 3};
        QVERIFY(Settings == expected);
        QCOMPARE(ModInfo.ID, 0); // the file's ID doesn't select a model
        QCOMPARE(ModInfo.name, QString());
    }

    void missingFileGivesDefaultsAndAnEmptyRoot() {
        const QString path = m_dir.filePath("absent.xml");
        Settings = SampleImage();
        Settings.battCal = {5, 6, 7};
        QVERIFY(LoadSettingsFile(path).isEmpty());
        TSettings expected = DefaultSettings();
        expected.battCal = {5, 6, 7};
        QVERIFY(Settings == expected);
        QCOMPARE(Settings.profile[7].name, QString("PROFILE8"));
        QCOMPARE(Settings.flags, 96);
        QCOMPARE(Settings.brTime[3][2], 32768);
        QCOMPARE(ReadAll(path),
                 QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root />\n"));
        // The defaults written out from scratch, as a foreign parser reads them.
        SaveSettingsFile(path);
        QCOMPARE(ParseWithPython(path), ExpectedLines(DefaultSettings()));
    }

    void handMadeFileFillsGapsAndKeepsExtras() {
        const QString path = m_dir.filePath("hand.xml");
        WriteAll(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Mine>\n"
                       "<Settings ID=\"2\" Note=\"keep me\"/>\n"
                       "<Profile3 mode=\"2\"/>\n<Extra><Inner a=\"1\"/></Extra>\n"
                       "<Profile3 mode=\"0\" name=\"SECOND\"/>\n</Mine>\n");
        Settings = SampleImage();
        QVERIFY(LoadSettingsFile(path).isEmpty());
        TSettings expected = DefaultSettings();
        expected.ID = 2;
        expected.profile[2].mode = 2; // first Profile3 wins; no name there
        QVERIFY(Settings == expected);
        QCOMPARE(Settings.profile[2].name, QString("PROFILE3"));
        QCOMPARE(ModInfo.ID, 0);

        SaveSettingsFile(path);
        const QStringList lines = ParseWithPython(path);
        QCOMPARE(lines.value(0).left(22), QString("Settings:ID=2,Note=kee"));
        QCOMPARE(lines.value(1).left(21), QString("Profile3:mode=2,name="));
        QCOMPARE(lines.value(2), QString("Extra:"));
        QCOMPARE(lines.value(3), QString("Profile3:mode=0,name=SECOND"));
        QCOMPARE(lines.value(4).left(9), QString("Profile1:"));
        QVERIFY(ReadAll(path).contains("<Inner a=\"1\" />"));
        QVERIFY(ReadAll(path).contains("<Mine>"));
    }

    void badIntegerChangesNothing_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("12a") << QByteArray("12a");
        QTest::newRow("empty") << QByteArray("");
    }
    // A bad value late in the file stops the load with the image as it was: no mixture of
    // file and old values can reach an upload.
    void badIntegerChangesNothing() {
        QFETCH(QByteArray, value);
        const QString path = m_dir.filePath("bad.xml");
        WriteAll(path, "<Root><Settings ID=\"3\" flags=\"7\"/><Profile2 name=\"TWO\" voltage=\"" +
                           value + "\"/></Root>");
        const TSettings before = SampleImage();
        Settings = before;
        QCOMPARE(LoadError(path, Settings),
                 QString("%1, section \"Profile2\", key \"voltage\": '%2' is not a valid "
                         "integer value")
                     .arg(path, QString(value)));
        QVERIFY(Settings == before);
    }

    void malformedFileChangesNothing() {
        const QString path = m_dir.filePath("broken.xml");
        WriteAll(path, "<Root><Settings ID=\"3\"></Root>");
        Settings = SampleImage();
        QVERIFY(LoadError(path, Settings).contains("broken.xml"));
        QVERIFY(Settings == SampleImage());
        Settings = DefaultSettings();
        bool raised = false;
        try {
            SaveSettingsFile(path);
        } catch (const EXMLSettingsError&) {
            raised = true;
        }
        QVERIFY(raised);
        QCOMPARE(ReadAll(path), QByteArray("<Root><Settings ID=\"3\"></Root>"));
    }

    // A save killed at any moment leaves either the old or the new file, whole.
    void killedSaveLeavesAWholeFile() {
        const QString path = m_dir.filePath("killed.xml");
        Settings = DefaultSettings();
        SaveSettingsFile(path);
        const QByteArray old = ReadAll(path);
        for (int round = 0; round < 6; ++round) {
            QProcess child;
            child.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
            auto env = child.processEnvironment();
            env.insert("DEVEDAZI_SAVE_LOOP", path);
            child.setProcessEnvironment(env);
            child.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(child.waitForReadyRead(30000)); // saving has begun
            QTest::qWait(3 * round);
            child.kill();
            QVERIFY(child.waitForFinished(30000));
            const QByteArray now = ReadAll(path);
            QVERIFY2(now == old || now == m_looped, qPrintable("round " + QString::number(round)));
        }
    }

    void initTestCase() {
        TSettings image = SampleImage();
        Settings = image;
        const QString path = m_dir.filePath("reference.xml");
        SaveSettingsFile(path);
        m_looped = ReadAll(path);
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_looped; // the file the child saves over and over
};

// Child mode for killedSaveLeavesAWholeFile: save the sample image for ever.
static int SaveLoop(const QString& path) {
    Settings = SampleImage();
    bool announced = false;
    for (;;) {
        SaveSettingsFile(path);
        if (!announced) {
            fputs("saving\n", stdout);
            fflush(stdout);
            announced = true;
        }
    }
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("DEVEDAZI_SAVE_LOOP"))
        return SaveLoop(qEnvironmentVariable("DEVEDAZI_SAVE_LOOP"));
    QCoreApplication app(argc, argv);
    TestSettingsFile test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_settingsfile.moc"
