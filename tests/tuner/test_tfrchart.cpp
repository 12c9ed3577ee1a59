// The TFR curve editor: the extrapolated end points, dragging with the mouse, the CSV files.

#include "common/fullfs.h"
#include "shell/paths.h"
#include "tuner/tfrchart.h"
#include "tunertest.h"

#include <QChart>
#include <QComboBox>
#include <QFile>
#include <QLineSeries>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>

class TestTfrChart : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void endPoints();
    void dragStoresTheCurveAtTheEnd();
    void redrawEndsTheDrag();
    void csvRoundTripInACommaLocale();
    void badFileChangesNothing();
    void failedSaveKeepsTheOldFile();

private:
    TTfrEditor* editor() const { return m_form->TabProfiles->TFREditor; }
    TTfrChartView* chart() const { return editor()->ChartTFR; }
    QList<double> chartValues() const {
        QList<double> values;
        for (const QPointF& p : chart()->series()->points())
            values << p.y();
        return values;
    }
    QString file(const QString& name) const { return m_dir.path() + "/" + name; }
    void writeFile(const QString& name, const QByteArray& content) {
        QFile out(file(name));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(content);
    }

    QTemporaryDir m_dir;
    QLocale m_locale;
    std::unique_ptr<TTunerForm> m_form;
};

void TestTfrChart::initTestCase() {
    m_locale = QLocale();
    qputenv("XDG_DATA_HOME", m_dir.path().toLocal8Bit());
}

void TestTfrChart::init() {
    m_form = ShownTuner();
    Settings.profile[0].mode = pmTC;
    Settings.profile[0].flags = pfUseTFR;
    m_form->ShowSettings();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void TestTfrChart::cleanup() {
    m_form.reset();
    Dialogs::reset();
    QLocale::setDefault(m_locale);
}

void TestTfrChart::endPoints() {
    const struct {
        TTfrCurve curve;
        QList<double> shown;
    } cases[] = {
        {{10000, 10000, 10000, 10000, 10000}, {1, 1, 1, 1, 1, 1, 1}},
        {{12000, 13000, 14000, 15000, 16000}, {0.95, 1.2, 1.3, 1.4, 1.5, 1.6, 1.8}},
        // Wide values from a file or the device don't overflow the extrapolation.
        {{2000000000, 0, 0, -2000000000, 2000000000},
         {-49998.75, 200000, 0, 0, -200000, 200000, 1000000}},
    };
    for (const auto& c : cases) {
        Settings.profile[0].TFR = c.curve;
        m_form->TabProfiles->TabControlChange();
        const QList<double> values = chartValues();
        QCOMPARE(values.size(), 7);
        for (int i = 0; i < 7; ++i)
            QCOMPARE(values[i], c.shown[i]);
        QCOMPARE(chart()->series()->at(0).x(), 0.0);
        QCOMPARE(chart()->series()->at(6).x(), 400.0);
    }
    QCOMPARE(LinePoint(0, 0, 2, 1, 1), Q_INT64_C(0)); // 0.5: ties to even
    QCOMPARE(LinePoint(0, 0, 2, 3, 1), Q_INT64_C(2)); // 1.5
}

// Points 1..5 follow the mouse; the curve is stored and the end points move only when the
// button is released. The end points can't be taken.
void TestTfrChart::dragStoresTheCurveAtTheEnd() {
    QWidget* view = chart()->viewport();
    const TTfrCurve before = Settings.profile[0].TFR;
    QTest::mousePress(view, Qt::LeftButton, {}, chart()->pointPosition(5));
    QCOMPARE(chart()->Tag, 5);
    const QPoint target = chart()->pointPosition(5) - QPoint(0, 60);
    QTest::mouseMove(view, target);
    const double dragged = chart()->series()->at(5).y();
    QVERIFY(dragged > 1.1);
    QCOMPARE(dragged, std::round(dragged * 10000) / 10000); // what will be stored
    QCOMPARE(chartValues()[6], 1.0);                        // the end point: not yet
    QCOMPARE(Settings.profile[0].TFR, before);
    QTest::mouseRelease(view, Qt::RightButton, {}, target); // any button ends it
    QCOMPARE(chart()->Tag, -1);
    const qint32 stored = qint32(std::lround(dragged * 10000));
    QCOMPARE(Settings.profile[0].TFR, TTfrCurve({10000, 10000, 10000, 10000, stored}));
    QCOMPARE(chartValues()[6], double(LinePoint(250, 10000, 300, stored, 400)) / 10000);

    for (const int end : {0, 6}) {
        const TTfrCurve kept = Settings.profile[0].TFR;
        QTest::mousePress(view, Qt::LeftButton, {}, chart()->pointPosition(end));
        QCOMPARE(chart()->Tag, -1);
        QTest::mouseMove(view, chart()->pointPosition(end) - QPoint(0, 50));
        QTest::mouseRelease(view, Qt::LeftButton, {}, chart()->pointPosition(end));
        QCOMPARE(Settings.profile[0].TFR, kept);
    }
    m_form->TabProfiles->ProfileMode->setCurrentIndex(pmVW); // disabled: the mouse does nothing
    QTest::mousePress(view, Qt::LeftButton, {}, chart()->pointPosition(2));
    QCOMPARE(chart()->Tag, -1);
}

// A redraw during a drag (here another profile's tab) ends the drag: the mouse moves
// nothing and the release stores nothing, into either profile.
void TestTfrChart::redrawEndsTheDrag() {
    const TTfrCurve other = {11000, 12000, 13000, 14000, 15000};
    Settings.profile[1].mode = pmTC;
    Settings.profile[1].flags = pfUseTFR;
    Settings.profile[1].TFR = other;
    const TTfrCurve first = Settings.profile[0].TFR;
    QWidget* view = chart()->viewport();
    QTest::mousePress(view, Qt::LeftButton, {}, chart()->pointPosition(3));
    QCOMPARE(chart()->Tag, 3);
    m_form->TabProfiles->TabControl->setCurrentIndex(1);
    QCOMPARE(chart()->Tag, -1);
    const QPoint target = chart()->pointPosition(3) - QPoint(0, 60);
    QTest::mouseMove(view, target);
    QTest::mouseRelease(view, Qt::LeftButton, {}, target);
    QCOMPARE(chartValues()[3], 1.3);
    QCOMPARE(Settings.profile[1].TFR, other);
    QCOMPARE(Settings.profile[0].TFR, first);
}

// A save writes "." whatever the locale and CR LF after every line; loading it back gives the
// same curve; four decimals are what a file keeps.
void TestTfrChart::csvRoundTripInACommaLocale() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Settings.profile[0].TFR = {10000, 12346, 9999, 15000, 123456};
    m_form->TabProfiles->TabControlChange();
    Dialogs::setNextFileName(file("curve.csv"));
    Dialogs::setNextAnswer(QMessageBox::Ok);
    QTest::mouseClick(editor()->BitBtn5, Qt::LeftButton);
    QCOMPARE(Dialogs::shownMessages(), QStringList{"Done"});
    QFile saved(file("curve.csv"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("\"Temperature (degC)\",\"Electrical Resistivity\"\r\n"
                                         "100,1.0000\r\n150,1.2346\r\n200,0.9999\r\n"
                                         "250,1.5000\r\n300,12.3456\r\n"));

    m_form->TabProfiles->TabControl->setCurrentIndex(4);
    Dialogs::setNextFileName(file("curve.csv"));
    QTest::mouseClick(editor()->BitBtn4, Qt::LeftButton);
    QCOMPARE(Settings.profile[4].TFR, Settings.profile[0].TFR);
    QCOMPARE(chartValues()[2], 1.2346);

    writeFile("typed.csv", "anything\n100,1,2345\n150,1.23456\n200,abc\n250,2\n300,3.5\n");
    Dialogs::setNextFileName(file("typed.csv"));
    QTest::mouseClick(editor()->BitBtn4, Qt::LeftButton);
    QCOMPARE(Settings.profile[4].TFR, TTfrCurve({12345, 12346, 0, 20000, 35000}));
}

void TestTfrChart::badFileChangesNothing() {
    const TTfrCurve kept = {11000, 12000, 13000, 14000, 15000};
    Settings.profile[0].TFR = kept;
    m_form->TabProfiles->TabControlChange();
    const QByteArray bad[] = {"h\r\n100,1.1\r\n150,1.2\r\n200,1.3\r\n250,1.4\r\n", // four lines
                              "h\r\n100;1.2\r\n150,1\r\n200,1\r\n250,1\r\n300,1\r\n"};
    for (const QByteArray& content : bad) {
        writeFile("bad.csv", content);
        Dialogs::setNextFileName(file("bad.csv"));
        Dialogs::setNextAnswer(QMessageBox::Ok);
        QTest::mouseClick(editor()->BitBtn4, Qt::LeftButton);
        QCOMPARE(Dialogs::shownMessages().last(), QString("Invalid CSV file!"));
        QCOMPARE(Settings.profile[0].TFR, kept);
        QCOMPARE(chartValues()[1], 1.1);
    }
}

// A write that stops half-way, as on a full disk: reported, no "Done", the old file whole
// and no temporary file left beside it.
void TestTfrChart::failedSaveKeepsTheOldFile() {
    QVERIFY(QDir().mkpath(file("saved")));
    const QString name = file("saved/curve.csv");
    writeFile("saved/curve.csv", "old curve\r\n");
    Dialogs::setNextFileName(name);
    Dialogs::setNextAnswer(QMessageBox::Ok);
    {
        const TFileSizeLimit limit(50); // the file has about 110 bytes
        QTest::mouseClick(editor()->BitBtn5, Qt::LeftButton);
    }
    QCOMPARE(Dialogs::shownMessages().size(), 1);
    QVERIFY2(Dialogs::shownMessages().first().startsWith("Cannot write"),
             qPrintable(Dialogs::shownMessages().first()));
    QFile old(name);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old curve\r\n"));
    QCOMPARE(QDir(file("saved")).entryList(QDir::Files | QDir::Hidden), QStringList{"curve.csv"});
}

QTEST_MAIN(TestTfrChart)
#include "test_tfrchart.moc"
