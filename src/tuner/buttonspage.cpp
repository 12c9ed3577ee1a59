#include "tuner/buttonspage.h"

TButtonsPage::TButtonsPage(TTunerForm* form) : TTunerPage(form) {}

void TButtonsPage::showSettings() {}
