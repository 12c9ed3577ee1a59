#include "settings/settingsfile.h"

#include "link/devicetext.h"
#include "link/transport.h"
#include "settings/XMLSettings.h"

#include <QDir>
#include <QList>

namespace {

// One key of the file: its section and name, the field it maps to and the field's default.
struct TKeyRef {
    QString section;
    QString key;
    qint32* number = nullptr; // integer keys
    QString* text = nullptr;  // text keys
    qint32 defNumber = 0;
    QString defText;
};

class TKeyList {
public:
    TKeyList(TSettings& s, const TSettings& d) : m_s(s), m_d(d) {
        AddSettings();
        for (int p = 0; p < ProfileCount; ++p)
            AddProfile(p);
        AddArrays();
    }
    const QList<TKeyRef>& keys() const { return m_keys; }

private:
    void Int(const QString& section, const QString& key, qint32& field, qint32 def) {
        m_keys.append({section, key, &field, nullptr, def, {}});
    }
    void Int(const QString& section, const QString& key, qint32 TSettings::*member) {
        Int(section, key, m_s.*member, m_d.*member);
    }
    void Text(const QString& section, const QString& key, QString& field, const QString& def) {
        m_keys.append({section, key, nullptr, &field, 0, def});
    }

    void AddSettings() {
        const QString s = QStringLiteral("Settings");
        Int(s, "ID", &TSettings::ID);
        Text(s, "Version", m_s.Version, m_d.Version);
        Int(s, "curProfile", &TSettings::curProfile);
        Int(s, "flags", &TSettings::flags);
        Int(s, "cntPuffs", &TSettings::cntPuffs);
        Int(s, "cntPTime", &TSettings::cntPTime);
        Int(s, "timeLogo", &TSettings::timeLogo);
        Int(s, "timeInfo", &TSettings::timeInfo);
        Int(s, "timeFadeIn", &TSettings::timeFadeIn);
        Int(s, "timeFadeOut", &TSettings::timeFadeOut);
        Int(s, "battProfile", &TSettings::battProfile);
        Int(s, "battRemNrg", &TSettings::battRemNrg);
        Int(s, "pidRegP", &TSettings::pidRegP);
        Int(s, "pidRegI", &TSettings::pidRegI);
        Int(s, "pidRegD", &TSettings::pidRegD);
    }

    void AddProfile(int p) {
        const QString s = QStringLiteral("Profile%1").arg(p + 1);
        TProfile& f = m_s.profile[p];
        const TProfile& d = m_d.profile[p];
        const auto I = [&](const char* key, qint32 TProfile::*member) {
            Int(s, key, f.*member, d.*member);
        };
        Text(s, "name", f.name, m_d.profile[p].name);
        I("mode", &TProfile::mode);
        I("flags", &TProfile::flags);
        I("voltage", &TProfile::voltage);
        I("powerVW", &TProfile::powerVW);
        I("powerTC", &TProfile::powerTC);
        I("temperature", &TProfile::temperature);
        I("prehValue", &TProfile::prehValue);
        I("prehTime", &TProfile::prehTime);
        I("prehDelay", &TProfile::prehDelay);
        I("lockRes", &TProfile::lockRes);
        I("lockTemp", &TProfile::lockTemp);
        I("TCR", &TProfile::TCR);
        for (int k = 0; k < TFRCount; ++k)
            Int(s, QStringLiteral("TFR%1").arg(k + 1), f.TFR[k], d.TFR[k]);
    }

    void AddArrays() {
        for (int k = 0; k < KeyActionCount; ++k)
            Int("KeyAction", QStringLiteral("Key%1").arg(k + 1), m_s.keyAction[k],
                m_d.keyAction[k]);
        for (int k = 0; k < LogoSlotCount; ++k)
            Int("LogoScreen", QStringLiteral("Logo%1").arg(k + 1), m_s.logoScreen[k],
                m_d.logoScreen[k]);
        for (int r = 0; r < IndParRows; ++r)
            for (int k = 0; k < IndParCols; ++k)
                Int(QStringLiteral("IndPar%1").arg(r + 1), QStringLiteral("Par%1").arg(k + 1),
                    m_s.indPar[r][k], m_d.indPar[r][k]);
        for (int r = 0; r < BrTimeRows; ++r) {
            const QString s = QStringLiteral("BrTime%1").arg(r + 1);
            Int(s, "Brightness", m_s.brTime[r][btBrightness], m_d.brTime[r][btBrightness]);
            Int(s, "Time", m_s.brTime[r][btTime], m_d.brTime[r][btTime]);
            Int(s, "Color", m_s.brTime[r][btColor], m_d.brTime[r][btColor]);
        }
        for (int r = 0; r < V2PRows; ++r) {
            const QString s = QStringLiteral("V2P%1").arg(r + 1);
            Int(s, "percent", m_s.v2p[r][vpPercent], m_d.v2p[r][vpPercent]);
            Int(s, "voltage", m_s.v2p[r][vpVoltage], m_d.v2p[r][vpVoltage]);
        }
    }

    TSettings& m_s;
    const TSettings& m_d;
    QList<TKeyRef> m_keys;
};

// A name the device's text encoding can't carry would reach the device with "?" in place of
// those characters: said per profile, the name itself is loaded as it is.
QStringList NamesBeyondEncoding(const QString& fileName, const TSettings& image) {
    QStringList notes;
    for (int p = 0; p < ProfileCount; ++p) {
        const QString lacking = CharactersDeviceLacks(image.profile[p].name);
        if (!lacking.isEmpty())
            notes.append(
                QStringLiteral("%1: the name of profile %2 (\"%3\") holds characters the "
                               "device's text encoding, %4, cannot carry (%5); they "
                               "would reach the device as \"?\".")
                    .arg(QDir::toNativeSeparators(fileName))
                    .arg(p + 1)
                    .arg(image.profile[p].name, DeviceEncodingTitle(DeviceEncoding()), lacking));
    }
    return notes;
}

} // namespace

void SaveSettingsFile(const QString& fileName, const TSettings& source) {
    TXMLSettings store(fileName);
    TSettings image = source; // the key list wants a record it may point into
    const TSettings defaults = DefaultSettings();
    const TKeyList list(image, defaults);
    for (const TKeyRef& k : list.keys()) {
        if (k.text)
            store.WriteString(k.section, k.key, *k.text);
        else
            store.WriteInteger(k.section, k.key, *k.number);
    }
    store.Close();
}

QStringList LoadSettingsFile(const QString& fileName, TSettings& target, TFileUse use) {
    TXMLSettings store(fileName); // the destructor writes the file back, also after an error
    if (use == TFileUse::ReadOnly)
        store.Discard();
    // Read into a copy: a bad value stops the load with the image exactly as it was, so a
    // half-loaded image can never be shown as the old one and uploaded as a mixture.
    TSettings image = target;
    const TSettings defaults = DefaultSettings();
    const TKeyList list(image, defaults);
    QStringList notes;
    for (const TKeyRef& k : list.keys()) {
        if (!k.text) {
            *k.number = store.ReadInteger(k.section, k.key, k.defNumber);
            continue;
        }
        const QString text = store.ReadString(k.section, k.key, k.defText);
        *k.text = WithoutControlCharacters(text);
        if (*k.text != text)
            notes.append(QStringLiteral("%1: control characters removed from %2.%3")
                             .arg(QDir::toNativeSeparators(fileName), k.section, k.key));
    }
    notes += NamesBeyondEncoding(fileName, image);
    target = image;
    return notes;
}
