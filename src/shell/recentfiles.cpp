#include "shell/recentfiles.h"

#include "settings/XMLSettings.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString kSection = QStringLiteral("RecentFiles");
QString Key(int n) {
    return QStringLiteral("File%1").arg(n);
}
// One spelling per file, so that a file loaded and saved under two spellings is one entry.
QString Normal(const QString& file) {
    return QDir::cleanPath(QFileInfo(file).absoluteFilePath());
}
} // namespace

TRecentFiles& TRecentFiles::instance() {
    static TRecentFiles recent;
    return recent;
}

void TRecentFiles::add(const QString& file) {
    const QString path = Normal(file);
    m_files.removeAll(path);
    m_files.prepend(path);
    while (m_files.size() > MaxFiles)
        m_files.removeLast();
    emit changed();
}

void TRecentFiles::remove(const QString& file) {
    if (m_files.removeAll(Normal(file)) > 0)
        emit changed();
}

QStringList TRecentFiles::dropMissing() {
    QStringList missing;
    for (const QString& file : std::as_const(m_files))
        if (!QFileInfo(file).isFile())
            missing << file;
    for (const QString& file : std::as_const(missing))
        m_files.removeAll(file);
    if (!missing.isEmpty())
        emit changed();
    return missing;
}

void TRecentFiles::clear() {
    m_files.clear();
    emit changed();
}

void TRecentFiles::load(const TXMLSettings& store) {
    m_files.clear();
    for (int n = 1; n <= MaxFiles; ++n) {
        const QString file = store.ReadString(kSection, Key(n), QString()).trimmed();
        if (!file.isEmpty() && !m_files.contains(Normal(file)))
            m_files << Normal(file);
    }
    emit changed();
}

void TRecentFiles::save(TXMLSettings& store) const {
    for (int n = 1; n <= MaxFiles; ++n)
        store.WriteString(kSection, Key(n), m_files.value(n - 1));
}
