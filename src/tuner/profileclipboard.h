#pragma once
// Tells every open Tuner window that a profile was copied, so that each enables its
// "Paste Profile". The copy itself is the global ProfileClipboard.

#include <QObject>

struct TProfile;

class TProfileClipboardNotifier : public QObject {
    Q_OBJECT
public:
    static TProfileClipboardNotifier& instance();

    // ProfileClipboard := profile, then every listener hears filled().
    void copy(const TProfile& profile);

signals:
    void filled();
};
