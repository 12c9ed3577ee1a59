#pragma once
// The editing history of the one settings image: every change of Settings (and of the logo
// pictures) as a step that can be undone and redone, and the baseline, the image as it last
// matched something outside the program (downloaded, uploaded, loaded, saved or made new).
// "Changed" means "differs from the baseline", nothing else.
//
// Every window that changes the image goes through ImageHistory(): change() for an edit,
// changeLogos() for the pictures, replace() for a whole new image. Undo and redo never talk
// to the device; they put the image back and say so with imageChanged(), after which every
// window shows Settings again.

#include "settings/settings.h"
#include "settings/settingsdiff.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QUndoStack;
struct TMod;

// Where the baseline came from.
enum class TImageSource { New, File, Device };

struct TImageOrigin {
    TImageSource source = TImageSource::New;
    QString file; // the settings file (File only)

    // "new", "device" or the file's name without its folder ("mysettings.xml").
    QString name() const;
    // "Device value", "File value" or "Default value": how a changed field names the
    // baseline's value.
    QString valueCaption() const;
    bool operator==(const TImageOrigin&) const = default;
};

// One value of the image that a monitor poll read from the device.
struct TPolledValue {
    qint32& (*field)(TSettings& image, int profile);
    int profile = 0;
    qint32 value = 0;
};
using TPolledValues = QList<TPolledValue>;

// The logo pictures one bit per pixel (they hold only on and off).
struct TPackedLogos;

class TImageHistory : public QObject {
    Q_OBJECT
public:
    // The oldest steps beyond this many are forgotten (a step of a field change holds a few
    // kilobytes; bench/bench_history measures it).
    static constexpr int StepLimit = 10000;

    TImageHistory();
    ~TImageHistory() override;

    // Undo and redo; each step's text names it ("VW Power (Profile 1)", "Load Settings").
    QUndoStack* stack() const { return m_stack; }

    // One user change: `edit` runs on Settings and the image before and after becomes a
    // step. Nothing is kept when nothing changed. Consecutive changes with the same
    // non-empty mergeKey are one step (one drag of a track bar). True when Settings changed.
    bool change(const QString& what, const std::function<void(TSettings&)>& edit,
                const QString& mergeKey = QString());
    // A change of the logo pictures (LogoImages), and of Settings where `edit` writes it.
    bool changeLogos(const QString& what, const std::function<void()>& edit);
    // A whole new image (new, loaded, downloaded, restored): one step, and the baseline
    // becomes `baseline` from `origin` (undo brings back the image and baseline before).
    void replace(const QString& what, const TSettings& image, const TSettings& baseline,
                 const TImageOrigin& origin);
    void replace(const QString& what, const TSettings& image, const TImageOrigin& origin) {
        replace(what, image, image, origin);
    }
    // Settings now matches origin (a good upload or save): no field counts as changed.
    void markBaseline(const TImageOrigin& origin);
    // The logo screens now match the device (a logo download or upload).
    void markLogoScreensOnDevice();
    // What a monitor poll read: a field the user has not changed since the baseline
    // follows the device, and so does its baseline; the user's changes stay. With a
    // baseline from the device, the baseline of a changed field follows the device too.
    void takeDeviceValues(const TPolledValues& values);
    // Forgets every step; the baseline becomes Settings (start-up, tests).
    void reset(const TImageOrigin& origin = TImageOrigin());

    const TSettings& baseline() const { return m_baseline; }
    const TImageOrigin& origin() const { return m_origin; }
    QDateTime lastChangeTime() const { return m_changedAt; }
    // The image as the history last left it; Settings differs from it only when something
    // wrote Settings behind the history's back.
    const TSettings& lastImage() const { return m_last; }

    // The differences from the baseline that an upload or a save would carry, as the
    // editor shows them, and their count.
    QList<TShownDiff> changes() const;
    int changeCount() const { return int(changes().size()); }
    bool hasChanges() const { return changeCount() > 0; }

    // Used by the steps.
    void applyStep(const TSettings& from, const TSettings& to, const TPackedLogos* logos,
                   const TSettings* baseline, const TImageOrigin* origin);

signals:
    // Settings (or the logos) changed; replaced: a whole new image (a window shows it as
    // new: the active profile's tab), otherwise an edit, an undo or a poll.
    void imageChanged(bool replaced);
    void baselineChanged();

private:
    void changed(bool replaced);

    QUndoStack* m_stack;
    TSettings m_baseline;
    TImageOrigin m_origin;
    TSettings m_last;
    QDateTime m_changedAt;
};

// The one history of the one image.
TImageHistory& ImageHistory();

// The differences of image from baseline that an upload or a save would carry, as the
// editor shows them.
QList<TShownDiff> UnsavedChanges(const TSettings& baseline, const TSettings& image);
// "3 changes", "1 change".
QString ChangeCountText(int count);
// The first `limit` changes by name, "..." when there are more: "VW Power (Profile 1),
// Regulator P".
QString ChangeListText(const QList<TShownDiff>& changes, int limit = 5);
