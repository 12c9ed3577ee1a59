#include "shell/commandhistory.h"

#include "settings/XMLSettings.h"

#include <QFileInfo>

namespace {
const QString kSection = QStringLiteral("TerminalHistory");
QString Key(qsizetype n) {
    return QStringLiteral("Command%1").arg(n);
}
} // namespace

QString TCommandHistory::clean(const QString& line) {
    QString text;
    for (const QChar c : line)
        if (c.unicode() >= 32 && c.unicode() != 127)
            text.append(c);
    return text.toUpper().left(MaxLength);
}

void TCommandHistory::load(const QString& fileName) {
    m_entries.clear();
    m_pos = 0;
    if (!QFileInfo::exists(fileName))
        return; // nothing kept yet (and no file made just by looking)
    try {
        TXMLSettings store(fileName);
        store.Discard(); // only read: the file stays as it is
        const qint32 count = qBound(0, store.ReadInteger(kSection, "Count", 0), MaxEntries);
        for (qint32 n = 1; n <= count; ++n) {
            const QString line = clean(store.ReadString(kSection, Key(n), QString()));
            if (!line.isEmpty() && (m_entries.isEmpty() || m_entries.last() != line))
                m_entries.append(line);
        }
    } catch (const EXMLSettingsError&) {
        m_entries.clear(); // a broken file: start afresh, and don't write over it
    }
    m_pos = m_entries.size();
}

bool TCommandHistory::save(const QString& fileName, QString* error) const {
    try {
        TXMLSettings store(fileName);
        store.WriteInteger(kSection, "Count", qint32(m_entries.size()));
        for (qsizetype n = 0; n < m_entries.size(); ++n)
            store.WriteString(kSection, Key(n + 1), m_entries.at(n));
        store.Close();
    } catch (const EXMLSettingsError& e) {
        if (error)
            *error = e.message();
        return false;
    }
    return true;
}

void TCommandHistory::add(const QString& command) {
    const QString line = clean(command);
    if (!line.isEmpty() && (m_entries.isEmpty() || m_entries.last() != line)) {
        m_entries.append(line);
        if (m_entries.size() > MaxEntries)
            m_entries.remove(0, m_entries.size() - MaxEntries);
    }
    m_pos = m_entries.size();
    m_draft.clear();
}

std::optional<QString> TCommandHistory::older(const QString& current) {
    if (m_pos == 0)
        return std::nullopt;
    if (m_pos == m_entries.size())
        m_draft = current;
    return m_entries.at(--m_pos);
}

std::optional<QString> TCommandHistory::newer() {
    if (m_pos >= m_entries.size())
        return std::nullopt;
    return ++m_pos == m_entries.size() ? m_draft : m_entries.at(m_pos);
}
