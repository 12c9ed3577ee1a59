#pragma once
// The fields in which two settings images differ, named as in the settings file
// ("Section.key"), limited to what the connected model holds.

#include <QList>
#include <QString>

struct TSettings;
struct TMod;

struct TFieldDiff {
    QString field;  // e.g. "Profile3.voltage", "IndPar2.Par4", "Settings.flags"
    QString device; // the value in the first image
    QString file;   // the value in the second image
};

// Logo slots beyond model.numLogo, indicator entries beyond model.numIPar and the LED
// colour of models without RGB colour are not on the device and are not compared; neither
// is battCal, which no file holds.
QList<TFieldDiff> DiffSettings(const TSettings& device, const TSettings& file, const TMod& model);
