#include "settings/XMLSettings.h"

#include "settings/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QXmlStreamReader>

#include <pugixml.hpp>

#include <algorithm>
#include <limits>

struct TXMLSettings::TDocument {
    pugi::xml_document xml;
};

namespace {

constexpr unsigned ParseOptions = pugi::parse_default | pugi::parse_declaration |
                                  pugi::parse_comments | pugi::parse_pi | pugi::parse_doctype;

// Line and column (both from 1) of a byte offset into the file's text.
QString Position(const QByteArray& data, std::ptrdiff_t offset) {
    const qsizetype end = std::clamp<qsizetype>(qsizetype(offset), 0, data.size());
    const auto line = data.left(end).count('\n') + 1;
    const auto column = end - (data.lastIndexOf('\n', end - 1) + 1) + 1;
    return QStringLiteral("line %1, column %2").arg(line).arg(column);
}

// The document element must carry a declaration that names what the writer writes.
void EnsureDeclaration(pugi::xml_document& xml) {
    auto first = xml.first_child();
    if (first.type() != pugi::node_declaration)
        first = xml.prepend_child(pugi::node_declaration);
    if (!first.attribute("version"))
        first.prepend_attribute("version").set_value("1.0");
    if (!first.attribute("encoding"))
        first.insert_attribute_after("encoding", first.attribute("version"));
    first.attribute("encoding").set_value("UTF-8");
}

[[noreturn]] void ParseError(const QString& fileName, const QString& what, const QString& where) {
    throw EXMLSettingsError(QStringLiteral("%1 is not a valid XML file: %2 (%3)")
                                .arg(QDir::toNativeSeparators(fileName), what, where));
}

// pugixml accepts what is not XML (duplicate attributes, "<" in a value, undefined
// entities, a second document element) and would write it back changed; Qt's stream
// reader checks well-formedness, so a file passes it before pugixml reads it. Entity
// declarations are refused as well: pugixml would not expand them and so change the file.
void CheckWellFormed(const QByteArray& data, const QString& fileName) {
    QXmlStreamReader reader(data);
    while (!reader.atEnd() && !reader.hasError()) {
        if (reader.readNext() == QXmlStreamReader::DTD && !reader.entityDeclarations().isEmpty())
            reader.raiseError(QStringLiteral("Entity declarations are not supported."));
    }
    if (reader.hasError())
        ParseError(fileName, reader.errorString(),
                   QStringLiteral("line %1, column %2")
                       .arg(reader.lineNumber())
                       .arg(reader.columnNumber() + 1));
}

void LoadInto(pugi::xml_document& xml, const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EXMLSettingsError(QStringLiteral("Cannot read %1: %2")
                                    .arg(QDir::toNativeSeparators(fileName), file.errorString()));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EXMLSettingsError(QStringLiteral("Cannot read %1: %2")
                                    .arg(QDir::toNativeSeparators(fileName), file.errorString()));
    CheckWellFormed(data, fileName);
    const auto result = xml.load_buffer(data.constData(), std::size_t(data.size()), ParseOptions,
                                        pugi::encoding_auto);
    if (!result)
        ParseError(fileName, QString::fromUtf8(result.description()),
                   Position(data, result.offset));
}

struct TByteWriter : pugi::xml_writer {
    QByteArray bytes;
    void write(const void* data, std::size_t size) override {
        bytes.append(static_cast<const char*>(data), qsizetype(size));
    }
};

// Only element children count as sections; the first of a name wins.
pugi::xml_node FindSection(const pugi::xml_node& root, const QByteArray& name) {
    for (auto child : root.children())
        if (child.type() == pugi::node_element && name == child.name())
            return child;
    return {};
}

} // namespace

bool ParseStoreInteger(const QString& text, qint32& value) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    if (i == text.size())
        return false;
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > qint64(std::numeric_limits<qint32>::max()) + 1)
            return false;
    }
    const qint64 result = negative ? -magnitude : magnitude;
    if (result > std::numeric_limits<qint32>::max())
        return false;
    value = qint32(result);
    return true;
}

TXMLSettings::TXMLSettings(const QString& fileName)
    : m_fileName(fileName), m_doc(std::make_unique<TDocument>()) {
    if (QFileInfo::exists(fileName))
        LoadInto(m_doc->xml, fileName);
    else
        m_doc->xml.append_child("Root");
    EnsureDeclaration(m_doc->xml);
}

TXMLSettings::~TXMLSettings() {
    if (m_closed)
        return;
    try {
        Save();
    } catch (const EXMLSettingsError&) {
        // A destructor can't report; Close() is the way to learn about a failed write.
    }
}

void TXMLSettings::Save() {
    TByteWriter writer;
    m_doc->xml.save(writer, "  ", pugi::format_indent, pugi::encoding_utf8);
    QString error;
    if (!WriteFileSafely(m_fileName, writer.bytes, &error))
        throw EXMLSettingsError(error);
}

void TXMLSettings::Close() {
    Save();
    m_closed = true;
}

void TXMLSettings::Discard() {
    m_closed = true;
}

QString TXMLSettings::ReadString(const QString& section, const QString& key,
                                 const QString& def) const {
    const auto node = FindSection(m_doc->xml.document_element(), section.toUtf8());
    const auto attr = node.attribute(key.toUtf8().constData());
    return attr ? QString::fromUtf8(attr.value()) : def;
}

void TXMLSettings::WriteString(const QString& section, const QString& key, const QString& value) {
    auto root = m_doc->xml.document_element();
    const QByteArray name = section.toUtf8();
    auto node = FindSection(root, name);
    if (!node)
        node = root.append_child(name.constData());
    const QByteArray keyName = key.toUtf8();
    auto attr = node.attribute(keyName.constData());
    if (!attr)
        attr = node.append_attribute(keyName.constData());
    attr.set_value(value.toUtf8().constData());
}

qint32 TXMLSettings::ReadInteger(const QString& section, const QString& key, qint32 def) const {
    const QString text = ReadString(section, key, QString::number(def));
    qint32 value = 0;
    if (!ParseStoreInteger(text, value))
        throw EXMLSettingsError(QStringLiteral("%1, section \"%2\", key \"%3\": '%4' is not a "
                                               "valid integer value")
                                    .arg(QDir::toNativeSeparators(m_fileName), section, key, text));
    return value;
}

void TXMLSettings::WriteInteger(const QString& section, const QString& key, qint32 value) {
    WriteString(section, key, QString::number(value));
}

bool TXMLSettings::ReadBoolean(const QString& section, const QString& key, bool def) const {
    return (ReadInteger(section, key, def ? 1 : 0) & 0xFF) != 0;
}

void TXMLSettings::WriteBoolean(const QString& section, const QString& key, bool value) {
    WriteInteger(section, key, value ? 1 : 0);
}

double TXMLSettings::ReadDouble(const QString& section, const QString& key, double def) const {
    const QLocale locale;
    const QString text = ReadString(section, key, locale.toString(def, 'g', 15));
    bool ok = false;
    const double value = locale.toDouble(text, &ok);
    if (!ok)
        throw EXMLSettingsError(
            QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
}

void TXMLSettings::WriteDouble(const QString& section, const QString& key, double value) {
    WriteString(section, key, QLocale().toString(value, 'g', 15));
}

QDateTime TXMLSettings::ReadDate(const QString& section, const QString& key,
                                 const QDateTime& def) const {
    const QLocale locale;
    const QString text =
        ReadString(section, key, locale.toString(def.date(), QLocale::ShortFormat));
    const QDate date = locale.toDate(text, QLocale::ShortFormat);
    if (!date.isValid())
        throw EXMLSettingsError(QStringLiteral("'%1' is not a valid date").arg(text));
    return date.startOfDay();
}

void TXMLSettings::WriteDate(const QString& section, const QString& key, const QDateTime& value) {
    WriteString(section, key, QLocale().toString(value.date(), QLocale::ShortFormat));
}

QDateTime TXMLSettings::ReadDateTime(const QString& section, const QString& key,
                                     const QDateTime& def) const {
    const QLocale locale;
    const QString text = ReadString(section, key, locale.toString(def, QLocale::ShortFormat));
    const QDateTime value = locale.toDateTime(text, QLocale::ShortFormat);
    if (!value.isValid())
        throw EXMLSettingsError(QStringLiteral("'%1' is not a valid date and time").arg(text));
    return value;
}

void TXMLSettings::WriteDatetime(const QString& section, const QString& key,
                                 const QDateTime& value) {
    WriteString(section, key, QLocale().toString(value, QLocale::ShortFormat));
}
