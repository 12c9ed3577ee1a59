#pragma once
// The settings image of the device. (Being filled in: only the fields the link layer needs.)

#include <QString>

struct TSettings {
    QString Version;
    qint32 ID = 0;
};

extern TSettings Settings;
