#include "settings/recovery.h"

#include "settings/XMLSettings.h"
#include "settings/settingsfile.h"

#include <QDir>
#include <QFile>

namespace {
const QString kSection = QStringLiteral("Recovery");

QString ImageFile(const QString& folder) {
    return folder + QStringLiteral("/unsaved.xml");
}
QString BaselineFile(const QString& folder) {
    return folder + QStringLiteral("/unsaved-baseline.xml");
}
} // namespace

bool WriteRecovery(const QString& folder, const TSettings& image, const TSettings& baseline,
                   const TImageOrigin& origin, const QDateTime& time, QString* error) {
    try {
        if (!QDir().mkpath(folder))
            throw EXMLSettingsError(QStringLiteral("Cannot make the folder %1").arg(folder));
        SaveSettingsFile(BaselineFile(folder), baseline);
        SaveSettingsFile(ImageFile(folder), image);
        TXMLSettings store(ImageFile(folder));
        store.WriteString(kSection, QStringLiteral("Time"), time.toString(Qt::ISODateWithMs));
        store.WriteInteger(kSection, QStringLiteral("Source"), qint32(origin.source));
        store.WriteString(kSection, QStringLiteral("File"), origin.file);
        store.Close();
    } catch (const EXMLSettingsError& e) {
        if (error)
            *error = e.message();
        return false;
    }
    return true;
}

std::optional<TRecovered> ReadRecovery(const QString& folder) {
    if (!QFile::exists(ImageFile(folder)) || !QFile::exists(BaselineFile(folder)))
        return std::nullopt;
    TRecovered kept;
    try {
        kept.image = DefaultSettings();
        kept.baseline = DefaultSettings();
        (void)LoadSettingsFile(ImageFile(folder), kept.image, TFileUse::ReadOnly);
        (void)LoadSettingsFile(BaselineFile(folder), kept.baseline, TFileUse::ReadOnly);
        TXMLSettings store(ImageFile(folder));
        store.Discard();
        kept.time = QDateTime::fromString(
            store.ReadString(kSection, QStringLiteral("Time"), QString()), Qt::ISODateWithMs);
        const qint32 source = store.ReadInteger(kSection, QStringLiteral("Source"), 0);
        kept.origin.source = source == qint32(TImageSource::Device) ? TImageSource::Device
                             : source == qint32(TImageSource::File) ? TImageSource::File
                                                                    : TImageSource::New;
        if (kept.origin.source == TImageSource::File)
            kept.origin.file = store.ReadString(kSection, QStringLiteral("File"), QString());
    } catch (const EXMLSettingsError&) {
        return std::nullopt;
    }
    return kept;
}

void RemoveRecovery(const QString& folder) {
    QFile::remove(ImageFile(folder));
    QFile::remove(BaselineFile(folder));
}
