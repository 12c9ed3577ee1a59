#include "firmware/dfuoutput.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

const char* const kStdfuseName = "STDFUSE.dll";
const char* const kDfuUtilName = "dfu-util";
const char* const kUdevRule = "70-devedazi.rules";
// A line longer than this is shown in pieces rather than held back without end.
constexpr qsizetype kMaxLine = 4096;

QByteArray trimControls(const QByteArray& bytes) {
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && static_cast<unsigned char>(bytes[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(bytes[end - 1]) <= 32)
        --end;
    return bytes.mid(begin, end - begin);
}

bool isBreak(char c) {
    return c == '\r' || c == '\n';
}

} // namespace

QStringList StdfuseArguments(const QString& firmware) {
    return {QStringLiteral("-c"),
            QStringLiteral("-d"),
            QStringLiteral("--v"),
            QStringLiteral("--fn"),
            firmware,
            QStringLiteral("-l")};
}

QStringList DfuUtilArguments(const QString& firmware) {
    // Only the boot loader's identity (after the comma: DFU-mode IDs), flash alt setting 0,
    // no address (the DfuSe file carries its own) but the "leave" modifier, download.
    return {QStringLiteral("-d"), QStringLiteral(",0483:df11"),
            QStringLiteral("-a"), QStringLiteral("0"),
            QStringLiteral("-s"), QStringLiteral(":leave"),
            QStringLiteral("-D"), firmware};
}

TDfuTool FindDfuTool(const QString& appDir, const QString& firmware) {
    const QFileInfo own(QDir(appDir).filePath(QString::fromLatin1(kStdfuseName)));
    if (own.isFile() && own.isExecutable())
        return {own.absoluteFilePath(), StdfuseArguments(firmware)};
    const QString dfuUtil = QStandardPaths::findExecutable(QString::fromLatin1(kDfuUtilName));
    if (!dfuUtil.isEmpty())
        return {dfuUtil, DfuUtilArguments(firmware)};
    return {};
}

void TDfuOutput::feed(const QByteArray& chunk) {
    m_tail += chunk;
    qsizetype start = 0;
    for (qsizetype i = 0; i < m_tail.size(); ++i) {
        if (!isBreak(m_tail[i]))
            continue;
        takeLine(m_tail.mid(start, i - start));
        start = i + 1;
    }
    m_tail.remove(0, start);
    if (m_tail.size() > kMaxLine) {
        takeLine(m_tail);
        m_tail.clear();
    }
    // A bar is redrawn without a line break: show its percentage at once.
    readBar(QString::fromLocal8Bit(trimControls(m_tail)));
}

void TDfuOutput::finish() {
    takeLine(m_tail);
    m_tail.clear();
    if (!m_bar.isEmpty())
        m_lines.append(m_bar);
    m_bar.clear();
}

QStringList TDfuOutput::takeLines() {
    QStringList lines;
    lines.swap(m_lines);
    return lines;
}

void TDfuOutput::takeLine(const QByteArray& raw) {
    const QString text = QString::fromLocal8Bit(trimControls(raw));
    if (text.isEmpty())
        return;
    if (readBar(text)) {
        m_bar = text;
        return;
    }
    if (!m_bar.isEmpty())
        m_lines.append(m_bar);
    m_bar.clear();
    m_lines.append(text);
    if (text.contains(QLatin1String("Cannot open DFU device")))
        m_cannotOpen = true;
    if (text.contains(QLatin1String("No DFU capable USB device")))
        m_noDevice = true;
}

bool TDfuOutput::readBar(const QString& text) {
    static const QRegularExpression bar(QStringLiteral(R"(^\S.*\[[= ]*\]\s*(\d{1,3})%)"));
    const auto match = bar.match(text);
    if (!match.hasMatch())
        return false;
    m_percent = qMin(match.captured(1).toInt(), 100);
    return true;
}

QString DfuOutcomeText(const TDfuOutcome& outcome) {
    const QString rule = QString::fromLatin1(kUdevRule);
    if (!outcome.toolFound)
        return QStringLiteral("Firmware update failed: no DFU tool found. Install the dfu-util "
                              "package (or put %1 next to the application).")
            .arg(QString::fromLatin1(kStdfuseName));
    if (!outcome.started)
        return QStringLiteral("Firmware update failed: the DFU tool could not be started (%1).")
            .arg(outcome.startError);
    if (outcome.stopped)
        return QStringLiteral("Firmware update stopped. The device stays in DFU mode: run the "
                              "update again before unplugging it.");
    if (!outcome.crashed && outcome.exitCode == 0)
        return {};
    if (outcome.cannotOpenDevice)
        return QStringLiteral("Firmware update failed: the DFU device could not be opened. Check "
                              "that the udev rule %1 is installed (see README, Installing), then "
                              "replug the device and try again.")
            .arg(rule);
    if (outcome.noDevice)
        return QStringLiteral("Firmware update failed: no device in DFU mode was found. Check the "
                              "USB cable (it must carry data) and the udev rule %1, then try "
                              "again.")
            .arg(rule);
    if (outcome.crashed)
        return QStringLiteral("Firmware update failed: the DFU tool ended abnormally. Check the "
                              "USB cable and try again.");
    return QStringLiteral("Firmware update failed (DFU tool exit code %1). Check the USB cable "
                          "and the udev rule %2, then try again.")
        .arg(outcome.exitCode)
        .arg(rule);
}
