#pragma once
// The working folders and files below the data folder (settings/datafolder.h), and where
// the manuals lie.

#include "settings/datafolder.h"

#include <QString>
#include <QStringList>

QStringList WorkingFolders();  // the working folders (one per model for firmware), relative
bool CreateWorkingFolders();   // with any missing parents; false if one failed
QString DefaultSettingsFile(); // ".../Profiles/Settings/default.xml"
QString SettingsFolder();      // ".../Profiles/Settings"
QString AppSettingsFile();     // ".../settings.xml"

// A file of the manual folder ("Manual_eng.pdf", "README.md"): "Manual" beside the
// executable (the build tree), else the installed data folder (<prefix>/share/devedazi/Manual).
// When neither holds it, the first of the two (so a message can say where it belongs).
// appDir: the executable's folder (the running program's when empty).
QString ManualPath(const QString& fileName, const QString& appDir = QString());
