#pragma once
// The folder tree of the application's files. The base is the user's data folder
// (XDG_DATA_HOME, normally ~/.local/share); everything lies below base + "/DEVedazi".

#include <QString>

QString BaseFolder();                      // empty when the system can't tell it
QString DataFolder();                      // BaseFolder() + "/DEVedazi"
QString DataPath(const QString& relative); // DataFolder() + "/" + relative
