#pragma once
// The device's text encoding: how every text sent to the device (requests, names, the
// terminal's lines) becomes bytes on the wire and how received bytes become text again.
// One setting for the whole process: Western (Latin-1, the default) or Cyrillic
// (Windows-1251), for devices that show Cyrillic names.

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

enum class TDeviceEncoding { Western, Cyrillic };

void SetDeviceEncoding(TDeviceEncoding encoding);
TDeviceEncoding DeviceEncoding();

// The key of the choice in settings.xml (section "General"): "DeviceTextEncoding".
QString DeviceEncodingSettingKey();
// How settings.xml keeps the choice ("Latin-1", "Windows-1251"), and back; an unknown text
// gives Western.
QString DeviceEncodingKey(TDeviceEncoding encoding);
TDeviceEncoding DeviceEncodingFromKey(const QString& key);
// The menu's text: "Western (Latin-1)", "Cyrillic (Windows-1251)".
QString DeviceEncodingTitle(TDeviceEncoding encoding);

// Text to bytes in the chosen encoding; a character it lacks becomes "?".
QByteArray ToDeviceText(const QString& text);
// Bytes to text in the chosen encoding; a byte without a character becomes U+FFFD.
QString FromDeviceText(const QByteArray& bytes);
QString FromDeviceText(const char* data, qsizetype size);
// Whether the chosen encoding has a byte for c.
bool DeviceCanCarry(QChar c);
// The characters of text the chosen encoding lacks, each once, in order of appearance.
QString CharactersDeviceLacks(const QString& text);
// A byte that stands for a control character in the chosen encoding (codes 0 to 31 and 127
// always; 128 to 159 in Latin-1, where they are the C1 controls, and the one undefined byte
// of Windows-1251): such a byte never goes on the wire.
bool IsDeviceControlByte(quint8 byte);
