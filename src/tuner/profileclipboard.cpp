#include "tuner/profileclipboard.h"

#include "settings/settings.h"

TProfileClipboardNotifier& TProfileClipboardNotifier::instance() {
    static TProfileClipboardNotifier notifier;
    return notifier;
}

void TProfileClipboardNotifier::copy(const TProfile& profile) {
    ProfileClipboard = profile;
    ProfileClipboardFilled = true;
    emit filled();
}
