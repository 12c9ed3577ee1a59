#pragma once
// Settings files: the settings image as sections and keys of an XML store (XMLSettings.h).
// Both functions raise EXMLSettingsError: on a file that isn't well-formed XML, on an
// integer key that isn't an integer, and on a write error. A load that raises leaves the
// image exactly as it was.

#include "settings/settings.h"

#include <QString>
#include <QStringList>

// Writes every field except battCal into the file, creating it or updating it in place
// (unknown content of an existing file is kept). The file is replaced only when the new
// one is complete.
void SaveSettingsFile(const QString& fileName, const TSettings& source = Settings);
// Fills the image from the file, the built-in default for every key the file lacks; a
// missing file yields the default image. battCal is not touched, ModInfo neither. Texts
// lose their control characters, which must never reach the device's line; the result
// holds one note for the user per text so cleaned, and one per profile whose name holds
// characters the device's text encoding lacks (empty when there was nothing to say).
// With TFileUse::WriteBack the file is written back afterwards (a missing file is created
// holding the element Root); that write-back is best effort and never fails a load, and a
// failed write leaves the file as it was. TFileUse::ReadOnly leaves the file untouched.
enum class TFileUse { WriteBack, ReadOnly };
[[nodiscard]] QStringList LoadSettingsFile(const QString& fileName, TSettings& target = Settings,
                                           TFileUse use = TFileUse::WriteBack);
