#include "tuner/themepage.h"

TThemePage::TThemePage(TTunerForm* form) : TTunerPage(form) {}

void TThemePage::showSettings() {}
