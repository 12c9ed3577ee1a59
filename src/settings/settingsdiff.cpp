#include "settings/settingsdiff.h"

#include "settings/ledcolour.h"

#include "settings/codetables.h"
#include "settings/models.h"
#include "settings/numbers.h"
#include "settings/settings.h"

#include <algorithm>
#include <cmath>

namespace {

using Page = TSettingsPage;

// A decimal field: stored / scale with the editor's decimals, then the unit caption.
struct TUnit {
    int decimals;
    int scale;
    QString unit; // empty: none
};

QString Numbered(const char* text, int n) {
    return QString::fromLatin1(text) + QString::number(n);
}

QString Caption(const char* caption) {
    QString text = QString::fromUtf8(caption).trimmed();
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text;
}

QString CodeText(std::span<const char* const> names, qint32 code) {
    const QString name = CodeName(names, code);
    return name.isEmpty() ? QStringLiteral("(code %1)").arg(code) : name;
}

QString LedText(qint32 word) {
    if (IsLedEffect(word)) {
        const qint32 effect = LedEffectNumber(word);
        return effect < qint32(LedEffectNames.size()) ? CodeText(LedEffectNames, effect)
                                                      : QStringLiteral("Effect %1").arg(effect);
    }
    return QStringLiteral("Solid Color ") + ColourWordToRgb(word).name().toUpper();
}

QString YesNo(bool set) {
    return set ? QStringLiteral("Yes") : QStringLiteral("No");
}

QString Hex(qint32 bits) {
    return QStringLiteral("0x%1").arg(quint32(bits), 0, 16);
}

class TDiffer {
public:
    explicit TDiffer(const QLocale& locale) : m_locale(locale) {}

    // A field compared as stored, shown by `format`.
    template <class F>
    void Add(const QString& section, const QString& key, qint32 a, qint32 b, Page page,
             const QString& item, F format) {
        if (a == b)
            return;
        TFieldDiff diff{
            section + QLatin1Char('.') + key, QString::number(a), QString::number(b), true, {}};
        QString ta = format(a, 0), tb = format(b, 1);
        if (ta == tb) { // two stored values that show alike: tell them apart
            ta += QStringLiteral(" (%1)").arg(a);
            tb += QStringLiteral(" (%1)").arg(b);
        }
        diff.shown.append({page, item, ta, tb, true});
        m_diffs.append(diff);
    }
    void Add(const QString& section, const QString& key, qint32 a, qint32 b, Page page,
             const QString& item, const TUnit& unit) {
        Add(section, key, a, b, page, item, [&](qint32 v, int) { return Fixed(v, unit, a, b); });
    }
    void AddText(const QString& section, const QString& key, const QString& a, const QString& b,
                 Page page, const QString& item) {
        if (a != b)
            m_diffs.append(
                {section + QLatin1Char('.') + key, a, b, true, {{page, item, a, b, true}}});
    }
    // A switch word: one shown row per differing bit that `rows` names, one for the rest.
    template <class R>
    void AddSwitches(const QString& section, qint32 a, qint32 b, Page restPage, R rows) {
        if (a == b)
            return;
        TFieldDiff diff{
            section + QStringLiteral(".flags"), QString::number(a), QString::number(b), true, {}};
        qint32 named = 0;
        rows([&](qint32 bit, Page page, const QString& item, const QString& clear,
                 const QString& set) {
            named |= bit;
            if ((a & bit) != (b & bit))
                diff.shown.append(
                    {page, item, (a & bit) ? set : clear, (b & bit) ? set : clear, true});
        });
        if ((a & ~named) != (b & ~named))
            diff.shown.append(
                {restPage, OtherBitsItem(section), Hex(a & ~named), Hex(b & ~named), true});
        m_diffs.append(diff);
    }
    // The fields added since the count was `before` are never sent by an upload.
    void NotUploadedSince(qsizetype before) {
        for (qsizetype i = before; i < m_diffs.size(); ++i) {
            m_diffs[i].uploaded = false;
            for (TShownDiff& shown : m_diffs[i].shown)
                shown.uploaded = false;
        }
    }
    qsizetype Count() const { return m_diffs.size(); }

    QString Fixed(qint32 v, const TUnit& unit, qint32 a, qint32 b) const {
        int decimals = unit.decimals;
        if (FormatStored(a, decimals, unit.scale, m_locale) ==
            FormatStored(b, decimals, unit.scale, m_locale))
            decimals = int(std::lround(std::log10(double(unit.scale)))); // show every digit
        const QString number = FormatStored(v, decimals, unit.scale, m_locale);
        return unit.unit.isEmpty() ? number : number + QLatin1Char(' ') + unit.unit;
    }
    QList<TFieldDiff> Result() const { return m_diffs; }

private:
    static QString OtherBitsItem(const QString& section) {
        return section == QLatin1String("Settings")
                   ? QStringLiteral("Other Switch Bits")
                   : QStringLiteral("Profile %1: Other Switch Bits").arg(section.mid(7));
    }

    QLocale m_locale;
    QList<TFieldDiff> m_diffs;
};

const TUnit kSeconds1000{1, 1000, QStringLiteral("s")};
const TUnit kSeconds10{1, 10, QStringLiteral("s")};
const TUnit kWhole{0, 1, {}};
const TUnit kWholeSeconds{0, 1, QStringLiteral("s")};
const TUnit kWatts{1, 10, QStringLiteral("W")};
const TUnit kVolts{2, 100, QStringLiteral("V")};

Page PageOfSwitch(qint32 bit) {
    switch (bit) {
    case sfTempUnitF:
    case sfCoilAutosel:
        return Page::Mod;
    case sfLockMod:
    case sfLockParam:
    case sfSwapButtons:
    case sfW1Increment:
    case sfC1Increment:
    case sfSleepExit:
        return Page::Buttons;
    case sfCharger:
    case sfBalancer:
        return Page::Battery;
    default:
        return Page::Screen;
    }
}

void DiffGlobals(TDiffer& d, const TSettings& a, const TSettings& b) {
    const QString s = QStringLiteral("Settings");
    d.Add(s, "ID", a.ID, b.ID, Page::Profiles, "Model Name", [](qint32 v, int) {
        const QString name = ModelName(v);
        return QStringLiteral("%1 (ID %2)")
            .arg(name.isEmpty() ? QStringLiteral("Unknown Device") : name)
            .arg(v);
    });
    d.AddText(s, "Version", a.Version, b.Version, Page::Profiles, "Firmware Version");
    d.NotUploadedSince(0);
    const QStringList profiles = ProfileItemNames();
    d.Add(s, "curProfile", a.curProfile, b.curProfile, Page::Profiles, "Active Profile",
          [&](qint32 v, int) {
              return v >= 0 && v < profiles.size() ? profiles.at(v)
                                                   : QStringLiteral("(code %1)").arg(v);
          });
    d.AddSwitches(s, a.flags, b.flags, Page::Mod, [](auto row) {
        for (const TFlagBit& f : SettingsFlagBits)
            row(f.value, PageOfSwitch(f.value), Caption(f.caption), QString::fromUtf8(f.clear),
                QString::fromUtf8(f.set));
    });
    d.Add(s, "cntPuffs", a.cntPuffs, b.cntPuffs, Page::Mod, "Puffs Count", kWhole);
    d.Add(s, "cntPTime", a.cntPTime, b.cntPTime, Page::Mod, "Total Time", kWholeSeconds);
    d.Add(s, "timeLogo", a.timeLogo, b.timeLogo, Page::Screen, "Delay: Logo", kSeconds1000);
    d.Add(s, "timeInfo", a.timeInfo, b.timeInfo, Page::Screen, "Delay: Info", kSeconds1000);
    d.Add(s, "timeFadeIn", a.timeFadeIn, b.timeFadeIn, Page::Screen, "Fade-In", kSeconds10);
    d.Add(s, "timeFadeOut", a.timeFadeOut, b.timeFadeOut, Page::Screen, "Fade-Out", kSeconds10);
    d.Add(s, "battProfile", a.battProfile, b.battProfile, Page::Battery, "Batt. Profile",
          [](qint32 v, int) { return CodeText(BattProfileNames, v); });
    const qsizetype energy = d.Count();
    d.Add(s, "battRemNrg", a.battRemNrg, b.battRemNrg, Page::Battery, "Remaining Energy",
          TUnit{3, 1000, QStringLiteral("Wh")});
    d.NotUploadedSince(energy);
    d.Add(s, "pidRegP", a.pidRegP, b.pidRegP, Page::Mod, "Regulator P", kWhole);
    d.Add(s, "pidRegI", a.pidRegI, b.pidRegI, Page::Mod, "Regulator I", kWhole);
    d.Add(s, "pidRegD", a.pidRegD, b.pidRegD, Page::Mod, "Regulator D", kWhole);
}

QString TempUnit(const TSettings& image) {
    const TFlagBit& unit = *std::find_if(SettingsFlagBits.begin(), SettingsFlagBits.end(),
                                         [](const TFlagBit& b) { return b.value == sfTempUnitF; });
    return QString::fromUtf8((image.flags & unit.value) ? unit.set : unit.clear);
}

// The preheat value in the unit its own profile's switch says.
QString PreheatText(const TDiffer& d, qint32 v, const TProfile& p, qint32 a, qint32 b) {
    if (p.flags & pfPrehPerc)
        return d.Fixed(v, TUnit{0, 1, QStringLiteral("%")}, a, b);
    return d.Fixed(v, kWatts, a, b);
}

void DiffProfile(TDiffer& d, int n, const TSettings& ia, const TSettings& ib) {
    const TProfile& a = ia.profile[size_t(n - 1)];
    const TProfile& b = ib.profile[size_t(n - 1)];
    const QString s = Numbered("Profile", n);
    const QString item = QStringLiteral("Profile %1: ").arg(n);
    const auto I = [&](const char* caption) { return item + QLatin1String(caption); };
    const Page P = Page::Profiles;
    d.AddText(s, "name", a.name, b.name, P, I("Name"));
    d.Add(s, "mode", a.mode, b.mode, P, I("Mode"),
          [](qint32 v, int) { return CodeText(ModeNames, v); });
    d.AddSwitches(s, a.flags, b.flags, P, [&](auto row) {
        const QString yes = YesNo(true), no = YesNo(false);
        row(pfRLock, P, I("R/T is Locked"), no, yes);
        row(pfPrehPerc, P, I("Preheat Unit"), QStringLiteral("W"), QStringLiteral("%"));
        row(pfUseTFR, P, I("Use TFR Curve"), no, yes);
        row(pfAltParam, P, I("Alt. Parameter"), no, yes);
        row(pfPrehVW, P, I("Preheat Enabled (VW)"), no, yes);
        row(pfPrehTC, P, I("Preheat Enabled (TC)"), no, yes);
        row(pfInactive, P, I("Profile is Disabled"), no, yes);
    });
    d.Add(s, "voltage", a.voltage, b.voltage, P, I("Voltage"), kVolts);
    d.Add(s, "powerVW", a.powerVW, b.powerVW, P, I("VW Power"), kWatts);
    d.Add(s, "powerTC", a.powerTC, b.powerTC, P, I("TC Power"), kWatts);
    d.Add(s, "temperature", a.temperature, b.temperature, P, I("Temperature"),
          [&](qint32 v, int side) {
              return QStringLiteral("%1 %2").arg(v).arg(TempUnit(side == 0 ? ia : ib));
          });
    d.Add(s, "prehValue", a.prehValue, b.prehValue, P, I("Preheat Value"), [&](qint32 v, int side) {
        return PreheatText(d, v, side == 0 ? a : b, a.prehValue, b.prehValue);
    });
    d.Add(s, "prehTime", a.prehTime, b.prehTime, P, I("Preheat Time"), kSeconds1000);
    d.Add(s, "prehDelay", a.prehDelay, b.prehDelay, P, I("Preheat Delay"), kWholeSeconds);
    d.Add(s, "lockRes", a.lockRes, b.lockRes, P, I("R Base"),
          TUnit{3, 1000, QStringLiteral("\u03A9")});
    d.Add(s, "lockTemp", a.lockTemp, b.lockTemp, P, I("T Base"),
          TUnit{0, 1, QStringLiteral("\u00B0C")});
    d.Add(s, "TCR", a.TCR, b.TCR, P, I("TCR Value"), kWhole);
    for (int k = 0; k < TFRCount; ++k)
        d.Add(s, Numbered("TFR", k + 1), a.TFR[size_t(k)], b.TFR[size_t(k)], P,
              item + QStringLiteral("TFR at %1 \u00B0C").arg(100 + 50 * k), TUnit{4, 10000, {}});
}

void DiffLists(TDiffer& d, const TSettings& a, const TSettings& b, const TMod& model) {
    for (int k = 0; k < KeyActionCount; ++k)
        d.Add("KeyAction", Numbered("Key", k + 1), a.keyAction[size_t(k)], b.keyAction[size_t(k)],
              Page::Buttons, QStringLiteral("Key Action: ") + Caption(KeySlotCaptions[size_t(k)]),
              [](qint32 v, int) { return CodeText(ActionNames, v); });
    for (int k = 0; k < qMin(model.numLogo, LogoSlotCount); ++k)
        d.Add("LogoScreen", Numbered("Logo", k + 1), a.logoScreen[size_t(k)],
              b.logoScreen[size_t(k)], Page::Theme, QStringLiteral("Logo %1: Show in").arg(k + 1),
              [](qint32 v, int) { return CodeText(EventNames, v); });
    for (int r = 0; r < IndParRows; ++r) {
        QString mode = QString::fromLatin1(IndParRowCaptions[size_t(r)]);
        mode.remove(QLatin1Char('[')).remove(QLatin1Char(']'));
        for (int k = 0; k < qMin(model.numIPar, IndParCols); ++k)
            d.Add(Numbered("IndPar", r + 1), Numbered("Par", k + 1), a.indPar[size_t(r)][size_t(k)],
                  b.indPar[size_t(r)][size_t(k)], Page::Mod,
                  QStringLiteral("%1: Indicator %2").arg(mode.trimmed()).arg(k + 1),
                  [](qint32 v, int) { return CodeText(IndicatorNames, v); });
    }
}

void DiffDisplayStates(TDiffer& d, const TSettings& a, const TSettings& b, const TMod& model) {
    for (int r = 0; r < BrTimeRows; ++r) {
        const QString s = Numbered("BrTime", r + 1);
        const auto& ra = a.brTime[size_t(r)];
        const auto& rb = b.brTime[size_t(r)];
        d.Add(s, "Brightness", ra[btBrightness], rb[btBrightness], Page::Screen,
              QStringLiteral("Brightness: ") + Caption(BrightnessCaptions[size_t(r)]),
              TUnit{0, 1, QStringLiteral("%")});
        const QString state = Caption(StateCaptions[size_t(r)]);
        d.Add(s, "Time", ra[btTime], rb[btTime], Page::Screen, QStringLiteral("Time: ") + state,
              kWholeSeconds);
        if (model.rgbColor)
            d.Add(s, "Color", ra[btColor], rb[btColor], Page::Screen,
                  QStringLiteral("LED Color: ") + state, [](qint32 v, int) { return LedText(v); });
    }
}

void DiffBattery(TDiffer& d, const TSettings& a, const TSettings& b) {
    for (int r = 0; r < V2PRows; ++r) {
        const QString s = Numbered("V2P", r + 1);
        const auto& ra = a.v2p[size_t(r)];
        const auto& rb = b.v2p[size_t(r)];
        if (r == V2PEnergyRow) {
            d.Add(s, "percent", ra[vpPercent], rb[vpPercent], Page::Battery, "Energy",
                  TUnit{3, 1000, QStringLiteral("Wh per Cell")});
            d.Add(s, "voltage", ra[vpVoltage], rb[vpVoltage], Page::Battery, "Soft Cut-Off",
                  kVolts);
            continue;
        }
        const QString point = QStringLiteral("Discharge Curve %1: ").arg(r + 1);
        d.Add(s, "percent", ra[vpPercent], rb[vpPercent], Page::Battery, point + "Charge",
              TUnit{2, 100, QStringLiteral("%")});
        d.Add(s, "voltage", ra[vpVoltage], rb[vpVoltage], Page::Battery, point + "Voltage", kVolts);
    }
}

} // namespace

QString PageName(TSettingsPage page) {
    static const char* const names[SettingsPageCount] = {"Profiles", "Mod",     "Screen",
                                                         "Theme",    "Buttons", "Battery"};
    return QString::fromLatin1(names[int(page)]);
}

QList<TFieldDiff> DiffSettings(const TSettings& device, const TSettings& file, const TMod& model,
                               const QLocale& locale) {
    TDiffer d(locale);
    DiffGlobals(d, device, file);
    for (int p = 0; p < ProfileCount; ++p)
        DiffProfile(d, p + 1, device, file);
    DiffLists(d, device, file, model);
    DiffDisplayStates(d, device, file, model);
    DiffBattery(d, device, file);
    return d.Result();
}

QList<TShownDiff> ShownDiffs(const QList<TFieldDiff>& diffs) {
    QList<TShownDiff> rows;
    for (const TFieldDiff& diff : diffs)
        rows.append(diff.shown);
    std::stable_sort(rows.begin(), rows.end(), [](const TShownDiff& x, const TShownDiff& y) {
        return int(x.page) < int(y.page);
    });
    return rows;
}
