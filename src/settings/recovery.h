#pragma once
// The recovery file: the changed image kept on disk while the program runs, so that a
// session that ends without a chance to ask (a signal at logout, a crash) loses nothing.
// Two settings files in one folder: the image (with a "Recovery" section saying when and
// against what it was changed) and its baseline. Both are written safely; the image is
// written last and removed first, so a half-written pair is never offered.

#include "settings/history.h"

#include <QDateTime>
#include <QString>

#include <optional>

struct TRecovered {
    TSettings image;
    TSettings baseline;
    TImageOrigin origin;
    QDateTime time; // when the image was last changed
};

// Writes the pair into folder (created when missing); false with the reason in error.
bool WriteRecovery(const QString& folder, const TSettings& image, const TSettings& baseline,
                   const TImageOrigin& origin, const QDateTime& time, QString* error = nullptr);
// The pair kept in folder, or nothing when there is none (or it can't be read).
std::optional<TRecovered> ReadRecovery(const QString& folder);
void RemoveRecovery(const QString& folder);
