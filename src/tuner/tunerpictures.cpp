#include "tuner/tunerpictures.h"

#include "display/transfers.h"
#include "settings/models.h"
#include "shell/dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QPainter>

TPixelView::TPixelView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent); // nothing behind it needs painting first
}

void TPixelView::setArea(QSize size, int zoom) {
    m_size = size;
    m_zoom = qMax(1, zoom);
    if (m_picture.size() != m_size)
        m_picture = QImage();
    setFixedSize(m_size * m_zoom);
    update();
}

void TPixelView::setPicture(const QImage& picture) {
    m_picture = picture;
    if (m_picture.size() != m_size)
        setArea(m_picture.size(), m_zoom);
    update();
}

void TPixelView::clear() {
    m_picture = QImage();
    update();
}

void TPixelView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_picture.isNull()) {
        painter.fillRect(rect(), palette().window()); // the panel's colour
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRect(QPoint(0, 0), m_picture.size() * m_zoom), m_picture);
}

QString OpenPictureName(QWidget* parent, const QString& caption, const QString& folder) {
    const QStringList filters = PictureFilters();
    QDir().mkpath(folder); // a missing folder would be taken for a file name
    const QString file = Dialogs::openFileName(parent, caption, folder,
                                               filters.join(QStringLiteral(";;")), filters.first());
    return !file.isEmpty() && QFileInfo::exists(file) ? file : QString();
}

QString SavePictureName(QWidget* parent, const QString& caption, const QString& folder) {
    const QStringList filters = PictureFilters();
    QDir().mkpath(folder);
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

int DisplayRows(int fallback) {
    return DisplayRefusal().isEmpty() ? ModInfo.scrHeight : fallback;
}

QFrame* PicturePanel(const QString& name, QWidget* picture, QWidget* parent) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Box | QFrame::Plain);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::darkGray); // the frame
    panel->setPalette(palette);
    panel->setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(picture, 0, Qt::AlignCenter);
    return panel;
}
