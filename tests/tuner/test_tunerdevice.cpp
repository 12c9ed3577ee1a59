// The Tuner window against the virtual device: download shows the device's image, an edit
// uploads as exactly its writes, Read Resistance, the device question.

#include "common/emulink.h"
#include "monitor/monitordata.h"
#include "settings/history.h"
#include "tuner/tfrchart.h"
#include "tunertest.h"

#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

class TestTunerDevice : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void downloadShowsTheDevicesImage();
    void editedFieldUploadsAsOneWrite();
    void readResistance();
    void noDeviceAndCancel();

private:
    TProfilesPage* page() const { return m_form->TabProfiles; }
    void click(QPushButton* button, QMessageBox::StandardButton answer = QMessageBox::Ok) {
        Dialogs::setNextAnswer(answer);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    std::unique_ptr<EmuLink> m_link;
    std::unique_ptr<TTunerForm> m_form;
};

void TestTunerDevice::init() {
    m_link = std::make_unique<EmuLink>(1);
    QVERIFY2(m_link->ok(), qPrintable(m_link->error()));
    Settings = DefaultSettings();
    ImageHistory().reset(); // the fresh image is the baseline
    ProfileClipboardFilled = false;
    ResetMonitorData();
    m_form = std::make_unique<TTunerForm>();
    m_form->resize(1100, 700);
    m_form->show();
}

void TestTunerDevice::cleanup() {
    m_form.reset();
    m_link.reset();
    Dialogs::reset();
}

void TestTunerDevice::downloadShowsTheDevicesImage() {
    TDeviceEmulator& emu = m_link->emu();
    const QList<std::pair<QByteArray, QByteArray>> values = {
        {"PROF", "2"},
        {"PNAM[2]", "COILX"},
        {"PMOD[2]", "2"},
        {"PFLG[2]", "102"},
        {"PPAR[2]", "350,255,301,230"},
        {"PPRE[2]", "25,1500,3"},
        {"PLCK[2]", "480,21"},
        {"PTCR[2]", "6400"},
        {"PTFR[2]", "11000,12000,13000,14000,15000"}};
    for (const auto& [name, value] : values)
        QVERIFY(emu.setValue(name, value));
    QVERIFY(m_form->PageControl->isHidden() && !m_form->UploadSettings->isEnabled());
    QTest::mouseClick(m_form->DownloadSettings, Qt::LeftButton);
    QVERIFY(Dialogs::shownMessages().isEmpty());
    QVERIFY(m_form->PageControl->isVisible() && m_form->UploadSettings->isEnabled());
    QCOMPARE(m_form->PageControl->currentWidget(), page());
    QCOMPARE(page()->Model->text(), ModInfo.name);
    QVERIFY(!ModInfo.name.isEmpty());
    QCOMPARE(page()->Version->text(), QString("1.5.1"));
    QCOMPARE(page()->ActiveProfile->currentIndex(), 2);
    QCOMPARE(page()->TabControl->currentIndex(), 2);
    const QList<std::pair<QLineEdit*, QString>> shown = {
        {page()->ProfileName, "COILX"},    {page()->ProfileVoltage, "3.50"},
        {page()->ProfilePowerVW, "25.5"},  {page()->ProfilePowerTC, "30.1"},
        {page()->ProfileTemp, "230"},      {page()->ProfilePrehValue, "25"},
        {page()->ProfilePrehTime, "1.5"},  {page()->ProfilePrehDelay, "3"},
        {page()->ProfileLockRes, "0.480"}, {page()->ProfileLockTemp, "21"},
        {page()->ProfileTCR, "6400"}};
    for (const auto& [edit, text] : shown)
        QCOMPARE(edit->text(), Local(text));
    QCOMPARE(page()->ProfileMode->currentText(), QString("TC"));
    QCOMPARE(page()->ProfilePrehUnit->currentText(), QString("%")); // 102 = 64 + 32 + 4 + 2
    QVERIFY(page()->ProfilePrehEn->isChecked() && page()->ProfileUseTFR->isChecked());
    QVERIFY(!page()->ProfileRLock->isChecked() && !page()->ProfileInact->isChecked());
    QCOMPARE(page()->TFREditor->ChartTFR->series()->at(1).y(), 1.1);
}

// The device receives exactly the changed parameter; everything else is only read.
void TestTunerDevice::editedFieldUploadsAsOneWrite() {
    QTest::mouseClick(m_form->DownloadSettings, Qt::LeftButton);
    page()->TabControl->setCurrentIndex(1);
    page()->ProfileMode->setCurrentIndex(pmTC);
    Enter(page()->ProfilePowerTC, "45,5");
    Enter(page()->ProfileName, "new");
    m_link->emu().clearTrace();
    click(m_form->UploadSettings);
    QCOMPARE(Dialogs::shownMessages(), QStringList{"Done"});
    QCOMPARE(m_link->writes(),
             QList<QByteArray>({"PNAM[1]=NEW", "PMOD[1]=2", "PPAR[1]=420,400,455,220"}));
    QCOMPARE(m_link->emu().value("PPAR[1]"), QByteArray("420,400,455,220"));
    QCOMPARE(m_link->emu().value("PPAR[0]"), QByteArray("420,400,400,220"));
}

// A measurement becomes the shown profile's base; a failed one leaves the profile alone.
void TestTunerDevice::readResistance() {
    QTest::mouseClick(m_form->DownloadSettings, Qt::LeftButton);
    page()->TabControl->setCurrentIndex(3);
    QVERIFY(m_link->emu().setValue("PRT", "512,23"));
    click(page()->ProbeResistance);
    QCOMPARE(Dialogs::shownMessages(), QStringList{"Done"});
    QCOMPARE(Settings.profile[3].lockRes, 512);
    QCOMPARE(Settings.profile[3].lockTemp, 23);
    QCOMPARE(page()->ProfileLockRes->text(), Local("0.512"));
    QCOMPARE(page()->ProfileLockTemp->text(), QString("23"));
    QVERIFY(page()->ProbeResistance->isEnabled());

    TEmuFaults faults;
    faults.errorFor = "PRT";
    m_link->emu().setFaults(faults);
    Enter(page()->ProfileLockRes, "0.7");
    click(page()->ProbeResistance);
    QCOMPARE(Dialogs::shownMessages().last(), QString("Error"));
    QCOMPARE(Settings.profile[3].lockRes, 700);
    QCOMPARE(Settings.profile[3].lockTemp, 23);
    QCOMPARE(page()->ProfileLockRes->text(), Local("0.700"));
    QVERIFY(page()->ProbeResistance->isEnabled());
    QCOMPARE(Settings.profile[2], DefaultProfile(2)); // the neighbours untouched
}

// Without a device every command asks; Cancel ends it with nothing sent or stored.
void TestTunerDevice::noDeviceAndCancel() {
    m_form->NewSettingsClick();
    const TSettings before = Settings;
    m_link->port().setActive(false);
    m_link->emu().clearTrace();
    QPushButton* commands[] = {m_form->DownloadSettings, m_form->UploadSettings, m_form->SoftReset,
                               m_form->RstSettings, page()->ProbeResistance};
    for (QPushButton* command : commands) {
        Dialogs::reset();
        Dialogs::setNextAnswer(QMessageBox::Ok); // asks again while the port stays closed
        click(command, QMessageBox::Cancel);
        QCOMPARE(Dialogs::shownMessages(), QStringList({"No compatible USB device is connected",
                                                        "No compatible USB device is connected"}));
    }
    QVERIFY(m_link->received().isEmpty());
    QCOMPARE(Settings, before);
}

QTEST_MAIN(TestTunerDevice)
#include "test_tunerdevice.moc"
