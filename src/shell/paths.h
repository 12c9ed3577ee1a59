#pragma once
// The folder tree of the application's files. The base is the user's data folder
// (XDG_DATA_HOME, normally ~/.local/share); everything lies below base + "/DEVedazi".

#include <QString>
#include <QStringList>

QString BaseFolder();                      // empty when the system can't tell it
QString DataFolder();                      // BaseFolder() + "/DEVedazi"
QString DataPath(const QString& relative); // DataFolder() + "/" + relative
QStringList WorkingFolders();              // the ten working folders, relative to DataFolder()
bool CreateWorkingFolders();               // with any missing parents; false if one failed
QString DefaultSettingsFile();             // ".../Profiles/Settings/default.xml"
QString SettingsFolder();                  // ".../Profiles/Settings"
QString AppSettingsFile();                 // ".../settings.xml"
