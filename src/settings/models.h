#pragma once
// Device models, the application version and the firmware compatibility check.

#include <QList>
#include <QString>
#include <optional>

struct TMod {
    qint32 ID = 0;
    QString name;
    qint32 scrWidth = 0;
    qint32 scrHeight = 0;
    bool scrColor = false;
    bool rgbColor = false;
    qint32 numLogo = 0;
    qint32 numIPar = 0;
    qint32 numBatt = 0;
};

extern TMod ModInfo;

void SelectModel(qint32 id);
// How many times a model was selected since start: a change tells that the connected
// device's "ID" was read since an earlier look.
quint64 ModelSelections();
// The known models with a device behind them (IDs 1..5), in ID order.
QList<TMod> KnownModels();
// The folder name of a model's files (firmware, backups): "Dozore_213" ... "Dozore_Duo3";
// empty for an unknown ID.
QString ModelFolder(qint32 id);
// The name of a known model ("Dozore 213" ...); empty for an unknown ID.
QString ModelName(qint32 id);
bool ReadModel();
QString AppVersion(); // major.minor.release
int AppBuild();       // the build number, not part of AppVersion()
int CompareVersions(const QString& a, const QString& b);

// Reads "VER" inside a running sequence. Returns false when the firmware is too old; the
// refused version text is then kept until TakeFirmwareRefusal() so that the caller can
// report it after the sequence has released the port. Each check drops a refusal an
// earlier one left behind.
bool CheckFirmware(QString& version);
std::optional<QString> TakeFirmwareRefusal();
// "Incompatible firmware version (%s)" CR "Please update firmware"
QString FirmwareRefusalText(const QString& version);

void ResetModels(); // ModInfo back to the start-up zeros, no pending refusal (for tests)
