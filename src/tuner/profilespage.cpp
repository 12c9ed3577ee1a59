#include "tuner/profilespage.h"

TProfilesPage::TProfilesPage(TTunerForm* form) : TTunerPage(form) {}

void TProfilesPage::showSettings() {}
