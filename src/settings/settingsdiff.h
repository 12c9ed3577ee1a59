#pragma once
// The fields in which two settings images differ, named as in the settings file
// ("Section.key"), limited to what the connected model holds; and each difference as the
// editor shows it: on which page, under which caption, in the page's units and texts.
// The command line's "diff" and the Tuner's "Compare with Device" both list these.

#include <QList>
#include <QLocale>
#include <QString>

struct TSettings;
struct TMod;

// The editor's pages, in their order.
enum class TSettingsPage { Profiles, Mod, Screen, Theme, Buttons, Battery };
inline constexpr int SettingsPageCount = 6;
QString PageName(TSettingsPage page); // "Profiles" .. "Battery"

// One difference as the editor shows it.
struct TShownDiff {
    TSettingsPage page = TSettingsPage::Profiles;
    QString item;   // e.g. "Profile 3: VW Power", "Brightness: Firing", "Buttons Swap"
    QString device; // e.g. "40.0 W", "Rainbow", "Enabled"
    QString file;
    bool uploaded = true; // false: shown only; an upload never sends it
};

struct TFieldDiff {
    QString field;        // e.g. "Profile3.voltage", "IndPar2.Par4", "Settings.flags"
    QString device;       // the value in the first image, as stored
    QString file;         // the value in the second image, as stored
    bool uploaded = true; // false for Version, ID and battRemNrg, which an upload never sends
    // The difference in the editor's units; a switch word gives one row per switch that
    // differs (and one for the bits no control shows).
    QList<TShownDiff> shown;
};

// Logo slots beyond model.numLogo, indicator entries beyond model.numIPar and the LED
// colour of models without RGB colour are not on the device and are not compared; neither
// is battCal, which no file holds. Decimal numbers in `shown` use `locale`'s separator.
QList<TFieldDiff> DiffSettings(const TSettings& device, const TSettings& file, const TMod& model,
                               const QLocale& locale = QLocale::c());

// Every shown row of `diffs`, grouped by page in page order, in field order within a page.
QList<TShownDiff> ShownDiffs(const QList<TFieldDiff>& diffs);
