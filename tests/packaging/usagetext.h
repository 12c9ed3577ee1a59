#pragma once
// What the programs' --help texts and the scdoc sources of their manual pages say, read the
// way the shell completion reads the usage text: an entry of the "Options:" or "Commands:"
// section starts with two blanks; its synopsis runs to the first two blanks in a row; a
// command is the synopsis's leading lower-case words ("logos download"), followed by its
// options (each maybe with a placeholder for its value) and its argument placeholders.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>

#include <utility>

struct TUsageCommand {
    QString name;                  // "info", "logos download"; empty for the "Options:"
    QStringList options;           // the options its synopsis names ("--count", "--output")
    QMap<QString, QString> values; // option -> the placeholder of its value ("FILE")
    QStringList arguments;         // its argument placeholders ("FILE.xml", "DIR")
};

struct TUsageText {
    TUsageCommand global; // the entries of "Options:"
    QList<TUsageCommand> commands;
    QStringList options; // every option the text names, wherever it does
    QSet<int> exitCodes; // from "Exit codes: 0 success, 1 ..."
};

inline QString SourcePath(const QString& relative) {
    return QDir(qEnvironmentVariable("DEVEDAZI_SOURCE_DIR")).filePath(relative);
}

inline QString BuildPath(const QString& relative) {
    return QDir(qEnvironmentVariable("DEVEDAZI_BUILD_DIR")).filePath(relative);
}

inline QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// PROGRAM --help's standard output; empty when it did not end with status 0.
inline QString RunHelp(const QString& program) {
    QProcess process;
    process.start(program, {QStringLiteral("--help")});
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

inline QStringList OptionsNamed(const QString& text, const QRegularExpression& pattern) {
    QStringList options;
    for (auto it = pattern.globalMatch(text); it.hasNext();) {
        const QString option = it.next().captured(1);
        if (!options.contains(option))
            options.append(option);
    }
    return options;
}

inline TUsageText ParseUsage(const QString& text) {
    TUsageText usage;
    static const QRegularExpression option(QStringLiteral(R"((?<![\w-])(--?[a-z][a-z0-9-]*))"));
    usage.options = OptionsNamed(text, option);
    QString section;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.trimmed().isEmpty()) {
            section.clear();
        } else if (!line.startsWith(QLatin1Char(' '))) {
            section = line.section(QLatin1Char(':'), 0, 0);
        } else if ((section == QLatin1String("Commands") || section == QLatin1String("Options")) &&
                   line.size() > 2 && line.startsWith(QLatin1String("  ")) &&
                   !line.at(2).isSpace()) {
            QString synopsis = line.mid(2);
            if (const qsizetype gap = synopsis.indexOf(QLatin1String("  ")); gap >= 0)
                synopsis.truncate(gap);
            synopsis.replace(QRegularExpression(QStringLiteral(R"([\[\]|,])")),
                             QStringLiteral(" "));
            QStringList words = synopsis.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            const bool global = section == QLatin1String("Options");
            TUsageCommand parsed;
            TUsageCommand& command = global ? usage.global : parsed;
            while (!global && !words.isEmpty() && words.first().at(0).isLower())
                command.name +=
                    (command.name.isEmpty() ? QString() : QStringLiteral(" ")) + words.takeFirst();
            QString option;
            for (const QString& word : std::as_const(words)) {
                if (word.startsWith(QLatin1Char('-')))
                    command.options.append(option = word);
                else if (!option.isEmpty())
                    command.values.insert(std::exchange(option, QString()), word);
                else
                    command.arguments.append(word);
            }
            if (!global && !command.name.isEmpty())
                usage.commands.append(command);
        }
    }
    // "Exit codes:" and the rest of its paragraph: "0 success, 1 ...,\n3 ...".
    static const QRegularExpression paragraph(
        QStringLiteral(R"(Exit codes:([^\n]*(?:\n[^\n]+)*))"));
    if (const auto m = paragraph.match(text); m.hasMatch()) {
        static const QRegularExpression code(QStringLiteral(R"((?:^|[:,]|\n)\s*(\d+)\s)"));
        for (auto it = code.globalMatch(QLatin1Char(':') + m.captured(1)); it.hasNext();)
            usage.exitCodes.insert(it.next().captured(1).toInt());
    }
    return usage;
}

// One term of a manual page's section ("*download* _FILE.xml_") with its description.
struct TManEntry {
    QString term;
    QString text; // the term line and its indented description
    // The first bold word group of the term: the command or option it describes.
    QString name() const {
        static const QRegularExpression bold(QStringLiteral(R"(^\*([^*]+)\*)"));
        return bold.match(term).captured(1);
    }
    QStringList boldNames() const {
        static const QRegularExpression bold(QStringLiteral(R"(\*([^*]+)\*)"));
        QStringList names;
        for (auto it = bold.globalMatch(term); it.hasNext();)
            names.append(it.next().captured(1));
        return names;
    }
};

// The scdoc source of a manual page: its sections ("# COMMANDS"; subsections belong to
// the section above them) and their terms, as lines that start with bold or underlined
// text, followed by tab-indented or empty lines.
struct TManPage {
    QString source;
    QMap<QString, QList<TManEntry>> sections;

    static TManPage Read(const QString& path) {
        TManPage page;
        page.source = ReadText(path);
        QString section;
        TManEntry* entry = nullptr;
        const QStringList lines = page.source.split(QLatin1Char('\n'));
        for (const QString& line : lines) {
            if (line.startsWith(QLatin1String("# "))) {
                section = line.mid(2).trimmed();
                entry = nullptr;
            } else if (line.startsWith(QLatin1String("## "))) {
                entry = nullptr;
            } else if (line.startsWith(QLatin1Char('*')) || line.startsWith(QLatin1Char('_'))) {
                page.sections[section].append({line, line});
                entry = &page.sections[section].last();
            } else if (entry && (line.isEmpty() || line.startsWith(QLatin1Char('\t')))) {
                entry->text += QLatin1Char('\n') + line;
            } else {
                entry = nullptr;
            }
        }
        return page;
    }

    // Every option the page sets in bold (*--port*, *-y*).
    QStringList options() const {
        static const QRegularExpression bold(QStringLiteral(R"(\*(--?[a-z][a-z0-9-]*))"));
        return OptionsNamed(source, bold);
    }

    TManEntry entry(const QString& section, const QString& name) const {
        const QList<TManEntry> entries = sections.value(section);
        for (const TManEntry& e : entries)
            if (e.name() == name)
                return e;
        return {};
    }
};

// The environment variables the sources below the given folders of src/ read: names given
// to the environment functions, and every string literal of the project's own DEVEDAZI_*
// names (some go through a helper). Folders named "ui" are skipped unless `withUi`.
inline QSet<QString> EnvironmentRead(const QStringList& folders, bool withUi) {
    static const QRegularExpression call(
        QStringLiteral(R"((?:qEnvironmentVariable\w*|qgetenv|getenv)\(\s*"([A-Z_][A-Z0-9_]*)\")"));
    static const QRegularExpression own(QStringLiteral(R"("(DEVEDAZI_[A-Z0-9_]+)\")"));
    QSet<QString> names;
    for (const QString& folder : folders) {
        QDirIterator it(SourcePath(QStringLiteral("src/") + folder), {"*.cpp", "*.h"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (!withUi && path.contains(QLatin1String("/ui/")))
                continue;
            const QString text = ReadText(path);
            for (const QRegularExpression* pattern : {&call, &own})
                for (auto m = pattern->globalMatch(text); m.hasNext();)
                    names.insert(m.next().captured(1));
        }
    }
    return names;
}
