#pragma once
// A store of named values grouped in sections, kept in an XML file in the manner of an
// initialisation file. Sections are the child elements of the document element, keys are
// the attributes of a section element. A store lives for one load or save: it is created on
// a file name (an existing file is parsed), read or written, and closed, which writes the
// whole document back. Everything in the file that the store doesn't know is kept.

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <exception>
#include <memory>

// Raised for a file that isn't well-formed XML, for a value that doesn't convert, and for a
// file that can't be written. message() is the text for the user.
class EXMLSettingsError : public std::exception {
public:
    explicit EXMLSettingsError(const QString& message)
        : m_message(message), m_what(message.toUtf8()) {}
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_message;
    QByteArray m_what;
};

class TXMLSettings {
public:
    // Parses FileName when it exists (raises EXMLSettingsError on a read error and on a file
    // that is not well-formed XML, naming the file, line and column); otherwise starts a
    // document holding only the element "Root".
    explicit TXMLSettings(const QString& fileName);
    // Writes the file unless Close() did; a write error is swallowed here, so callers that
    // must know call Close().
    ~TXMLSettings();
    TXMLSettings(const TXMLSettings&) = delete;
    TXMLSettings& operator=(const TXMLSettings&) = delete;

    const QString& FileName() const { return m_fileName; }

    // Writes the whole document to FileName through a temporary file in the same folder
    // that replaces the file only once it is complete. Raises EXMLSettingsError with the
    // system's text on failure; the old file then stays as it was.
    void Save();
    // Save() and end the store's use: the destructor then writes nothing more.
    void Close();
    // End the store's use without writing anything: a file that was only read stays as it is.
    void Discard();

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    void WriteString(const QString& section, const QString& key, const QString& value);
    // Raises "<file>, section "<section>", key "<key>": '%s' is not a valid integer value"
    // for a present value that isn't a signed 32-bit decimal integer (an empty value too).
    qint32 ReadInteger(const QString& section, const QString& key, qint32 def) const;
    void WriteInteger(const QString& section, const QString& key, qint32 value);
    bool ReadBoolean(const QString& section, const QString& key, bool def) const;
    void WriteBoolean(const QString& section, const QString& key, bool value);
    // Floating-point and date values use the user's regional formats.
    double ReadDouble(const QString& section, const QString& key, double def) const;
    void WriteDouble(const QString& section, const QString& key, double value);
    QDateTime ReadDate(const QString& section, const QString& key, const QDateTime& def) const;
    void WriteDate(const QString& section, const QString& key, const QDateTime& value);
    QDateTime ReadDateTime(const QString& section, const QString& key, const QDateTime& def) const;
    void WriteDatetime(const QString& section, const QString& key, const QDateTime& value);

private:
    struct TDocument;
    QString m_fileName;
    std::unique_ptr<TDocument> m_doc;
    bool m_closed = false;
};

// Parses a signed 32-bit decimal integer as the store does (optional sign, digits only).
bool ParseStoreInteger(const QString& text, qint32& value);
