#include "settings/settings.h"

#include "settings/batterypresets.h"

TSettings Settings;
TProfile ProfileClipboard;
bool ProfileClipboardFilled = false;

TProfile DefaultProfile(int index) {
    TProfile p;
    p.name = QStringLiteral("PROFILE%1").arg(index + 1);
    p.mode = pmVW;
    p.flags = 0;
    p.voltage = 420;
    p.powerVW = 400;
    p.powerTC = 400;
    p.temperature = 220;
    p.prehValue = 400;
    p.prehTime = 100;
    p.prehDelay = 10;
    p.lockRes = 0;
    p.lockTemp = 0;
    p.TCR = 0;
    p.TFR.fill(10000);
    return p;
}

TSettings DefaultSettings() {
    TSettings s;
    s.ID = 0;
    s.Version = QStringLiteral("0.0.0");
    s.curProfile = 0;
    s.flags = sfCharger | sfBalancer; // 96
    s.timeLogo = 1000;
    s.timeInfo = 500;
    s.timeFadeIn = 10;
    s.timeFadeOut = 10;
    s.battProfile = 0;
    s.battRemNrg = 30000;
    s.pidRegP = 600;
    s.pidRegI = 850;
    s.pidRegD = 0;
    for (int i = 0; i < ProfileCount; ++i)
        s.profile[i] = DefaultProfile(i);
    s.keyAction = {0, 1, 0, 2, 3, 4, 8, 0};
    s.logoScreen.fill(0);
    s.indPar = {{{1, 2, 4, 13, 14}, {1, 2, 3, 13, 14}, {1, 2, 5, 13, 14}, {12, 8, 21, 13, 14}}};
    s.brTime = {{{100, 10, 0x7C00},
                 {75, 10, 0x03E0},
                 {50, 10, 0x001F},
                 {25, 60, LedRainbow},
                 {0, 600, 0},
                 {75, 0, 0x7C1F}}};
    s.v2p = GenericBatteryTable(); // the "Generic" preset is the default curve
    return s;
}
