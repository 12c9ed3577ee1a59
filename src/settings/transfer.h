#pragma once
// Copying the settings image between the device and Settings, and the parameter catalogue
// that says which protocol parameter carries which fields.

#include "settings/models.h"
#include "settings/settings.h"

#include <QList>
#include <QString>
#include <QStringList>

// One parameter of the catalogue, bound to the fields of one image.
struct TParamRef {
    QString name;
    int count = 0;             // values on the wire (integer parameters)
    QList<qint32*> fields;     // where the values go, in wire order (at most count)
    QString* text = nullptr;   // set for a text parameter (the profile names)
    bool upload = true;        // false: only the download reads it
    QList<qint32*> zeroOnRead; // fields a download clears (colour without RGB rows)
};

// The parameters after "VER" and "ID", in transfer order, for the given model's counts.
QList<TParamRef> SettingsCatalogue(TSettings& image, const TMod& model);

constexpr int TransferProgressMax = 96;

// Reads the whole image from the device into `image`, which is replaced only when every
// parameter was read; on any failure (and on a refused firmware, see TakeFirmwareRefusal())
// it stays exactly as it was. Entries the model doesn't transfer keep the values `image`
// held. ModInfo follows the device's "ID" in every case.
bool ReadDeviceSettingsInto(TSettings& image);
// What a device answers, whatever its firmware: the lines are NAME=VALUE as received (the
// name, "=" and the text after it) for every parameter of the catalogue that was answered,
// in catalogue order; a parameter the device refuses or doesn't answer is left out (and
// counted), and the reading goes on with the next. `version` and the model follow "VER"
// and "ID". True when at least one parameter was answered.
struct TRawSettings {
    QString version;
    qint32 id = 0;
    QStringList lines;
    int unanswered = 0;
};
bool ReadRawSettings(TRawSettings& raw);

// ReadDeviceSettingsInto(Settings).
bool ReadDeviceSettings();
// Sends Settings by the connected model's counts: each parameter is read back first and
// written only when the device holds another value. Settings.ID takes the device's ID.
bool WriteDeviceSettings();
