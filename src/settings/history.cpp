#include "settings/history.h"

#include "display/displaydata.h"
#include "settings/models.h"

#include <QFileInfo>
#include <QLocale>
#include <QUndoCommand>
#include <QUndoStack>

#include <algorithm>
#include <bitset>
#include <type_traits>

struct TPackedLogos {
    std::array<std::array<std::bitset<DisplayWidth>, DisplayMaxRows>, LogoSlots> bits{};

    static TPackedLogos Take() {
        TPackedLogos packed;
        for (int s = 0; s < LogoSlots; ++s)
            for (int r = 0; r < DisplayMaxRows; ++r)
                for (int c = 0; c < DisplayWidth; ++c)
                    packed.bits[size_t(s)][size_t(r)][size_t(c)] = LogoImages[s][r][c] != PixelOff;
        return packed;
    }
    void Put() const {
        for (int s = 0; s < LogoSlots; ++s)
            for (int r = 0; r < DisplayMaxRows; ++r)
                for (int c = 0; c < DisplayWidth; ++c)
                    LogoImages[s][r][c] =
                        bits[size_t(s)][size_t(r)][size_t(c)] ? PixelOn : PixelOff;
    }
    bool operator==(const TPackedLogos&) const = default;
};

namespace {

template <class T> struct IsArray : std::false_type {};
template <class T, std::size_t N> struct IsArray<std::array<T, N>> : std::true_type {};

// Calls f(t, x, y) for every stored value of three images side by side, so that a step can
// put back exactly the values it changed and leave the rest (a poll's values) alone.
template <class T, class F> void Zip(T& t, const T& x, const T& y, F& f) {
    if constexpr (IsArray<T>::value) {
        for (std::size_t i = 0; i < t.size(); ++i)
            Zip(t[i], x[i], y[i], f);
    } else if constexpr (std::is_same_v<T, TProfile>) {
        f(t.name, x.name, y.name);
        f(t.mode, x.mode, y.mode);
        f(t.flags, x.flags, y.flags);
        f(t.voltage, x.voltage, y.voltage);
        f(t.powerVW, x.powerVW, y.powerVW);
        f(t.powerTC, x.powerTC, y.powerTC);
        f(t.temperature, x.temperature, y.temperature);
        f(t.prehValue, x.prehValue, y.prehValue);
        f(t.prehTime, x.prehTime, y.prehTime);
        f(t.prehDelay, x.prehDelay, y.prehDelay);
        f(t.lockRes, x.lockRes, y.lockRes);
        f(t.lockTemp, x.lockTemp, y.lockTemp);
        f(t.TCR, x.TCR, y.TCR);
        Zip(t.TFR, x.TFR, y.TFR, f);
    } else {
        f(t, x, y);
    }
}

template <class F> void ZipImages(TSettings& t, const TSettings& x, const TSettings& y, F f) {
    for (auto [a, b, c] : {std::tuple{&t.ID, &x.ID, &y.ID},
                           {&t.curProfile, &x.curProfile, &y.curProfile},
                           {&t.flags, &x.flags, &y.flags},
                           {&t.cntPuffs, &x.cntPuffs, &y.cntPuffs},
                           {&t.cntPTime, &x.cntPTime, &y.cntPTime},
                           {&t.timeLogo, &x.timeLogo, &y.timeLogo},
                           {&t.timeInfo, &x.timeInfo, &y.timeInfo},
                           {&t.timeFadeIn, &x.timeFadeIn, &y.timeFadeIn},
                           {&t.timeFadeOut, &x.timeFadeOut, &y.timeFadeOut},
                           {&t.battProfile, &x.battProfile, &y.battProfile},
                           {&t.battRemNrg, &x.battRemNrg, &y.battRemNrg},
                           {&t.pidRegP, &x.pidRegP, &y.pidRegP},
                           {&t.pidRegI, &x.pidRegI, &y.pidRegI},
                           {&t.pidRegD, &x.pidRegD, &y.pidRegD}})
        f(*a, *b, *c);
    f(t.Version, x.Version, y.Version);
    Zip(t.battCal, x.battCal, y.battCal, f);
    Zip(t.profile, x.profile, y.profile, f);
    Zip(t.keyAction, x.keyAction, y.keyAction, f);
    Zip(t.logoScreen, x.logoScreen, y.logoScreen, f);
    Zip(t.indPar, x.indPar, y.indPar, f);
    Zip(t.brTime, x.brTime, y.brTime, f);
    Zip(t.v2p, x.v2p, y.v2p, f);
}

// Every value that differs between from and to takes to's value in target.
void MergeChanges(TSettings& target, const TSettings& from, const TSettings& to) {
    ZipImages(target, from, to, [](auto& t, const auto& x, const auto& y) {
        if (!(x == y))
            t = y;
    });
}

struct TBaselineState {
    TSettings image;
    TImageOrigin origin;
};

// One step: the image before and after, the logo pictures when the step changed them, the
// baseline when the step replaced the image.
class TImageStep : public QUndoCommand {
public:
    TImageStep(TImageHistory& history, const QString& what, const TSettings& before,
               const TSettings& after, const QString& mergeKey)
        : QUndoCommand(what), m_history(history), m_before(before), m_after(after),
          m_mergeKey(mergeKey) {}

    // Only the steps that change them hold them (a step of one field stays small).
    std::unique_ptr<const TPackedLogos> logosBefore, logosAfter;
    std::unique_ptr<const TBaselineState> baselineBefore, baselineAfter;

    void undo() override { apply(m_after, m_before, logosBefore.get(), baselineBefore.get()); }
    void redo() override {
        if (m_fresh) { // pushed after the change was made
            m_fresh = false;
            return;
        }
        apply(m_before, m_after, logosAfter.get(), baselineAfter.get());
    }
    int id() const override { return m_mergeKey.isEmpty() ? -1 : 1; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const TImageStep*>(other);
        if (next->m_mergeKey != m_mergeKey || logosAfter || next->logosAfter || baselineAfter ||
            next->baselineAfter)
            return false;
        m_after = next->m_after;
        setObsolete(m_after == m_before); // dragged back to where it started
        return true;
    }

private:
    void apply(const TSettings& from, const TSettings& to, const TPackedLogos* logos,
               const TBaselineState* baseline) {
        m_history.applyStep(from, to, logos, baseline ? &baseline->image : nullptr,
                            baseline ? &baseline->origin : nullptr);
    }

    TImageHistory& m_history;
    TSettings m_before, m_after;
    QString m_mergeKey;
    bool m_fresh = true;
};

} // namespace

QString TImageOrigin::name() const {
    switch (source) {
    case TImageSource::Device:
        return QStringLiteral("device");
    case TImageSource::File:
        return QFileInfo(file).fileName();
    case TImageSource::New:
        break;
    }
    return QStringLiteral("new");
}

QString TImageOrigin::valueCaption() const {
    switch (source) {
    case TImageSource::Device:
        return QStringLiteral("Device value");
    case TImageSource::File:
        return QStringLiteral("File value");
    case TImageSource::New:
        break;
    }
    return QStringLiteral("Default value");
}

TImageHistory::TImageHistory() : m_stack(new QUndoStack(this)) {
    m_stack->setUndoLimit(StepLimit);
}

TImageHistory::~TImageHistory() = default;

bool TImageHistory::change(const QString& what, const std::function<void(TSettings&)>& edit,
                           const QString& mergeKey) {
    const TSettings before = Settings;
    edit(Settings);
    if (Settings == before)
        return false;
    m_stack->push(new TImageStep(*this, what, before, Settings, mergeKey));
    changed(false);
    return true;
}

bool TImageHistory::changeLogos(const QString& what, const std::function<void()>& edit) {
    const TSettings before = Settings;
    auto logos = std::make_unique<const TPackedLogos>(TPackedLogos::Take());
    edit();
    auto now = std::make_unique<const TPackedLogos>(TPackedLogos::Take());
    if (Settings == before && *logos == *now)
        return false;
    auto* step = new TImageStep(*this, what, before, Settings, QString());
    step->logosBefore = std::move(logos);
    step->logosAfter = std::move(now);
    m_stack->push(step);
    changed(false);
    return true;
}

void TImageHistory::replace(const QString& what, const TSettings& image, const TSettings& baseline,
                            const TImageOrigin& origin) {
    auto* step = new TImageStep(*this, what, Settings, image, QString());
    step->baselineBefore = std::make_unique<const TBaselineState>(m_baseline, m_origin);
    step->baselineAfter = std::make_unique<const TBaselineState>(baseline, origin);
    Settings = image;
    m_baseline = baseline;
    m_origin = origin;
    m_stack->push(step);
    emit baselineChanged();
    changed(true);
}

void TImageHistory::markBaseline(const TImageOrigin& origin) {
    m_baseline = Settings;
    m_origin = origin;
    emit baselineChanged();
}

void TImageHistory::markLogoScreensOnDevice() {
    m_baseline.logoScreen = Settings.logoScreen;
    emit baselineChanged();
}

void TImageHistory::takeDeviceValues(const TPolledValues& values) {
    bool image = false, base = false;
    for (const TPolledValue& polled : values) {
        qint32& now = polled.field(Settings, polled.profile);
        qint32& was = polled.field(m_baseline, polled.profile);
        const bool unchanged = now == was;
        if (unchanged && now != polled.value) {
            now = polled.value;
            image = true;
        }
        if ((unchanged || m_origin.source == TImageSource::Device) && was != polled.value) {
            was = polled.value;
            base = true;
        }
    }
    if (base)
        emit baselineChanged();
    if (image)
        changed(false);
}

void TImageHistory::reset(const TImageOrigin& origin) {
    m_stack->clear();
    m_baseline = Settings;
    m_origin = origin;
    emit baselineChanged();
    changed(true);
}

QList<TShownDiff> UnsavedChanges(const TSettings& baseline, const TSettings& image) {
    QList<TShownDiff> rows = ShownDiffs(DiffSettings(baseline, image, ModInfo, QLocale()));
    rows.removeIf([](const TShownDiff& row) { return !row.uploaded; });
    return rows;
}

QList<TShownDiff> TImageHistory::changes() const {
    return UnsavedChanges(m_baseline, Settings);
}

void TImageHistory::applyStep(const TSettings& from, const TSettings& to, const TPackedLogos* logos,
                              const TSettings* baseline, const TImageOrigin* origin) {
    MergeChanges(Settings, from, to);
    if (logos)
        logos->Put();
    if (baseline) {
        m_baseline = *baseline;
        m_origin = *origin;
        emit baselineChanged();
    }
    changed(baseline != nullptr);
}

void TImageHistory::changed(bool replaced) {
    m_last = Settings;
    m_changedAt = QDateTime::currentDateTime();
    emit imageChanged(replaced);
}

TImageHistory& ImageHistory() {
    static TImageHistory history;
    return history;
}

QString ChangeCountText(int count) {
    return count == 1 ? QStringLiteral("1 change") : QStringLiteral("%1 changes").arg(count);
}

QString ChangeListText(const QList<TShownDiff>& changes, int limit) {
    QStringList names;
    for (qsizetype i = 0; i < changes.size() && i < limit; ++i)
        names << changes.at(i).item;
    if (changes.size() > limit)
        names << QStringLiteral("...");
    return names.join(QStringLiteral(", "));
}
