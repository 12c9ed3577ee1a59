#pragma once
// The settings files used last (loaded or saved), newest first, at most eight; kept in the
// application settings (section "RecentFiles") and shown under File > "Recent Files".

#include <QObject>
#include <QStringList>

class TXMLSettings;

class TRecentFiles : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxFiles = 8;
    static TRecentFiles& instance();

    QStringList files() const { return m_files; }
    void add(const QString& file); // to the front; once only; the oldest beyond eight go
    void remove(const QString& file);
    // Drops the files that no longer exist and returns them.
    QStringList dropMissing();
    void clear();

    void load(const TXMLSettings& store);
    void save(TXMLSettings& store) const;

signals:
    void changed();

private:
    QStringList m_files;
};
