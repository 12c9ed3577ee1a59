#include "settings/transfer.h"

#include "link/transport.h"

#include <algorithm>

namespace {

// A raw reading gives up after this many parameters in a row without an answer.
constexpr int kRawGiveUpAfter = 5;

TParamRef Ints(const QString& name, QList<qint32*> fields) {
    TParamRef p;
    p.name = name;
    p.count = int(fields.size());
    p.fields = std::move(fields);
    return p;
}

template <std::size_t N> QList<qint32*> Row(std::array<qint32, N>& row, int count) {
    QList<qint32*> fields;
    for (int i = 0; i < count && std::size_t(i) < N; ++i)
        fields.append(&row[std::size_t(i)]);
    return fields;
}

void AddDeviceParams(QList<TParamRef>& list, TSettings& s, const TMod& model) {
    list << Ints("PROF", {&s.curProfile}) << Ints("FLGS", {&s.flags})
         << Ints("PUFF", {&s.cntPuffs, &s.cntPTime})
         << Ints("PID", {&s.pidRegP, &s.pidRegI, &s.pidRegD})
         << Ints("TIME", {&s.timeLogo, &s.timeInfo})
         << Ints("FADE", {&s.timeFadeIn, &s.timeFadeOut}) << Ints("BPRF", {&s.battProfile});
    TParamRef energy = Ints("BNRG", {&s.battRemNrg});
    energy.upload = false;
    list << energy << Ints("KACT", Row(s.keyAction, KeyActionCount));

    TParamRef logos = Ints("LSCR", Row(s.logoScreen, model.numLogo));
    logos.count = model.numLogo;
    logos.upload = model.numLogo == 8 || model.numLogo == 4;
    list << logos;
    for (int r = 0; r < IndParRows; ++r) {
        TParamRef row = Ints(QStringLiteral("IPAR[%1]").arg(r), Row(s.indPar[r], model.numIPar));
        row.count = model.numIPar;
        row.upload = model.numIPar == 3 || model.numIPar == 5;
        list << row;
    }
    for (int r = 0; r < BrTimeRows; ++r) {
        TParamRef row =
            Ints(QStringLiteral("BRTM[%1]").arg(r), Row(s.brTime[r], model.rgbColor ? 3 : 2));
        if (!model.rgbColor)
            row.zeroOnRead = {&s.brTime[r][btColor]};
        list << row;
    }
    for (int r = 0; r < V2PRows; ++r)
        list << Ints(QStringLiteral("V2P[%1]").arg(r), Row(s.v2p[r], 2));
}

void AddProfileParams(QList<TParamRef>& list, TProfile& f, int p) {
    const auto name = [p](const char* format) { return QString::asprintf(format, p); };
    TParamRef pname;
    pname.name = name("PNAM[%d]");
    pname.text = &f.name;
    list << pname << Ints(name("PMOD[%d]"), {&f.mode}) << Ints(name("PFLG[%d]"), {&f.flags})
         << Ints(name("PPAR[%d]"), {&f.voltage, &f.powerVW, &f.powerTC, &f.temperature})
         << Ints(name("PPRE[%d]"), {&f.prehValue, &f.prehTime, &f.prehDelay})
         << Ints(name("PLCK[%d]"), {&f.lockRes, &f.lockTemp}) << Ints(name("PTCR[%d]"), {&f.TCR})
         << Ints(name("PTFR[%d]"), Row(f.TFR, TFRCount));
}

void ReadParamInto(const TParamRef& p) {
    if (p.text) {
        // A control character kept in the image would go into the settings file and back
        // to the device: the text is stored without them, as a loaded file's is.
        ReadParam(p.name, *p.text);
        *p.text = WithoutControlCharacters(*p.text);
        return;
    }
    TIntegers values;
    ReadInts(p.name, p.count, values);
    for (int i = 0; i < p.fields.size(); ++i)
        *p.fields[i] = i < values.size() ? values[i] : 0;
    for (qint32* field : p.zeroOnRead)
        *field = 0;
}

void WriteParamFrom(const TParamRef& p) {
    if (!p.upload)
        return;
    if (p.text) {
        WriteParam(p.name, *p.text);
        return;
    }
    TIntegers values;
    for (const qint32* field : p.fields)
        values.append(*field);
    WriteInts(p.name, values);
}

// "ID" and the model it selects; returns the device's value (0 when the read failed).
qint32 ReadDeviceModel() {
    TIntegers id;
    ReadInts(QStringLiteral("ID"), 1, id);
    const qint32 value = id.value(0);
    SelectModel(value);
    return value;
}

} // namespace

QList<TParamRef> SettingsCatalogue(TSettings& image, const TMod& model) {
    QList<TParamRef> list;
    AddDeviceParams(list, image, model);
    for (int p = 0; p < ProfileCount; ++p)
        AddProfileParams(list, image.profile[p], p);
    return list;
}

bool ReadDeviceSettingsInto(TSettings& target) {
    TSequence seq(TransferProgressMax);
    TSettings image = target; // entries beyond the model's counts and battCal stay as they are
    if (!CheckFirmware(image.Version))
        return false;
    image.Version = WithoutControlCharacters(image.Version);
    image.ID = ReadDeviceModel();
    const auto catalogue = SettingsCatalogue(image, ModInfo);
    for (const TParamRef& p : catalogue)
        ReadParamInto(p);
    const bool ok = seq.Finish();
    if (ok)
        target = image;
    return ok;
}

bool ReadRawSettings(TRawSettings& raw) {
    raw = TRawSettings();
    TSequence seq(TransferProgressMax);
    ReadParam(QStringLiteral("VER"), raw.version);
    raw.version = WithoutControlCharacters(raw.version);
    raw.id = ReadDeviceModel();
    TSettings image = DefaultSettings();
    const auto catalogue = SettingsCatalogue(image, ModInfo);
    int failedInARow = 0;
    for (const TParamRef& p : catalogue) {
        // Unlike a transfer, one unanswered parameter (unknown to an older firmware) does
        // not end the reading: each parameter starts with the link taken as good again. A
        // closed port fails every one at once, and a device that stopped answering ends it.
        LinkLost = failedInARow >= kRawGiveUpAfter;
        QString value;
        ReadParam(p.name, value);
        failedInARow = LinkLost ? failedInARow + 1 : 0;
        if (LinkLost)
            ++raw.unanswered;
        else
            raw.lines.append(p.name + QLatin1Char('=') + WithoutControlCharacters(value));
    }
    LinkLost = raw.lines.isEmpty();
    seq.Finish();
    return !raw.lines.isEmpty();
}

bool ReadDeviceSettings() {
    return ReadDeviceSettingsInto(Settings);
}

bool WriteDeviceSettings() {
    TSequence seq(TransferProgressMax);
    QString version;
    if (!CheckFirmware(version))
        return false;
    const qint32 id = ReadDeviceModel();
    if (!LinkLost)
        Settings.ID = id;
    TSettings image = Settings;
    const auto catalogue = SettingsCatalogue(image, ModInfo);
    for (const TParamRef& p : catalogue)
        WriteParamFrom(p);
    return seq.Finish();
}
