// "Compare with Device" against the virtual device: exactly the fields changed in the editor
// (or on the device) after a download, none when nothing changed, in the pages' units and
// grouped by page; the editor's image untouched, nothing written until the user uploads.

#include "common/emulink.h"
#include "link/transport.h"
#include "settings/history.h"
#include "settings/settings.h"
#include "shell/dialogs.h"
#include "tuner/comparedialog.h"
#include "tuner/tuner.h"

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

// The table as "Page | Field | Device | Editor" lines.
QStringList TableRows(const TCompareDialog* dialog) {
    QStringList rows;
    const QTreeWidget* table = dialog->CompareTable;
    for (int g = 0; g < table->topLevelItemCount(); ++g) {
        const QTreeWidgetItem* group = table->topLevelItem(g);
        for (int i = 0; i < group->childCount(); ++i) {
            const QTreeWidgetItem* row = group->child(i);
            rows.append(
                QStringList{group->text(0), row->text(0), row->text(1), row->text(2)}.join(" | "));
        }
    }
    return rows;
}

TCompareDialog* OpenDialog(TTunerForm& form) {
    return form.findChild<TCompareDialog*>();
}

} // namespace

class TestCompare : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Settings = DefaultSettings();
        ImageHistory().reset(); // the fresh image is the baseline
        QLocale::setDefault(QLocale::c());
    }
    void cleanup() { Dialogs::reset(); }

    void showsExactlyWhatChanged() {
        EmuLink link(4);
        QVERIFY2(link.ok(), qPrintable(link.error()));
        TTunerForm form;
        QVERIFY(!form.CompareWithDevice->isEnabled()); // nothing shown to compare yet
        form.DownloadSettingsClick();
        QVERIFY(form.CompareWithDevice->isEnabled());

        // Right after the download: nothing differs.
        QTest::mouseClick(form.CompareWithDevice, Qt::LeftButton);
        TCompareDialog* same = OpenDialog(form);
        QVERIFY(same);
        QCOMPARE(TableRows(same), QStringList());
        QCOMPARE(same->Summary->text(), "The device holds the same settings as the editor.");
        QVERIFY(!same->CompareUpload->isEnabled());
        same->CompareClose->click();
        QTRY_VERIFY(!OpenDialog(form));

        // Edits in the editor, and one change made on the device meanwhile.
        Settings.profile[2].powerVW = 455;
        Settings.profile[2].flags |= pfUseTFR;
        Settings.flags ^= sfLockMod;
        Settings.timeFadeOut = 25;
        Settings.keyAction[1] = 17;
        Settings.brTime[3][btColor] = 31744;
        Settings.v2p[V2PEnergyRow][vpVoltage] = 300;
        QVERIFY(link.emu().setValue("LSCR", "0,20,0,0"));
        const TSettings editor = Settings;
        link.emu().clearTrace();

        QTest::mouseClick(form.CompareWithDevice, Qt::LeftButton);
        TCompareDialog* dialog = OpenDialog(form);
        QVERIFY(dialog);
        QCOMPARE(TableRows(dialog),
                 (QStringList{"Profiles | Profile 3: Use TFR Curve | No | Yes",
                              "Profiles | Profile 3: VW Power | 40.0 W | 45.5 W",
                              "Screen | Fade-Out | 1.0 s | 2.5 s",
                              "Screen | LED Color: Charging | Rainbow | Solid Color #F80000",
                              "Theme | Logo 2: Show in | Profile 1 | None",
                              "Buttons | Mod Lock | Disabled | Enabled",
                              "Buttons | Key Action: 3 x Fire | Main Menu | Next Profile",
                              "Battery | Soft Cut-Off | 2.50 V | 3.00 V"}));
        QCOMPARE(dialog->Summary->text(), "8 differences between the device and the editor:");
        QCOMPARE(dialog->CompareTable->topLevelItemCount(), 5); // one group per page
        QVERIFY(Settings == editor);                            // the editor's image is not touched
        QVERIFY(link.writes().isEmpty());                       // comparing only reads
        QCOMPARE(PortBusy(), 0);

        // Upload from the list: the window's own upload, then the list closes.
        QVERIFY(dialog->CompareUpload->isEnabled());
        Dialogs::setNextAnswer(QMessageBox::Ok);
        dialog->CompareUpload->click();
        QCOMPARE(Dialogs::shownMessages(), QStringList{"Done"});
        QTRY_VERIFY(!OpenDialog(form));
        QCOMPARE(link.emu().value("PPAR[2]"), QByteArray("420,455,400,220"));
        QCOMPARE(link.emu().value("LSCR"), QByteArray("0,0,0,0"));

        QTest::mouseClick(form.CompareWithDevice, Qt::LeftButton);
        QCOMPARE(TableRows(OpenDialog(form)), QStringList());
    }

    void decimalSeparatorOfTheLocale() {
        EmuLink link(1);
        QVERIFY(link.ok());
        QLocale::setDefault(QLocale(QLocale::German));
        TTunerForm form;
        form.DownloadSettingsClick();
        Settings.profile[0].voltage = 371;
        form.CompareWithDeviceClick();
        QCOMPARE(TableRows(OpenDialog(form)),
                 QStringList{"Profiles | Profile 1: Voltage | 4,20 V | 3,71 V"});
    }

    void failedDownloadShowsErrorAndKeepsTheEditor() {
        EmuLink link(1);
        QVERIFY(link.ok());
        TTunerForm form;
        form.DownloadSettingsClick();
        Settings.profile[0].powerTC = 123;
        const TSettings editor = Settings;
        TEmuFaults faults;
        faults.errorFor = "V2P[4]";
        link.emu().setFaults(faults);
        Dialogs::setNextAnswer(QMessageBox::Ok);
        form.CompareWithDeviceClick();
        QCOMPARE(Dialogs::shownMessages(), QStringList{"Error"});
        QVERIFY(!OpenDialog(form));
        QVERIFY(Settings == editor);
        QCOMPARE(PortBusy(), 0);
    }
};

QTEST_MAIN(TestCompare)
#include "test_compare.moc"
