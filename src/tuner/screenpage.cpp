#include "tuner/screenpage.h"

#include "tuner/screenshotgroup.h"

#include <QVBoxLayout>

TScreenPage::TScreenPage(TTunerForm* form) : TTunerPage(form) {
    auto* layout = new QVBoxLayout(this);
    buildSettingsGroups(layout);
    Screenshot = new TScreenshotGroup(this);
    layout->addWidget(Screenshot, 1);
    connect(Screenshot, &TScreenshotGroup::sizeChanged, this, &TScreenPage::screenshotSizeChanged);
}

void TScreenPage::buildSettingsGroups(QVBoxLayout*) {}

void TScreenPage::showSettings() {}

void TScreenPage::layoutForModel() {
    Screenshot->SizeBarChange();
}
