#include "settings/protocolnames.h"

#include "settings/transfer.h"

#include <QRegularExpression>

namespace {

// Read by the monitor, beside "ID", "BNRG", "PUFF", "PROF", "PRT" and "PPAR[%d]".
const char* const kMonitorNames[] = {"LNRG", "BVLT", "BPER", "ATM", "LATM", "TEMP", "AERR"};
// Logos and screenshots, device actions.
const char* const kOtherNames[] = {"VER",  "ID",   "LOGO[", "SCR[", "LSCR", "LRST",
                                   "MRST", "SRST", "PRT",   "BCAL", "KEYS"};

// "PPAR[3]" -> "PPAR["; names without an index stay as they are.
QString Stem(const QString& name) {
    static const QRegularExpression index(QStringLiteral("\\[\\d+\\]$"));
    QString stem = name;
    const QRegularExpressionMatch m = index.match(stem);
    if (m.hasMatch())
        stem.truncate(m.capturedStart() + 1);
    return stem;
}

} // namespace

QStringList ProtocolNames() {
    TSettings image;
    TMod everything; // every count at its largest, so every parameter is listed
    everything.numLogo = LogoSlotCount;
    everything.numIPar = IndParCols;
    everything.rgbColor = true;
    QStringList names;
    const QList<TParamRef> catalogue = SettingsCatalogue(image, everything);
    for (const TParamRef& p : catalogue)
        names.append(Stem(p.name));
    for (const char* name : kMonitorNames)
        names.append(QString::fromLatin1(name));
    for (const char* name : kOtherNames)
        names.append(QString::fromLatin1(name));
    names.sort();
    names.removeDuplicates();
    return names;
}

QStringList CompleteProtocolName(const QString& prefix) {
    QStringList matches;
    const QStringList names = ProtocolNames();
    for (const QString& name : names)
        if (name.startsWith(prefix, Qt::CaseInsensitive))
            matches.append(name);
    return matches;
}
