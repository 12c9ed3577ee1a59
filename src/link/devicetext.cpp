#include "link/devicetext.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <atomic>

namespace {

std::atomic<TDeviceEncoding> g_encoding{TDeviceEncoding::Western};

constexpr char kCyrillicCodec[] = "windows-1251";

bool isAscii(const char* data, qsizetype size) {
    for (qsizetype i = 0; i < size; ++i)
        if (quint8(data[i]) >= 0x80)
            return false;
    return true;
}

bool isAscii(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// The byte for one character in Windows-1251, or nothing (the codec comes with Qt's ICU).
bool cyrillicByte(QChar c, char& byte) {
    if (c.unicode() < 0x80) {
        byte = char(c.unicode());
        return true;
    }
    QStringEncoder encoder(kCyrillicCodec, QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(QStringView(&c, 1));
    if (encoder.hasError() || bytes.size() != 1)
        return false;
    byte = bytes.at(0);
    return true;
}

} // namespace

void SetDeviceEncoding(TDeviceEncoding encoding) {
    g_encoding = encoding;
}

TDeviceEncoding DeviceEncoding() {
    return g_encoding;
}

QString DeviceEncodingSettingKey() {
    return QStringLiteral("DeviceTextEncoding");
}

QString DeviceEncodingKey(TDeviceEncoding encoding) {
    return encoding == TDeviceEncoding::Cyrillic ? QStringLiteral("Windows-1251")
                                                 : QStringLiteral("Latin-1");
}

TDeviceEncoding DeviceEncodingFromKey(const QString& key) {
    return key.trimmed().compare(QLatin1String("Windows-1251"), Qt::CaseInsensitive) == 0
               ? TDeviceEncoding::Cyrillic
               : TDeviceEncoding::Western;
}

QString DeviceEncodingTitle(TDeviceEncoding encoding) {
    return encoding == TDeviceEncoding::Cyrillic ? QStringLiteral("Cyrillic (Windows-1251)")
                                                 : QStringLiteral("Western (Latin-1)");
}

QByteArray ToDeviceText(const QString& text) {
    if (isAscii(text))
        return text.toLatin1();
    QByteArray bytes;
    bytes.reserve(text.size());
    const bool cyrillic = DeviceEncoding() == TDeviceEncoding::Cyrillic;
    for (const QChar c : text) {
        char byte = '?';
        if (cyrillic ? cyrillicByte(c, byte) : c.unicode() <= 0xFF)
            bytes.append(cyrillic ? byte : char(c.unicode()));
        else
            bytes.append('?');
    }
    return bytes;
}

QString FromDeviceText(const char* data, qsizetype size) {
    if (isAscii(data, size) || DeviceEncoding() == TDeviceEncoding::Western)
        return QString::fromLatin1(data, size);
    QStringDecoder decoder(kCyrillicCodec, QStringConverter::Flag::Stateless);
    return decoder.decode(QByteArrayView(data, size));
}

QString FromDeviceText(const QByteArray& bytes) {
    return FromDeviceText(bytes.constData(), bytes.size());
}

bool DeviceCanCarry(QChar c) {
    if (DeviceEncoding() == TDeviceEncoding::Western)
        return c.unicode() <= 0xFF;
    char byte = 0;
    return cyrillicByte(c, byte);
}

QString CharactersDeviceLacks(const QString& text) {
    QString lacking;
    for (const QChar c : text)
        if (!DeviceCanCarry(c) && !lacking.contains(c))
            lacking.append(c);
    return lacking;
}

bool IsDeviceControlByte(quint8 byte) {
    if (byte < 32 || byte == 127)
        return true;
    if (byte < 128)
        return false;
    if (DeviceEncoding() == TDeviceEncoding::Western)
        return byte < 160;
    return byte == 0x98; // the one byte Windows-1251 leaves undefined
}
