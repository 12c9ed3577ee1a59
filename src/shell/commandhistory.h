#pragma once
// The terminal's history of sent commands: walked with Up and Down, kept in the application
// settings file between runs (section "TerminalHistory": "Count", then "Command1" oldest to
// "CommandN" newest).

#include <QString>
#include <QStringList>

#include <optional>

class TCommandHistory {
public:
    static constexpr int MaxEntries = 200;
    static constexpr int MaxLength = 255; // as the command line takes

    // Replaces the entries with those of the file. A missing or unreadable file (or section)
    // gives an empty history. Entries are cleaned as typed lines are: upper case, no control
    // characters, at most MaxLength characters.
    void load(const QString& fileName);
    // Writes the entries into the file, keeping everything else in it. False (with the
    // reason in `error`) when the file can't be read or written; it stays as it was then.
    bool save(const QString& fileName, QString* error = nullptr) const;

    // A sent command becomes the newest entry, unless it is empty or the newest already; the
    // oldest goes beyond MaxEntries. Ends any walk through the entries.
    void add(const QString& command);

    // Up: the next older entry, `current` being the text shown; the text typed before the
    // walk began is kept for coming back. Nothing when there is no older entry.
    std::optional<QString> older(const QString& current);
    // Down: the next newer entry, then the text typed before the walk; nothing at the end.
    std::optional<QString> newer();

    const QStringList& entries() const { return m_entries; }

    // The line as the command line would hold it.
    static QString clean(const QString& line);

private:
    QStringList m_entries; // oldest first
    qsizetype m_pos = 0;   // the entry shown while walking; entries().size() when not walking
    QString m_draft;       // what was typed before the walk began
};
