#include "tuner/themepage.h"

#include "display/picture.h"
#include "display/transfers.h"
#include "link/ComPort.h"
#include "link/transport.h"
#include "settings/codetables.h"
#include "settings/history.h"
#include "settings/models.h"
#include "settings/settings.h"
#include "shell/application.h"
#include "shell/dialogs.h"
#include "shell/paths.h"
#include "tuner/binding.h"
#include "tuner/pagekit.h"
#include "tuner/tuner.h"
#include "tuner/tunerpictures.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

constexpr int LogoZoom = 2; // the pictures show the logos at twice their size

qint32& LogoScreen(TSettings& image, int, int slot) {
    return image.logoScreen[size_t(slot)];
}

const std::array<TCodeBinding, LogoSlots> kLogoScreens = {{
    {"LogoComboBox1", LogoScreen, 0},
    {"LogoComboBox2", LogoScreen, 1},
    {"LogoComboBox3", LogoScreen, 2},
    {"LogoComboBox4", LogoScreen, 3},
    {"LogoComboBox5", LogoScreen, 4},
    {"LogoComboBox6", LogoScreen, 5},
    {"LogoComboBox7", LogoScreen, 6},
    {"LogoComboBox8", LogoScreen, 7},
}};

constexpr int NoRows = 0; // the display rows of a model without a display: no logo slots

int ShownSlots() {
    return DisplayRows(NoRows) > 0 ? qBound(0, ModInfo.numLogo, LogoSlots) : 0;
}

} // namespace

TThemePage::TThemePage(TTunerForm* form) : TTunerPage(form) {
    auto* group = new QGroupBox(QStringLiteral(" Logo "), this);
    auto* page = new QVBoxLayout(this);
    page->addWidget(group);
    auto* column = new QVBoxLayout(group);

    DownloadLogo =
        NewButton(QStringLiteral("DownloadLogo"), QStringLiteral("Download Logo"), 160, group);
    UploadLogo = NewButton(QStringLiteral("UploadLogo"), QStringLiteral("Upload Logo"), 160, group);
    auto* strip = new QHBoxLayout();
    strip->addWidget(DownloadLogo);
    strip->addWidget(UploadLogo);
    strip->addStretch(1);
    column->addLayout(strip);

    ScrollBox = new QScrollArea(group);
    ScrollBox->setObjectName(QStringLiteral("ScrollBox"));
    ScrollBox->setWidgetResizable(true);
    ScrollBox->setBackgroundRole(QPalette::Window);
    auto* rows = new QWidget(ScrollBox);
    auto* list = new QVBoxLayout(rows);
    list->setSpacing(12);
    for (int slot = 0; slot < LogoSlots; ++slot)
        list->addWidget(createRow(slot, rows));
    list->addStretch(1);
    ScrollBox->setWidget(rows);
    column->addWidget(ScrollBox, 1);

    m_binder = new TBinder(this);
    m_binder->addCodeLists(kLogoScreens);
    PassWheelUnlessFocused(this);
    connect(DownloadLogo, &QPushButton::clicked, this, &TThemePage::DownloadLogoClick);
    connect(UploadLogo, &QPushButton::clicked, this, &TThemePage::UploadLogoClick);
}

QWidget* TThemePage::createRow(int slot, QWidget* parent) {
    const QString n = QString::number(slot + 1);
    TLogoRow& r = Rows[size_t(slot)];
    r.row = new QWidget(parent);
    r.logo = new TPixelView(r.row);
    r.logo->setObjectName(QStringLiteral("Logo") + n);
    r.logo->setAccessibleName(QStringLiteral("Logo %1").arg(n));
    r.logo->setArea(QSize(DisplayWidth, 32), LogoZoom);
    r.panel = PicturePanel(QStringLiteral("LogoPanel") + n, r.logo, r.row);
    r.label = new QLabel(QStringLiteral("Show in:"), r.row);
    r.label->setObjectName(QStringLiteral("LogoLabel") + n);
    r.combo = new QComboBox(r.row);
    r.combo->setObjectName(QStringLiteral("LogoComboBox") + n);
    for (const char* name : EventNames)
        r.combo->addItem(QLatin1String(name));
    r.label->setBuddy(r.combo);
    r.load = NewButton(QStringLiteral("LoadLogo") + n, QStringLiteral("Load"), 105, r.row);
    r.save = NewButton(QStringLiteral("SaveLogo") + n, QStringLiteral("Save"), 105, r.row);
    r.clear = NewButton(QStringLiteral("ClearLogo") + n, QStringLiteral("Clear"), 105, r.row);

    auto* screen = new QHBoxLayout();
    screen->addWidget(r.label);
    screen->addWidget(r.combo);
    screen->addStretch(1);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(r.load);
    buttons->addWidget(r.save);
    buttons->addWidget(r.clear);
    buttons->addStretch(1);
    auto* controls = new QVBoxLayout();
    controls->addLayout(screen);
    controls->addLayout(buttons);
    controls->addStretch(1);
    auto* line = new QHBoxLayout(r.row);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(r.panel, 0, Qt::AlignTop);
    line->addLayout(controls, 1);

    connect(r.load, &QPushButton::clicked, this, [this, slot] { LoadLogo1Click(slot); });
    connect(r.save, &QPushButton::clicked, this, [this, slot] { SaveLogo1Click(slot); });
    connect(r.clear, &QPushButton::clicked, this, [this, slot] { ClearLogo1Click(slot); });
    return r.row;
}

void TThemePage::showSettings(bool replaced) {
    m_binder->refresh(replaced);
    drawLogos();
}

void TThemePage::layoutForModel() {
    const int rows = DisplayRows(NoRows), shown = ShownSlots();
    for (int slot = 0; slot < LogoSlots; ++slot) {
        const TLogoRow& r = Rows[size_t(slot)];
        if (rows > 0)
            r.logo->setArea(QSize(DisplayWidth, rows), LogoZoom);
        const bool visible = slot < shown;
        const std::initializer_list<QWidget*> controls = {r.row,  r.panel, r.label, r.combo,
                                                          r.load, r.save,  r.clear};
        for (QWidget* control : controls)
            control->setVisible(visible);
    }
    if (rows != m_drawnRows || shown != m_drawnSlots)
        drawLogos(); // the model changed since the pictures were drawn
}

void TThemePage::ShowLogos() {
    m_binder->refresh();
    drawLogos();
}

void TThemePage::drawLogos() {
    const int rows = DisplayRows(NoRows), shown = ShownSlots();
    for (int slot = 0; slot < shown; ++slot) {
        const QImage picture = LogoToPicture(slot, rows);
        if (Rows[size_t(slot)].logo->picture() != picture)
            Rows[size_t(slot)].logo->setPicture(picture);
    }
    m_drawnRows = rows;
    m_drawnSlots = shown;
}

void TThemePage::DownloadLogoClick() {
    Guarded(this, [this] {
        if (!CheckConnected(this))
            return;
        QString refusal;
        bool read = false;
        ImageHistory().changeLogos(QStringLiteral("Download Logo"),
                                   [&] { read = ReadLogos(&refusal); });
        if (read)
            ImageHistory().markLogoScreensOnDevice();
        else if (!refusal.isEmpty())
            Dialogs::error(this, refusal);
        // a lost link says nothing: the pictures and the stores stay as they were
    });
}

void TThemePage::UploadLogoClick() {
    Guarded(this, [this] {
        if (!CheckConnected(this))
            return;
        QString refusal;
        if (WriteLogos(&refusal)) {
            ImageHistory().markLogoScreensOnDevice();
            Dialogs::information(this, QStringLiteral("Done"));
        } else if (!refusal.isEmpty())
            Dialogs::error(this, refusal);
        else
            Dialogs::information(this, QStringLiteral("Error"));
    });
}

// The logo folder, or its subfolder for the display of the connected model ("128x32").
// Asking the device for its model is a whole transaction; when it fails, the model known
// before stays (a failed read would otherwise leave an unknown model without logo slots).
QString TThemePage::logoFolder() {
    QString folder = DataPath(QStringLiteral("Logo"));
    if (!(ComPort && ComPort->Active()))
        return folder;
    const TMod known = ModInfo;
    const qint32 knownId = Settings.ID;
    const bool read = ReadModel();
    const qint32 readId = Settings.ID;
    Settings.ID = knownId; // the device's ID reaches the image as a device value
    if (!read) {
        ModInfo = known;
        return folder;
    }
    ImageHistory().takeDeviceValues(
        {{[](TSettings& image, int) -> qint32& { return image.ID; }, 0, readId}});
    if (ModInfo.ID != known.ID)
        form()->SizeBarChange(); // another model answered: lay the pages out for it
    if (ModInfo.ID > 0)
        folder += QStringLiteral("/%1x%2").arg(ModInfo.scrWidth).arg(ModInfo.scrHeight);
    return folder;
}

void TThemePage::LoadLogo1Click(int slot) {
    Guarded(this, [this, slot] {
        const QString file = OpenPictureName(this, QStringLiteral("Load Logo"), logoFolder());
        if (file.isEmpty())
            return;
        QString error;
        TFileResult result = TFileResult::Skipped;
        ImageHistory().changeLogos(QStringLiteral("Load Logo %1").arg(slot + 1), [&] {
            result = LoadLogoFile(file, slot, DisplayRows(NoRows), error);
        });
        switch (result) {
        case TFileResult::Done:
            break;
        case TFileResult::Skipped: // not a picture type: nothing to do
            break;
        case TFileResult::Failed:
            Dialogs::error(this, error);
            break;
        }
    });
}

void TThemePage::SaveLogo1Click(int slot) {
    Guarded(this, [this, slot] {
        const QString file = SavePictureName(this, QStringLiteral("Save Logo"), logoFolder());
        if (file.isEmpty())
            return;
        QString error;
        if (SaveLogoFile(file, slot, DisplayRows(NoRows), error) == TFileResult::Failed)
            Dialogs::error(this, error);
    });
}

void TThemePage::ClearLogo1Click(int slot) {
    Guarded(this, [this, slot] {
        ImageHistory().changeLogos(QStringLiteral("Clear Logo %1").arg(slot + 1),
                                   [slot] { ClearLogo(slot, DisplayRows(NoRows)); });
    });
}
