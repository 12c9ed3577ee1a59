#include "tuner/modpage.h"

TModPage::TModPage(TTunerForm* form) : TTunerPage(form) {}

void TModPage::showSettings() {}
