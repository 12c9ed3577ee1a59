#include "tuner/tunerpictures.h"

#include "settings/safefile.h"
#include "shell/dialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cmath>

QPixmap ZoomedPixmap(const QImage& picture, int zoom, qreal devicePixelRatio) {
    const int scale = qMax(zoom, int(std::lround(zoom * devicePixelRatio)));
    QImage zoomed = picture.scaled(picture.width() * scale, picture.height() * scale,
                                   Qt::IgnoreAspectRatio, Qt::FastTransformation);
    zoomed.setDevicePixelRatio(qreal(scale) / zoom);
    return QPixmap::fromImage(std::move(zoomed));
}

QString OpenPictureName(QWidget* parent, const QString& caption, const QString& folder) {
    const QStringList filters = PictureFilters();
    const QString file = Dialogs::openFileName(parent, caption, folder,
                                               filters.join(QStringLiteral(";;")), filters.first());
    return !file.isEmpty() && QFileInfo::exists(file) ? file : QString();
}

QString SavePictureName(QWidget* parent, const QString& caption, const QString& folder) {
    const QStringList filters = PictureFilters();
    QString chosen;
    const QString answer =
        Dialogs::saveFileName(parent, caption, folder, filters.join(QStringLiteral(";;")),
                              filters.at(1), &chosen, QStringLiteral("bmp"));
    if (answer.isEmpty())
        return {};
    const QString name = NameForFilter(answer, int(filters.indexOf(chosen)));
    // The dialog asked about the name it returned, not about the renamed one.
    if (name != answer && QFileInfo::exists(name) &&
        !Dialogs::question(parent, QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                       .arg(QFileInfo(name).fileName())))
        return {};
    return name;
}

TFileResult WritePictureSafely(const QString& fileName, const TPictureWriter& write,
                               QString& error) {
    if (PictureFormatOf(fileName) == TPictureFormat::None)
        return TFileResult::Skipped;
    const QTemporaryDir work;
    if (!work.isValid()) {
        error = QStringLiteral("Cannot write %1: %2").arg(fileName, work.errorString());
        return TFileResult::Failed;
    }
    const QString draft =
        work.filePath(QStringLiteral("picture.") + QFileInfo(fileName).suffix().toLower());
    const TFileResult result = write(draft, error);
    error.replace(draft, fileName); // the user knows the file by the name they chose
    if (result != TFileResult::Done)
        return result;
    QFile file(draft);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString());
        return TFileResult::Failed;
    }
    return WriteFileSafely(fileName, file.readAll(), &error) ? TFileResult::Done
                                                             : TFileResult::Failed;
}
