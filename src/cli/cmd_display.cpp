// Logo and screenshot commands.

#include "cli/clierror.h"
#include "cli/clioutput.h"
#include "cli/commands.h"
#include "cli/fileset.h"
#include "display/picture.h"
#include "display/transfers.h"
#include "link/transport.h"
#include "settings/codetables.h"
#include "settings/models.h"
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {

const char* const ScreensFile = "screens.csv";
const QStringList LogoExtensions = {QStringLiteral("png"), QStringLiteral("bmp"),
                                    QStringLiteral("gif"), QStringLiteral("jpg")};

// The model decides the slot count and the picture size; it is read from the device.
void ReadModelOrFail() {
    if (!ReadModel())
        DeviceError();
}

void RequireLogoSlots() {
    if (ModInfo.numLogo <= 0 || ModInfo.numLogo > LogoSlotCount || ModInfo.scrHeight < 8)
        DeviceError(QStringLiteral("The device (%1) has no logo slots")
                        .arg(ModInfo.name.isEmpty() ? QString::number(ModInfo.ID) : ModInfo.name));
}

// The bytes of a picture file for `path`, whose extension names a picture type.
QByteArray PictureBytes(const QImage& image, const QString& path) {
    QByteArray bytes;
    QString reason;
    if (!EncodePicture(image, PictureFormatOf(path), bytes, reason))
        UsageError(QStringLiteral("Cannot write %1: %2").arg(path, reason));
    return bytes;
}

QString ScreenName(qint32 code) {
    if (code < 0 || code >= qint32(EventNames.size()))
        return {};
    return QString::fromUtf8(EventNames[size_t(code)]);
}

QByteArray ScreensCsv() {
    QString text = QStringLiteral("logo,screen,name\n");
    for (int s = 0; s < ModInfo.numLogo; ++s) {
        const qint32 code = Settings.logoScreen[size_t(s)];
        text += QStringLiteral("logo%1.png,%2,%3\n").arg(s + 1).arg(code).arg(ScreenName(code));
    }
    return text.toUtf8();
}

// A screen given as its code or its name (any letter case).
bool ParseScreen(const QString& code, const QString& name, qint32& screen) {
    bool ok = false;
    screen = code.trimmed().toInt(&ok);
    if (ok)
        return true;
    const QString wanted = (code.trimmed().isEmpty() ? name : code).trimmed();
    for (size_t i = 0; i < EventNames.size(); ++i)
        if (wanted.compare(QString::fromUtf8(EventNames[i]), Qt::CaseInsensitive) == 0) {
            screen = qint32(i);
            return true;
        }
    return false;
}

// The slot number of "logoN", "logoN.png" and the like; 0 when it is none.
int SlotOf(const QString& field) {
    QString name = field.trimmed().toLower();
    if (!name.startsWith(QLatin1String("logo")))
        return 0;
    name = name.mid(4).section(QLatin1Char('.'), 0, 0);
    bool ok = false;
    const int slot = name.toInt(&ok);
    return ok && slot >= 1 && slot <= LogoSlotCount ? slot : 0;
}

// Reads DIR/screens.csv (when there is one) into Settings.logoScreen; slots it doesn't
// name keep the values they have (the device's, read before). A code outside the screen
// table is taken only when it is the one the device already holds for that slot: what
// `logos download` wrote goes back unchanged, while a typing error is refused.
void LoadScreens(const QString& dir) {
    QFile file(QDir(dir).filePath(QLatin1String(ScreensFile)));
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        UsageError(QStringLiteral("Cannot read %1: %2").arg(file.fileName(), file.errorString()));
    QTextStream in(&file);
    for (int lineNo = 1; !in.atEnd(); ++lineNo) {
        const QString line = in.readLine();
        const QStringList fields = line.split(QLatin1Char(','));
        if (line.trimmed().isEmpty() || (lineNo == 1 && fields.value(0).trimmed() == "logo"))
            continue;
        const int slot = SlotOf(fields.value(0));
        qint32 screen = 0;
        if (slot == 0 || !ParseScreen(fields.value(1), fields.value(2), screen))
            UsageError(QStringLiteral("%1, line %2: expected \"logoN.png,SCREEN\", not \"%3\"")
                           .arg(file.fileName())
                           .arg(lineNo)
                           .arg(line));
        qint32& stored = Settings.logoScreen[size_t(slot - 1)];
        if ((screen < 0 || screen >= qint32(EventNames.size())) && screen != stored)
            UsageError(QStringLiteral("%1, line %2: screen %3 is not one of 0 to %4")
                           .arg(file.fileName())
                           .arg(lineNo)
                           .arg(screen)
                           .arg(EventNames.size() - 1));
        stored = screen;
    }
}

// The device's present screen assignments, kept for the slots screens.csv doesn't name.
void ReadScreensFromDevice() {
    TSequence sequence(1);
    TIntegers values;
    ReadInts(QStringLiteral("LSCR"), ModInfo.numLogo, values);
    if (!sequence.Finish())
        DeviceError();
    for (int s = 0; s < ModInfo.numLogo; ++s)
        Settings.logoScreen[size_t(s)] = values.value(s);
}

// "logoN" with one of the picture extensions in any letter case, as the app's Load takes
// the extension.
QString FindLogoFile(const QDir& dir, int slot) {
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& ext : LogoExtensions) {
        const QString wanted = QStringLiteral("logo%1.%2").arg(slot).arg(ext);
        for (const QString& file : files)
            if (file.compare(wanted, Qt::CaseInsensitive) == 0)
                return dir.filePath(file);
    }
    UsageError(QStringLiteral("Missing %1 (.png, .bmp, .gif or .jpg)")
                   .arg(dir.filePath(QStringLiteral("logo%1.png").arg(slot))));
}

void LoadLogoFiles(const QDir& dir) {
    for (int s = 0; s < ModInfo.numLogo; ++s) {
        const QString path = FindLogoFile(dir, s + 1);
        QString error;
        if (LoadLogoFile(path, s, ModInfo.scrHeight, error) != TFileResult::Done)
            UsageError(error); // it names the file already
    }
}

} // namespace

int CmdLogosDownload(const TCliOptions& opt) {
    const QString dirName = opt.args.at(0);
    if (QFileInfo::exists(dirName) && !QFileInfo(dirName).isDir())
        UsageError(QStringLiteral("%1 is not a folder").arg(dirName));
    ReadModelOrFail();
    RequireLogoSlots();
    QString refusal;
    if (!ReadLogos(&refusal))
        DeviceError(refusal.isEmpty() ? QStringLiteral("Error") : refusal);
    // The set is replaced as a whole: a file that cannot be written leaves all as they were.
    QList<TOutputFile> files;
    for (int s = 0; s < ModInfo.numLogo; ++s) {
        const QString name = QStringLiteral("logo%1.png").arg(s + 1);
        files.append({name, PictureBytes(LogoToPicture(s, ModInfo.scrHeight), name)});
    }
    files.append({QLatin1String(ScreensFile), ScreensCsv()});
    ReplaceFileSet(dirName, files);
    Note(QStringLiteral("Done"));
    return ExitOk;
}

int CmdLogosUpload(const TCliOptions& opt) {
    const QDir dir(opt.args.at(0));
    if (!dir.exists())
        UsageError(QStringLiteral("No folder %1").arg(opt.args.at(0)));
    ReadModelOrFail();
    RequireLogoSlots();
    LoadLogoFiles(dir);
    ReadScreensFromDevice();
    LoadScreens(dir.path());
    QString refusal;
    if (!WriteLogos(&refusal))
        DeviceError(refusal.isEmpty() ? QStringLiteral("Error") : refusal);
    Note(QStringLiteral("Done"));
    return ExitOk;
}

int CmdScreenshot(const TCliOptions& opt) {
    const QString path = opt.args.at(0);
    if (PictureFormatOf(path) == TPictureFormat::None)
        UsageError(
            QStringLiteral("%1: the picture type must be .png, .bmp, .jpg or .gif").arg(path));
    if (!QFileInfo(path).absoluteDir().exists())
        UsageError(QStringLiteral("No folder %1").arg(QFileInfo(path).absolutePath()));
    ReadModelOrFail();
    QString refusal;
    if (!ReadScreen(&refusal))
        DeviceError(refusal.isEmpty() ? QStringLiteral("Error") : refusal);
    WriteOutputFile(path, PictureBytes(ScreenToPicture(ModInfo.scrHeight, opt.zoom), path));
    Note(QStringLiteral("Done"));
    return ExitOk;
}
