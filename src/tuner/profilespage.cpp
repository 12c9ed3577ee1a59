#include "tuner/profilespage.h"

#include "link/devicetext.h"
#include "link/transport.h"
#include "monitor/monitordata.h"
#include "settings/actions.h"
#include "settings/codetables.h"
#include "settings/history.h"
#include "settings/models.h"
#include "settings/numbers.h"
#include "shell/application.h"
#include "shell/dialogs.h"
#include "tuner/binding.h"
#include "tuner/changemarks.h"
#include "tuner/pagekit.h"
#include "tuner/profileclipboard.h"
#include "tuner/tfrchart.h"
#include "tuner/tuner.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QTabBar>
#include <QVBoxLayout>

namespace {

template <qint32 TProfile::*Member> qint32& ProfileField(TSettings& image, int profile, int) {
    return image.profile[std::size_t(profile)].*Member;
}

// The text fields that are pure data: decimals, range and scale of the stored integer,
// typing limit, digits only. The preheat value (two units) and the name are handled apart.
const TFieldBinding kProfileFields[] = {
    {"ProfilePowerVW", 1, 1.0, 200.0, 10, &ProfileField<&TProfile::powerVW>, 0, 5, false},
    {"ProfilePowerTC", 1, 1.0, 200.0, 10, &ProfileField<&TProfile::powerTC>, 0, 5, false},
    {"ProfileTemp", 0, 100, 600, 1, &ProfileField<&TProfile::temperature>, 0, 3, true},
    {"ProfileVoltage", 2, 1.00, 8.40, 100, &ProfileField<&TProfile::voltage>, 0, 4, false},
    {"ProfilePrehTime", 1, 0.0, 10.0, 1000, &ProfileField<&TProfile::prehTime>, 0, 4, false},
    {"ProfilePrehDelay", 0, 0, 60, 1, &ProfileField<&TProfile::prehDelay>, 0, 2, true},
    {"ProfileLockRes", 3, 0.050, 3.000, 1000, &ProfileField<&TProfile::lockRes>, 0, 5, false},
    {"ProfileLockTemp", 0, 0, 100, 1, &ProfileField<&TProfile::lockTemp>, 0, 3, true},
    {"ProfileTCR", 0, 0, 9999, 1, &ProfileField<&TProfile::TCR>, 0, 4, true},
};

const TFlagBinding kProfileChecks[] = {
    {"ProfilePAlt", pfAltParam, true},
    {"ProfileInact", pfInactive, true},
    {"ProfileRLock", pfRLock, true},
    {"ProfileUseTFR", pfUseTFR, true},
};

// The preheat value in watts (flags bit 2 clear) and in percent of the mode's power.
struct TPrehRow {
    int decimals;
    double min, max;
    int scale;
};
constexpr TPrehRow kPrehWatts{1, 1.0, 200.0, 10};
constexpr TPrehRow kPrehPercent{0, 0, 200, 1};

// The flags bit that switches preheat on in a mode: VW and TC each keep their own; the
// other modes (and a mode without an item) have none.
qint32 PreheatBit(int mode) {
    return mode == pmVW ? pfPrehVW : mode == pmTC ? pfPrehTC : 0;
}

constexpr int kNameLength = 6;
constexpr int kPrehValueLength = 5;

// Grid columns of the profile panel: three columns of caption, field and unit, the middle
// one with a check box beside some fields.
enum Column {
    LeftCaption = 0,
    LeftField,
    LeftUnit,
    MiddleCaption = 4,
    MiddleField,
    MiddleUnit,
    MiddleCheck,
    Right = 9,
    Rest
};

// The panel's text fields: at least ten digits wide and, unlike the kit's fields, without
// an upper bound.
QLineEdit* NewEdit(const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")));
    return edit;
}

} // namespace

bool NameCharAllowed(QChar c) {
    return !IsControlCharacter(c) && DeviceCanCarry(c);
}

QChar NameChar(QChar c) {
    const QChar upper = c.toUpper();
    return DeviceCanCarry(upper) ? upper : c; // no capital in Latin-1: y diaeresis, micro
}

QString LinkSafeName(const QString& text) {
    QString name;
    for (QChar c : text)
        if (NameCharAllowed(c))
            name += c;
    while (name.startsWith(QLatin1Char(' ')))
        name.remove(0, 1);
    while (name.endsWith(QLatin1Char(' ')))
        name.chop(1);
    return name;
}

TProfilesPage::TProfilesPage(TTunerForm* form) : TTunerPage(form) {
    auto* layout = new QVBoxLayout(ScrolledContent(this)); // scrolls rather than squashes
    layout->addWidget(createHeader());
    TabControl = new QTabBar(this);
    TabControl->setObjectName(QStringLiteral("TabControl"));
    TabControl->setAccessibleName(QStringLiteral("Profile"));
    TabControl->setExpanding(false);
    for (const QString& item : ProfileItemNames())
        TabControl->addTab(item);
    TabControl->installEventFilter(this);
    layout->addWidget(TabControl);
    layout->setSpacing(0);
    layout->addWidget(createPanel(), 1);
    bindFields();
    setKeyboardOrder();

    connect(ActiveProfile, &QComboBox::currentIndexChanged, this,
            &TProfilesPage::ActiveProfileChange);
    connect(TabControl, &QTabBar::currentChanged, this, &TProfilesPage::TabControlChange);
    connect(ProfileMode, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            store(QStringLiteral("Mode"), [index](TProfile& p) { p.mode = index; });
        ProfileModeChange();
    });
    connect(ProfilePrehUnit, &QComboBox::currentIndexChanged, this,
            &TProfilesPage::ProfilePrehUnitChange);
    connect(ProfilePrehEn, &QCheckBox::toggled, this, &TProfilesPage::ProfilePrehEnClick);
    connect(ProbeResistance, &QPushButton::clicked, this, &TProfilesPage::ProbeResistanceClick);
    connect(CopyProfile, &QPushButton::clicked, this, &TProfilesPage::CopyProfileClick);
    connect(PasteProfile, &QPushButton::clicked, this, &TProfilesPage::PasteProfileClick);
    connect(&TProfileClipboardNotifier::instance(), &TProfileClipboardNotifier::filled,
            PasteProfile, [this] { PasteProfile->setEnabled(true); });
    addMarks();
    PassWheelUnlessFocused(this);
}

QWidget* TProfilesPage::createHeader() {
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 6);
    ActiveProfile = NewCodeList(QStringLiteral("ActiveProfile"), ProfileItemNames(), header);
    Model = new QLabel(QStringLiteral("000"), header);
    Model->setObjectName(QStringLiteral("Model"));
    Version = new QLabel(QStringLiteral("000"), header);
    Version->setObjectName(QStringLiteral("Version"));
    const struct {
        const char* caption;
        QWidget* content;
    } parts[] = {
        {"Active Profile:", ActiveProfile}, {"Model Name:", Model}, {"Firmware Version:", Version}};
    for (const auto& part : parts) {
        auto* label = new QLabel(QString::fromUtf8(part.caption), header);
        label->setBuddy(part.content);
        row->addWidget(label);
        row->addWidget(part.content);
        row->addSpacing(24);
    }
    for (QLabel* value : {Model, Version}) {
        QFont bold = value->font();
        bold.setBold(true);
        value->setFont(bold);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    row->addStretch(1);
    return header;
}

QWidget* TProfilesPage::createPanel() {
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("ProfilePanel"));
    panel->setFrameShape(QFrame::StyledPanel);
    auto* column = new QVBoxLayout(panel);
    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(6);
    createFields(panel, grid);
    createChecks(panel, grid);
    grid->setColumnMinimumWidth(LeftUnit + 1, 12);
    grid->setColumnMinimumWidth(MiddleCheck + 1, 12);
    grid->setColumnStretch(Rest, 1);
    column->addLayout(grid);
    column->addSpacing(6);

    TFREditor = new TTfrEditor(
        form(), [this]() -> const TTfrCurve& { return profile().TFR; },
        [this](const QString& what, const TTfrCurve& curve) {
            const QString step =
                what == QLatin1String("TFR Curve")
                    ? QStringLiteral("TFR Curve (Profile %1)").arg(m_shown + 1)
                    : QStringLiteral("%1 (TFR Curve, Profile %2)").arg(what).arg(m_shown + 1);
            const int index = m_shown;
            ImageHistory().change(
                step, [&](TSettings& image) { image.profile[std::size_t(index)].TFR = curve; });
        },
        panel);
    CopyProfile =
        NewButton(QStringLiteral("CopyProfile"), QStringLiteral("Copy Profile"), 0, panel);
    PasteProfile =
        NewButton(QStringLiteral("PasteProfile"), QStringLiteral("Paste Profile"), 0, panel);
    PasteProfile->setEnabled(false);
    TFREditor->buttonRow()->addWidget(CopyProfile);
    TFREditor->buttonRow()->addWidget(PasteProfile);
    column->addWidget(TFREditor, 1);
    return panel;
}

void TProfilesPage::createFields(QWidget* p, QGridLayout* grid) {
    ProfileName = NewEdit("ProfileName", p);
    ProfileMode = NewCodeList(QStringLiteral("ProfileMode"), ModeNames, p);
    ProfilePrehValue = NewEdit("ProfilePrehValue", p);
    ProfilePrehUnit = NewCodeList(QStringLiteral("ProfilePrehUnit"), PrehUnitNames, p);
    // The list is the preheat value's unit caption and has none of its own. A list's name
    // for assistive technology is its current item; its caption travels as the "labelled
    // by" relation, which only a buddy label gives. This one is never shown.
    ProfilePrehUnit->setAccessibleName(QStringLiteral("Preheat Unit"));
    auto* unitCaption = new QLabel(QStringLiteral("Preheat Unit:"), p);
    unitCaption->setBuddy(ProfilePrehUnit);
    unitCaption->hide();
    ProfilePrehTime = NewEdit("ProfilePrehTime", p);
    ProfilePrehDelay = NewEdit("ProfilePrehDelay", p);
    ProfileTCR = NewEdit("ProfileTCR", p);
    ProfilePowerVW = NewEdit("ProfilePowerVW", p);
    ProfilePowerTC = NewEdit("ProfilePowerTC", p);
    ProfileTemp = NewEdit("ProfileTemp", p);
    ProfileVoltage = NewEdit("ProfileVoltage", p);
    ProfileLockRes = NewEdit("ProfileLockRes", p);
    ProfileLockTemp = NewEdit("ProfileLockTemp", p);

    const struct {
        int column;
        const char* caption;
        QWidget* field;
        const char* unit;
    } rows[] = {
        {LeftCaption, "Name:", ProfileName, nullptr},
        {LeftCaption, "Mode:", ProfileMode, nullptr},
        {LeftCaption, "Preheat Value:", ProfilePrehValue, nullptr},
        {LeftCaption, "Preheat Time:", ProfilePrehTime, "s"},
        {LeftCaption, "Preheat Delay:", ProfilePrehDelay, "s"},
        {LeftCaption, "TCR Value:", ProfileTCR, "10E-6"},
        {MiddleCaption, "VW Power:", ProfilePowerVW, "W"},
        {MiddleCaption, "TC Power:", ProfilePowerTC, "W"},
        {MiddleCaption, "Temperature:", ProfileTemp, nullptr},
        {MiddleCaption, "Voltage:", ProfileVoltage, "V"},
        {MiddleCaption, "R Base:", ProfileLockRes, nullptr},
        {MiddleCaption, "T Base:", ProfileLockTemp, "°C"},
    };
    for (int i = 0; i < int(std::size(rows)); ++i)
        AddFieldRow(grid, i % 6, rows[i].column, QString::fromUtf8(rows[i].caption), rows[i].field,
                    QString::fromUtf8(rows[i].unit));
    grid->addWidget(ProfilePrehUnit, 2, LeftUnit);
}

void TProfilesPage::createChecks(QWidget* p, QGridLayout* grid) {
    ProfilePAlt = NewCheck(QStringLiteral("ProfilePAlt"), QStringLiteral("Alt. Parameter"), p);
    ProfileRLock = NewCheck(QStringLiteral("ProfileRLock"), QStringLiteral("R/T is Locked"), p);
    ProfilePrehEn = NewCheck(QStringLiteral("ProfilePrehEn"), QStringLiteral("Preheat Enabled"), p);
    ProfileInact =
        NewCheck(QStringLiteral("ProfileInact"), QStringLiteral("Profile is Disabled"), p);
    ProfileUseTFR = NewCheck(QStringLiteral("ProfileUseTFR"), QStringLiteral("Use TFR Curve"), p);
    ProbeResistance =
        NewButton(QStringLiteral("ProbeResistance"), QStringLiteral("Read Resistance"), 0, p);
    grid->addWidget(ProfilePAlt, 2, MiddleCheck);
    grid->addWidget(ProfileRLock, 4, MiddleCheck);
    grid->addWidget(ProbeResistance, 0, Right);
    grid->addWidget(ProfilePrehEn, 3, Right);
    grid->addWidget(ProfileInact, 4, Right);
    grid->addWidget(ProfileUseTFR, 5, Right);
}

void TProfilesPage::bindFields() {
    m_binder = new TBinder(this, [this] { return m_shown; });
    m_binder->addFields(kProfileFields);
    m_binder->addFlagChecks(kProfileChecks);
    connect(m_binder, &TBinder::committed, this, [this](QWidget* control) {
        if (control == ProfileUseTFR)
            ProfileUseTFRClick();
    });
    ProfileName->setValidator(new TTypingValidator(ProfileName, kNameLength, NameCharAllowed));
    m_nameWatch = new TFieldWatch(ProfileName, [this] { ProfileNameExit(); });
    m_nameWatch->setAddedCharacters(NameChar); // what is stored is shown as it is
    ProfilePrehValue->setValidator(new TTypingValidator(ProfilePrehValue, kPrehValueLength, {}));
    m_prehWatch = new TFieldWatch(ProfilePrehValue, [this] { ProfilePrehValueExit(); });
}

// Marks beside the binder's rows: the controls with rules of their own.
void TProfilesPage::addMarks() {
    TChangeMarks* marks = m_binder->marks();
    const auto shownProfile = [this](const TSettings& image) -> const TProfile& {
        return image.profile[std::size_t(m_shown)];
    };
    marks->add(ActiveProfile, [this](const TSettings& image) {
        return CodeText(ActiveProfile, image.curProfile);
    });
    marks->add(ProfileName,
               [shownProfile](const TSettings& image) { return shownProfile(image).name; });
    marks->add(ProfileMode, [this, shownProfile](const TSettings& image) {
        return CodeText(ProfileMode, shownProfile(image).mode);
    });
    marks->add(ProfilePrehValue, [shownProfile](const TSettings& image) {
        const TProfile& p = shownProfile(image);
        return PrehText(p.prehValue, p.flags);
    });
    marks->add(ProfilePrehUnit, [this, shownProfile](const TSettings& image) {
        return ProfilePrehUnit->itemText((shownProfile(image).flags & pfPrehPerc) ? 1 : 0);
    });
    marks->add(ProfilePrehEn, [shownProfile](const TSettings& image) {
        const TProfile& p = shownProfile(image);
        return (p.flags & PreheatBit(p.mode)) ? QStringLiteral("checked")
                                              : QStringLiteral("not checked");
    });
    marks->add(
        TFREditor->ChartTFR,
        [shownProfile](const TSettings& image) {
            QStringList values;
            for (qint32 v : shownProfile(image).TFR)
                values << FormatStored(v, 4, 10000);
            return values.join(QStringLiteral(", "));
        },
        {}, TChangeMarks::chartMark(TFREditor->ChartTFR));
}

// A change of the shown profile as one step of the history, named after its control.
void TProfilesPage::store(const QString& caption, const std::function<void(TProfile&)>& edit) {
    const int index = m_shown;
    ImageHistory().change(QStringLiteral("%1 (Profile %2)").arg(caption).arg(index + 1),
                          [&](TSettings& image) { edit(image.profile[std::size_t(index)]); });
}

QString TProfilesPage::PrehText(qint32 value, qint32 flags) {
    const TPrehRow& row = (flags & pfPrehPerc) ? kPrehPercent : kPrehWatts;
    const QString number = FormatStored(value, row.decimals, row.scale);
    return number + ((flags & pfPrehPerc) ? QStringLiteral(" %") : QStringLiteral(" W"));
}

void TProfilesPage::setKeyboardOrder() {
    QWidget* order[] = {
        ActiveProfile,    TabControl,         ProfileName,        ProfileMode,
        ProfilePrehValue, ProfilePrehUnit,    ProfilePrehTime,    ProfilePrehDelay,
        ProfileTCR,       ProfilePowerVW,     ProfilePowerTC,     ProfileTemp,
        ProfilePAlt,      ProfileVoltage,     ProfileLockRes,     ProfileRLock,
        ProfileLockTemp,  ProfilePrehEn,      ProfileInact,       ProfileUseTFR,
        ProbeResistance,  TFREditor->BitBtn4, TFREditor->BitBtn5, TFREditor->BitBtn6,
        CopyProfile,      PasteProfile};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    TFREditor->ChartTFR->setFocusPolicy(Qt::NoFocus); // a mouse tool; the CSV buttons edit too
}

void TProfilesPage::showSettings(bool replaced) {
    Model->setText(ModInfo.name);
    Version->setText(Settings.Version);
    const int active = Settings.curProfile;
    const bool known = active >= 0 && active < ProfileCount;
    CodeToList(known ? active : -1, ActiveProfile);
    if (replaced) {
        if (known) {
            const QSignalBlocker blocker(TabControl);
            TabControl->setCurrentIndex(active);
        }
        // An edit in progress belongs to the old image and is dropped.
        m_shown = TabControl->currentIndex();
    }
    refreshProfile(replaced);
}

void TProfilesPage::ActiveProfileChange(int index) {
    if (index < 0)
        return;
    commitPendingEdits();
    ImageHistory().change(QStringLiteral("Active Profile"),
                          [index](TSettings& image) { image.curProfile = index; });
    {
        const QSignalBlocker blocker(TabControl);
        TabControl->setCurrentIndex(index);
    }
    TabControlChange();
}

// The tab strip takes the focus before a press or a key can change the tab, so that a field
// being left commits into the profile that is still shown.
bool TProfilesPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TabControl) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
            if (!TabControl->hasFocus())
                TabControl->setFocus(Qt::MouseFocusReason);
            break;
        default:
            break;
        }
    }
    return TTunerPage::eventFilter(watched, event);
}

void TProfilesPage::TabControlChange() {
    commitPendingEdits();
    m_shown = qBound(0, TabControl->currentIndex(), ProfileCount - 1);
    m_unitSwitch.reset();
    refreshProfile(true);
    m_binder->marks()->update();
}

// Fields whose text differs from the shown profile's values commit into it.
void TProfilesPage::commitPendingEdits() {
    ProfileNameExit();
    ProfilePrehValueExit();
    m_binder->commitFields();
}

void TProfilesPage::refreshProfile(bool replaced) {
    const TProfile& p = profile();
    if (replaced || !ProfileName->isModified())
        m_nameWatch->show(p.name);
    CodeToList(p.mode, ProfileMode);
    showModeRules();             // enabled states and the preheat box
    m_binder->refresh(replaced); // the value fields and the four other check boxes
    ProfileUseTFRClick();
    FlagToList(pfPrehPerc, true, ProfilePrehUnit, m_shown);
    if (replaced || !ProfilePrehValue->isModified())
        showPrehValue();
    PasteProfile->setEnabled(ProfileClipboardFilled);
    TFREditor->showCurve();
}

void TProfilesPage::showPrehValue() {
    const TProfile& p = profile();
    const TPrehRow& row = (p.flags & pfPrehPerc) ? kPrehPercent : kPrehWatts;
    m_prehWatch->show(FormatStored(p.prehValue, row.decimals, row.scale));
}

// The name as typed or set (its added letters already in upper case), without what the
// link can't carry; a text that shows the stored name stores nothing.
void TProfilesPage::ProfileNameExit() {
    const QString name = LinkSafeName(ProfileName->text());
    if (name != profile().name)
        store(QStringLiteral("Name"), [&](TProfile& p) { p.name = name; });
    m_nameWatch->show(profile().name);
}

void TProfilesPage::ProfilePrehValueExit() {
    const TProfile& p = profile();
    const TPrehRow& row = (p.flags & pfPrehPerc) ? kPrehPercent : kPrehWatts;
    const QString text = ProfilePrehValue->text();
    if (text == FormatStored(p.prehValue, row.decimals, row.scale)) {
        ProfilePrehValue->setModified(false);
        return;
    }
    const TClamped clamped = ClampValue(text, row.decimals, row.min, row.max, row.scale);
    store(QStringLiteral("Preheat Value"), [&](TProfile& q) { q.prehValue = clamped.stored; });
    m_prehWatch->show(clamped.shown);
}

void TProfilesPage::ProfileModeChange() {
    showModeRules();
}

// A mode without an item (from a file or the device) is kept: the list shows no selection,
// every value field stays enabled so that nothing is hidden, and the preheat box, which then
// maps no bit, is unchecked and disabled.
void TProfilesPage::showModeRules() {
    const TProfile& p = profile();
    const int mode = ProfileMode->currentIndex();
    const bool known = mode >= 0;
    const bool vv = !known || mode == pmVV;
    const bool vw = !known || mode == pmVW;
    const bool tc = !known || mode == pmTC;
    ProfileVoltage->setEnabled(vv);
    ProfilePowerVW->setEnabled(vw);
    ProfilePowerTC->setEnabled(tc);
    ProfileTemp->setEnabled(tc);
    ProfilePrehEn->setEnabled(mode == pmVW || mode == pmTC);
    for (QWidget* control :
         {static_cast<QWidget*>(ProfileLockTemp), static_cast<QWidget*>(ProfileUseTFR),
          static_cast<QWidget*>(ProfileTCR), static_cast<QWidget*>(TFREditor->ChartTFR)})
        control->setEnabled(tc);
    // Each mode keeps its own preheat bit; showing it stores nothing.
    {
        const QSignalBlocker blocker(ProfilePrehEn);
        ProfilePrehEn->setChecked((p.flags & PreheatBit(mode)) != 0);
    }
    setPreheatFieldsEnabled(ProfilePrehEn->isChecked());
}

void TProfilesPage::setPreheatFieldsEnabled(bool enabled) {
    for (QWidget* field :
         {static_cast<QWidget*>(ProfilePrehValue), static_cast<QWidget*>(ProfilePrehUnit),
          static_cast<QWidget*>(ProfilePrehTime), static_cast<QWidget*>(ProfilePrehDelay)})
        field->setEnabled(enabled);
}

void TProfilesPage::ProfilePrehEnClick() {
    const qint32 bit = PreheatBit(ProfileMode->currentIndex());
    const bool checked = ProfilePrehEn->isChecked();
    if (bit)
        store(QStringLiteral("Preheat Enabled"),
              [&](TProfile& p) { p.flags = checked ? (p.flags | bit) : (p.flags & ~bit); });
    showModeRules();
}

void TProfilesPage::ProfileUseTFRClick() {
    TFREditor->ChartTFR->setEnabled(ProfileUseTFR->isChecked());
}

// The value is converted into the new unit against the mode's power, clamped to the new
// unit's range, and unit and value are one step. Without a power to convert against (0 or
// less, only from a file or the device) the unit stays as it was. Switching back without an
// edit in between gives the value back exactly; a conversion that rounds says so.
void TProfilesPage::ProfilePrehUnitChange(int index) {
    commitPendingEdits();
    const TProfile& p = profile();
    const qint32 power = ProfileMode->currentIndex() == pmVW ? p.powerVW : p.powerTC;
    if (power <= 0 || index < 0) {
        FlagToList(pfPrehPerc, true, ProfilePrehUnit, m_shown);
        return;
    }
    const bool percent = index == 1;
    if (bool(p.flags & pfPrehPerc) == percent)
        return;
    const qint32 from = p.prehValue;
    const qint32 flags = percent ? (p.flags | pfPrehPerc) : (p.flags & ~pfPrehPerc);
    qint32 value = ConvertPreheat(from, percent, power);
    const bool back = m_unitSwitch && m_unitSwitch->profile == m_shown &&
                      m_unitSwitch->converted == from && m_unitSwitch->percent != percent &&
                      m_unitSwitch->power == power;
    if (back)
        value = m_unitSwitch->original;
    else if (ConvertPreheat(value, !percent, power) != from)
        form()->showNote(QStringLiteral("%1 is %2 (%3)")
                             .arg(PrehText(from, p.flags), PrehText(value, flags),
                                  PrehText(ConvertPreheat(value, !percent, power), p.flags)));
    m_unitSwitch =
        back ? std::nullopt : std::optional<TUnitSwitch>({m_shown, percent, power, from, value});
    store(QStringLiteral("Preheat Unit"), [&](TProfile& q) {
        q.flags = flags;
        q.prehValue = value;
    });
    showPrehValue();
}

// The preheat value in the other unit: percent of the power, or 0.1 W, clamped to the
// unit's range; rounded to the nearest, ties to even.
qint32 TProfilesPage::ConvertPreheat(qint32 value, bool toPercent, qint32 power) {
    const TPrehRow& row = toPercent ? kPrehPercent : kPrehWatts;
    const double converted = toPercent ? double(value) / power * 100 : double(value) * power / 100;
    const double lowest = row.min * row.scale, highest = row.max * row.scale;
    return qint32(RoundHalfEven(qBound(lowest, converted, highest)));
}

// On success the measured coil becomes the shown profile's base; a failed measurement
// leaves the profile as it was.
void TProfilesPage::ProbeResistanceClick() {
    Guarded(this, [this] {
        if (!CheckConnected(this))
            return;
        const int index = m_shown;
        ProbeResistance->setEnabled(false);
        ProbeResistance->repaint();
        const auto enable = qScopeGuard([this] { ProbeResistance->setEnabled(true); });
        const bool ok = MeasureCoil();
        if (ok)
            ImageHistory().change(QStringLiteral("Read Resistance (Profile %1)").arg(index + 1),
                                  [index](TSettings& image) {
                                      TProfile& p = image.profile[std::size_t(index)];
                                      p.lockRes = MonitorData.coldRes;
                                      p.lockTemp = MonitorData.coldTemp;
                                  });
        Dialogs::information(this, ok ? QStringLiteral("Done") : QStringLiteral("Error"));
    });
}

void TProfilesPage::CopyProfileClick() {
    TProfileClipboardNotifier::instance().copy(profile());
}

void TProfilesPage::PasteProfileClick() {
    if (!ProfileClipboardFilled)
        return;
    commitPendingEdits();
    store(QStringLiteral("Paste Profile"), [](TProfile& p) { p = ProfileClipboard; });
}
