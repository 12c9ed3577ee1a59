#include "shell/about.h"

#include "shell/artwork.h"
#include "shell/dialogs.h"
#include "shell/paths.h"

#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace {
constexpr int kPicture = 112;
}

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(400, 200);
    Image = new QLabel(this);
    Image->setObjectName(QStringLiteral("Image"));
    Image->setPixmap(ProductPicture(kPicture));
    Image->setGeometry(8, 8, kPicture, kPicture);

    AppName = new QLabel(this);
    AppName->setObjectName(QStringLiteral("AppName"));
    QFont nameFont = font();
    nameFont.setBold(true);
    nameFont.setPointSize(nameFont.pointSize() + 3);
    AppName->setFont(nameFont);
    AppName->setGeometry(136, 20, 256, 28);

    Copyright = new QLabel(QStringLiteral("Configuration tool for USB box mods.\n"
                                          "Copyright \u00a9 2026 DEVedazi developers."),
                           this);
    Copyright->setObjectName(QStringLiteral("Copyright"));
    Copyright->setWordWrap(true);
    Copyright->setGeometry(136, 56, 256, 44);

    Site = new QLabel(QStringLiteral("Official Site"), this);
    Site->setObjectName(QStringLiteral("Site"));
    QFont siteFont = font();
    siteFont.setUnderline(true);
    Site->setFont(siteFont);
    Site->setStyleSheet(QStringLiteral("color: navy;"));
    Site->setCursor(Qt::PointingHandCursor);
    Site->setToolTip(SiteUrl());
    Site->setGeometry(136, 104, 120, 20);
    Site->installEventFilter(this);

    Button1 = new QPushButton(QStringLiteral("&Ok"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(400 - 8 - 88, 200 - 8 - 28, 88, 28);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

QString TAboutForm::FullVersionText() {
    return QStringLiteral("DEVedazi v%1.%2.%3 build %4")
        .arg(DEVEDAZI_VERSION_MAJOR)
        .arg(DEVEDAZI_VERSION_MINOR)
        .arg(DEVEDAZI_VERSION_PATCH)
        .arg(DEVEDAZI_VERSION_BUILD);
}

// The project's own page is its README, shipped beside the manuals.
QString TAboutForm::SiteUrl() {
    return QUrl::fromLocalFile(ManualPath(QStringLiteral("README.md"))).toString();
}

void TAboutForm::SiteClick() {
    Dialogs::openUrl(QUrl(SiteUrl()));
}

void TAboutForm::showEvent(QShowEvent* event) {
    AppName->setText(FullVersionText());
    Site->setVisible(QFileInfo::exists(ManualPath(QStringLiteral("README.md"))));
    if (parentWidget()) // centred on the main window
        move(parentWidget()->geometry().center() - rect().center());
    QDialog::showEvent(event);
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Site && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        SiteClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
