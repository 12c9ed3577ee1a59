#include "settings/models.h"

#include "link/transport.h"
#include "settings/settings.h"

#include <array>

TMod ModInfo;

namespace {

const std::array<TMod, 6> kModels = {{
    {0, QStringLiteral("Unknown Device"), 128, 32, false, false, 0, 3, 2},
    {1, QStringLiteral("Dozore 213"), 128, 32, false, false, 8, 3, 2},
    {2, QStringLiteral("Dozore Plus"), 128, 64, true, false, 4, 5, 2},
    {3, QStringLiteral("Dozore Mini"), 128, 32, false, false, 8, 3, 1},
    {4, QStringLiteral("Zedo Dizerado"), 128, 64, true, true, 4, 5, 2},
    {5, QStringLiteral("Dozore Duo-3"), 128, 64, true, false, 4, 5, 3},
}};

std::optional<QString> s_refusal;

bool isBlank(QChar c) {
    return c.unicode() >= 1 && c.unicode() <= 32;
}

// Splits a dotted text the way a delimited list is parsed: blanks around a part are
// skipped and also end a part; a text ending in "." has an empty last part.
QStringList versionParts(const QString& text) {
    QStringList parts;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isBlank(text.at(i)))
        ++i;
    while (i < n) {
        const qsizetype start = i;
        while (i < n && !isBlank(text.at(i)) && text.at(i) != QLatin1Char('.'))
            ++i;
        parts.append(text.mid(start, i - start));
        while (i < n && isBlank(text.at(i)))
            ++i;
        if (i < n && text.at(i) == QLatin1Char('.')) {
            if (i + 1 == n)
                parts.append(QString());
            do
                ++i;
            while (i < n && isBlank(text.at(i)));
        }
    }
    return parts;
}

int partValue(const QString& part) {
    bool ok = false;
    const int v = part.toInt(&ok, 10);
    return ok ? v : -1;
}

} // namespace

namespace {
quint64 s_selections = 0;
}

quint64 ModelSelections() {
    return s_selections;
}

void SelectModel(qint32 id) {
    ++s_selections;
    ModInfo.ID = id;
    if (id < 0 || id >= qint32(kModels.size()))
        return;
    ModInfo = kModels[size_t(id)];
}

QList<TMod> KnownModels() {
    return QList<TMod>(kModels.begin() + 1, kModels.end());
}

QString ModelFolder(qint32 id) {
    static constexpr std::array<const char*, 6> folders = {
        "", "Dozore_213", "Dozore_Plus", "Dozore_Mini", "Zedo_Dizerado", "Dozore_Duo3"};
    static_assert(folders.size() == std::tuple_size_v<decltype(kModels)>);
    if (id < 1 || id >= qint32(folders.size()))
        return {};
    return QString::fromLatin1(folders[size_t(id)]);
}

QString ModelName(qint32 id) {
    if (id < 1 || id >= qint32(kModels.size()))
        return {};
    return kModels[size_t(id)].name;
}

bool ReadModel() {
    TSequence sequence(1);
    TIntegers id;
    ReadInts(QStringLiteral("ID"), 1, id);
    Settings.ID = id.value(0);
    SelectModel(Settings.ID);
    return sequence.Finish();
}

QString AppVersion() {
    return QStringLiteral("%1.%2.%3")
        .arg(DEVEDAZI_VERSION_MAJOR)
        .arg(DEVEDAZI_VERSION_MINOR)
        .arg(DEVEDAZI_VERSION_PATCH);
}

int AppBuild() {
    return DEVEDAZI_VERSION_BUILD;
}

int CompareVersions(const QString& a, const QString& b) {
    const QStringList pa = versionParts(a);
    const QStringList pb = versionParts(b);
    if (pa.size() != pb.size())
        return 0;
    for (qsizetype i = 0; i < pa.size(); ++i) {
        const int x = partValue(pa.at(i));
        const int y = partValue(pb.at(i));
        if (x != y)
            return x < y ? 1 : -1;
    }
    return 0;
}

bool CheckFirmware(QString& version) {
    // A refusal nobody took belongs to an earlier check, never to this one.
    s_refusal.reset();
    ReadParam(QStringLiteral("VER"), version);
    if (CompareVersions(version, AppVersion()) > 0) {
        s_refusal = version;
        return false;
    }
    return true;
}

std::optional<QString> TakeFirmwareRefusal() {
    std::optional<QString> refusal;
    refusal.swap(s_refusal);
    return refusal;
}

QString FirmwareRefusalText(const QString& version) {
    return QStringLiteral("Incompatible firmware version (%1)\rPlease update firmware")
        .arg(version);
}

void ResetModels() {
    ModInfo = TMod();
    s_refusal.reset();
}
