#include "tuner/screenshotgroup.h"

#include "display/displaydata.h"
#include "display/picture.h"
#include "display/transfers.h"
#include "shell/application.h"
#include "shell/dialogs.h"
#include "shell/mother.h"
#include "shell/paths.h"
#include "tuner/binding.h"
#include "tuner/pagekit.h"
#include "tuner/tunerpictures.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolTip>
#include <QVBoxLayout>

#include <memory>

namespace {

constexpr int InitialZoom = 2;
constexpr int StatusMs = 8000;

constexpr int SmallDisplayRows = 32; // the area shown for a model without a display

// Says something in the main window's status bar, when there is one.
void ShowStatus(const QString& text) {
    if (MotherForm)
        MotherForm->statusBar()->showMessage(text, StatusMs);
}

} // namespace

TScreenshotGroup::TScreenshotGroup(QWidget* parent)
    : QGroupBox(QStringLiteral(" Screenshot "), parent) {
    TakeScreenshot =
        NewButton(QStringLiteral("TakeScreenshot"), QStringLiteral("Take Screenshot"), 160, this);
    SaveScreenshot =
        NewButton(QStringLiteral("SaveScreenshot"), QStringLiteral("Save Screenshot"), 160, this);
    auto* sizeLabel = new QLabel(QStringLiteral("Size:"), this);
    SizeBar = new QSlider(Qt::Horizontal, this);
    SizeBar->setObjectName(QStringLiteral("SizeBar"));
    SizeBar->setRange(1, 8);
    SizeBar->setPageStep(1);
    SizeBar->setValue(InitialZoom);
    SizeBar->setTickPosition(QSlider::TicksBelow);
    SizeBar->setTickInterval(1);
    SizeBar->setMinimumWidth(160);
    SizeBar->setToolTip(QString::number(InitialZoom));
    sizeLabel->setBuddy(SizeBar);

    Screenshot = new TPixelView(this);
    Screenshot->setObjectName(QStringLiteral("Screenshot"));
    Screenshot->setAccessibleName(QStringLiteral("Screenshot"));
    ScrPanel = PicturePanel(QStringLiteral("ScrPanel"), Screenshot, this);

    auto* strip = new QHBoxLayout();
    strip->addWidget(TakeScreenshot);
    strip->addWidget(SaveScreenshot);
    strip->addSpacing(12);
    strip->addWidget(sizeLabel);
    strip->addWidget(SizeBar);
    strip->addStretch(1);
    auto* column = new QVBoxLayout(this);
    column->addLayout(strip);
    column->addWidget(ScrPanel, 0, Qt::AlignLeft | Qt::AlignTop); // the page scrolls
    column->addStretch(1);

    connect(TakeScreenshot, &QPushButton::clicked, this, &TScreenshotGroup::TakeScreenshotClick);
    connect(SaveScreenshot, &QPushButton::clicked, this, &TScreenshotGroup::SaveScreenshotClick);
    connect(SizeBar, &QSlider::valueChanged, this, [this](int value) {
        SizeBar->setToolTip(QString::number(value));
        emit sizeChanged();
    });
    connect(SizeBar, &QSlider::sliderPressed, this, &TScreenshotGroup::showSizeTip);
    connect(SizeBar, &QSlider::sliderMoved, this, &TScreenshotGroup::showSizeTip);
    SizeBarChange();
}

int TScreenshotGroup::zoom() const {
    return SizeBar->value();
}

bool TScreenshotGroup::captureShown() const {
    return !Screenshot->picture().isNull();
}

void TScreenshotGroup::SizeBarChange() {
    Screenshot->clear();
    Screenshot->setArea(QSize(DisplayWidth, DisplayRows(SmallDisplayRows)), zoom());
}

// The slider's position in a tool tip below its thumb, while it is dragged.
void TScreenshotGroup::showSizeTip() {
    QStyleOptionSlider option;
    option.initFrom(SizeBar);
    option.orientation = SizeBar->orientation();
    option.minimum = SizeBar->minimum();
    option.maximum = SizeBar->maximum();
    option.sliderPosition = SizeBar->sliderPosition();
    option.sliderValue = SizeBar->value();
    option.singleStep = SizeBar->singleStep();
    option.pageStep = SizeBar->pageStep();
    option.tickPosition = SizeBar->tickPosition();
    option.tickInterval = SizeBar->tickInterval();
    option.upsideDown = SizeBar->layoutDirection() == Qt::RightToLeft;
    const QRect thumb = SizeBar->style()->subControlRect(QStyle::CC_Slider, &option,
                                                         QStyle::SC_SliderHandle, SizeBar);
    const QPoint below = SizeBar->mapToGlobal(QPoint(thumb.center().x(), thumb.bottom()));
    QToolTip::showText(below, QString::number(SizeBar->sliderPosition()), SizeBar);
}

void TScreenshotGroup::TakeScreenshotClick() {
    Guarded(this, [this] {
        if (!CheckConnected(this))
            return;
        // A capture that fails part way leaves the last good one, in the stores as on screen.
        const auto image = std::make_unique<TPicture>(ScreenImage);
        const auto colors = ScreenColors;
        QString refusal;
        if (ReadScreen(&refusal)) {
            showCapture();
            return;
        }
        ScreenImage = *image;
        ScreenColors = colors;
        if (!refusal.isEmpty())
            Dialogs::error(this, refusal);
    });
}

void TScreenshotGroup::showCapture() {
    const int rows = DisplayRows(SmallDisplayRows);
    Screenshot->setArea(QSize(DisplayWidth, rows), zoom());
    Screenshot->setPicture(ScreenToPicture(rows, 1));
}

void TScreenshotGroup::SaveScreenshotClick() {
    Guarded(this, [this] {
        const QImage capture = Screenshot->picture();
        if (capture.isNull()) {
            ShowStatus(QStringLiteral("No screenshot to save: take a screenshot first"));
            return;
        }
        const QString file = SavePictureName(this, QStringLiteral("Save Screenshot"),
                                             DataPath(QStringLiteral("Screenshots")));
        if (file.isEmpty())
            return;
        const QImage shown =
            capture.scaled(capture.size() * zoom(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
        QString error;
        if (WritePicture(shown, file, error) == TFileResult::Failed)
            Dialogs::error(this, error);
    });
}
