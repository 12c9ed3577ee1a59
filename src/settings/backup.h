#pragma once
// Settings backups: the device's settings image saved as a settings file named after the
// model and the time, in a folder that keeps the newest BackupKeepCount files of each model.
// A firmware older than the application can't be read into an image: its answers are saved
// as raw lines instead. The built-in virtual device is never backed up.
// The updater makes one before it switches the device into its boot loader; the command
// line's "backup" makes one on request.

#include <QDateTime>
#include <QString>
#include <QStringList>

constexpr int BackupKeepCount = 20;

// Below the user's data folder: "DEVedazi/Profiles/Settings/Backups".
QString DefaultBackupFolder();

// "<model folder>_<YYYY-MM-DD_HH-MM-SS>.xml" (ModelFolder(); "Unknown" for a model without
// one), in local time.
QString BackupFileName(qint32 modelId, const QDateTime& when);
// "<model folder>_<YYYY-MM-DD_HH-MM-SS>_raw.txt": the raw answers of an older firmware.
QString RawBackupFileName(qint32 modelId, const QDateTime& when);

enum class TBackupOutcome {
    Saved,         // the settings file is written
    SavedRaw,      // the firmware is older than the application: its raw answers are written
    VirtualDevice, // the built-in virtual device: no backup is made of it
    ReadFailed,    // the device exchange failed
    WriteFailed    // the settings were read, but the file could not be written
};

struct TBackupResult {
    TBackupOutcome outcome = TBackupOutcome::ReadFailed;
    QString path;        // the file written (Saved, SavedRaw)
    QString error;       // why no backup was made, for the user (otherwise empty)
    QString firmware;    // the device's firmware version (SavedRaw)
    int lines = 0;       // parameters saved (SavedRaw)
    int unanswered = 0;  // parameters the device did not answer (SavedRaw)
    QStringList removed; // older backups removed to keep the newest BackupKeepCount
    bool saved() const {
        return outcome == TBackupOutcome::Saved || outcome == TBackupOutcome::SavedRaw;
    }
};

// What a raw backup is and how to put it back, for the user (several lines).
QString RawBackupNote(const TBackupResult& result);

// Downloads the device's settings into an image of its own (Settings stays as it is; ModInfo
// follows the device's "ID" as after any download), writes it into `folder` (created when
// missing) through a temporary file, then keeps the newest BackupKeepCount backups of that
// model there. A second backup within the same second gets "_2", "_3" ... before ".xml".
// When the firmware is older than the application, every parameter's answer line is saved
// instead (ReadRawSettings, RawBackupFileName). The virtual device is refused at once.
// A port error while sending escapes as EComError, as from any transfer.
TBackupResult BackupDeviceSettings(const QString& folder,
                                   const QDateTime& when = QDateTime::currentDateTime());

// Deletes the oldest backups of `modelFolder` in `folder` beyond the newest `keep`, judged by
// the time in their names. Only files named as BackupFileName() or RawBackupFileName() name
// them are looked at; anything else in the folder is left alone. Returns the paths removed.
QStringList PruneBackups(const QString& folder, const QString& modelFolder,
                         int keep = BackupKeepCount);
