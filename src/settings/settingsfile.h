#pragma once
// Settings files: the settings image as sections and keys of an XML store (XMLSettings.h).
// Both functions raise EXMLSettingsError: on a file that isn't well-formed XML (before any
// field changes), on an integer key that isn't an integer (loading stops there: the fields
// read before hold the file's values, the later ones keep theirs), and on a write error.

#include "settings/settings.h"

#include <QString>

// Writes every field except battCal into the file, creating it or updating it in place
// (unknown content of an existing file is kept). The file is replaced only when the new
// one is complete.
void SaveSettingsFile(const QString& fileName, const TSettings& source = Settings);
// Fills the image from the file, the built-in default for every key the file lacks; a
// missing file yields the default image. battCal is not touched, ModInfo neither. The
// file is written back afterwards (a missing file is created holding the element Root);
// that write-back is best effort and never fails a load.
void LoadSettingsFile(const QString& fileName, TSettings& target = Settings);
