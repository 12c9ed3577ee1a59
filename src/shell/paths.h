#pragma once
// The folder tree of the application's files. The base is the user's data folder
// (XDG_DATA_HOME, normally ~/.local/share); everything lies below base + "/DEVedazi".

#include <QString>
#include <QStringList>

QString BaseFolder();                      // empty when the system can't tell it
QString DataFolder();                      // BaseFolder() + "/DEVedazi"
QString DataPath(const QString& relative); // DataFolder() + "/" + relative
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
