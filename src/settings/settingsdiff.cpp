#include "settings/settingsdiff.h"

#include "settings/models.h"
#include "settings/settings.h"

namespace {

class TDiffer {
public:
    void Add(const QString& section, const QString& key, qint32 device, qint32 file) {
        if (device != file)
            m_diffs.append(
                {section + QLatin1Char('.') + key, QString::number(device), QString::number(file)});
    }
    void Add(const QString& section, const QString& key, const QString& device,
             const QString& file) {
        if (device != file)
            m_diffs.append({section + QLatin1Char('.') + key, device, file});
    }
    QList<TFieldDiff> Result() const { return m_diffs; }

private:
    QList<TFieldDiff> m_diffs;
};

QString Numbered(const char* text, int n) {
    return QString::fromLatin1(text) + QString::number(n);
}

void DiffGlobals(TDiffer& d, const TSettings& a, const TSettings& b) {
    const QString s = QStringLiteral("Settings");
    d.Add(s, QStringLiteral("ID"), a.ID, b.ID);
    d.Add(s, QStringLiteral("Version"), a.Version, b.Version);
    d.Add(s, QStringLiteral("curProfile"), a.curProfile, b.curProfile);
    d.Add(s, QStringLiteral("flags"), a.flags, b.flags);
    d.Add(s, QStringLiteral("cntPuffs"), a.cntPuffs, b.cntPuffs);
    d.Add(s, QStringLiteral("cntPTime"), a.cntPTime, b.cntPTime);
    d.Add(s, QStringLiteral("timeLogo"), a.timeLogo, b.timeLogo);
    d.Add(s, QStringLiteral("timeInfo"), a.timeInfo, b.timeInfo);
    d.Add(s, QStringLiteral("timeFadeIn"), a.timeFadeIn, b.timeFadeIn);
    d.Add(s, QStringLiteral("timeFadeOut"), a.timeFadeOut, b.timeFadeOut);
    d.Add(s, QStringLiteral("battProfile"), a.battProfile, b.battProfile);
    d.Add(s, QStringLiteral("battRemNrg"), a.battRemNrg, b.battRemNrg);
    d.Add(s, QStringLiteral("pidRegP"), a.pidRegP, b.pidRegP);
    d.Add(s, QStringLiteral("pidRegI"), a.pidRegI, b.pidRegI);
    d.Add(s, QStringLiteral("pidRegD"), a.pidRegD, b.pidRegD);
}

void DiffProfile(TDiffer& d, int n, const TProfile& a, const TProfile& b) {
    const QString s = Numbered("Profile", n);
    d.Add(s, QStringLiteral("name"), a.name, b.name);
    d.Add(s, QStringLiteral("mode"), a.mode, b.mode);
    d.Add(s, QStringLiteral("flags"), a.flags, b.flags);
    d.Add(s, QStringLiteral("voltage"), a.voltage, b.voltage);
    d.Add(s, QStringLiteral("powerVW"), a.powerVW, b.powerVW);
    d.Add(s, QStringLiteral("powerTC"), a.powerTC, b.powerTC);
    d.Add(s, QStringLiteral("temperature"), a.temperature, b.temperature);
    d.Add(s, QStringLiteral("prehValue"), a.prehValue, b.prehValue);
    d.Add(s, QStringLiteral("prehTime"), a.prehTime, b.prehTime);
    d.Add(s, QStringLiteral("prehDelay"), a.prehDelay, b.prehDelay);
    d.Add(s, QStringLiteral("lockRes"), a.lockRes, b.lockRes);
    d.Add(s, QStringLiteral("lockTemp"), a.lockTemp, b.lockTemp);
    d.Add(s, QStringLiteral("TCR"), a.TCR, b.TCR);
    for (int k = 0; k < TFRCount; ++k)
        d.Add(s, Numbered("TFR", k + 1), a.TFR[size_t(k)], b.TFR[size_t(k)]);
}

void DiffTables(TDiffer& d, const TSettings& a, const TSettings& b, const TMod& model) {
    for (int k = 0; k < KeyActionCount; ++k)
        d.Add(QStringLiteral("KeyAction"), Numbered("Key", k + 1), a.keyAction[size_t(k)],
              b.keyAction[size_t(k)]);
    for (int k = 0; k < qMin(model.numLogo, LogoSlotCount); ++k)
        d.Add(QStringLiteral("LogoScreen"), Numbered("Logo", k + 1), a.logoScreen[size_t(k)],
              b.logoScreen[size_t(k)]);
    for (int r = 0; r < IndParRows; ++r)
        for (int k = 0; k < qMin(model.numIPar, IndParCols); ++k)
            d.Add(Numbered("IndPar", r + 1), Numbered("Par", k + 1), a.indPar[size_t(r)][size_t(k)],
                  b.indPar[size_t(r)][size_t(k)]);
    const char* const brKeys[BrTimeCols] = {"Brightness", "Time", "Color"};
    const int brCols = model.rgbColor ? 3 : 2;
    for (int r = 0; r < BrTimeRows; ++r)
        for (int k = 0; k < brCols; ++k)
            d.Add(Numbered("BrTime", r + 1), QString::fromLatin1(brKeys[k]),
                  a.brTime[size_t(r)][size_t(k)], b.brTime[size_t(r)][size_t(k)]);
    for (int r = 0; r < V2PRows; ++r) {
        d.Add(Numbered("V2P", r + 1), QStringLiteral("percent"), a.v2p[size_t(r)][vpPercent],
              b.v2p[size_t(r)][vpPercent]);
        d.Add(Numbered("V2P", r + 1), QStringLiteral("voltage"), a.v2p[size_t(r)][vpVoltage],
              b.v2p[size_t(r)][vpVoltage]);
    }
}

} // namespace

QList<TFieldDiff> DiffSettings(const TSettings& device, const TSettings& file, const TMod& model) {
    TDiffer d;
    DiffGlobals(d, device, file);
    for (int p = 0; p < ProfileCount; ++p)
        DiffProfile(d, p + 1, device.profile[size_t(p)], file.profile[size_t(p)]);
    DiffTables(d, device, file, model);
    return d.Result();
}
