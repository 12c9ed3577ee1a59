#include "tuner/screenshotgroup.h"

TScreenshotGroup::TScreenshotGroup(QWidget* parent)
    : QGroupBox(QStringLiteral(" Screenshot "), parent) {}

void TScreenshotGroup::SizeBarChange() {}
