#include "settings/codetables.h"

#include "settings/settings.h"

QStringList CodeList(std::span<const char* const> names) {
    QStringList list;
    list.reserve(qsizetype(names.size()));
    for (const char* name : names)
        list.append(QString::fromUtf8(name));
    return list;
}

QString CodeName(std::span<const char* const> names, qint32 code) {
    if (code < 0 || std::size_t(code) >= names.size())
        return {};
    return QString::fromUtf8(names[std::size_t(code)]);
}

QStringList ProfileItemNames() {
    QStringList list;
    for (int i = 1; i <= ProfileCount; ++i)
        list.append(QStringLiteral("Profile %1").arg(i));
    return list;
}
