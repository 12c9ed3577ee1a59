#pragma once
// The "Profiles" page: the header (active profile, model, firmware), the eight profile tabs
// with every profile field, the TFR chart, copy and paste.
//
// The tab that is selected is the profile being edited (the shown profile); the device's
// active profile is chosen with "Active Profile:". Choosing an active profile also selects
// its tab; choosing a tab does not change the active profile.

#include "settings/settings.h"
#include "tuner/page.h"

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;
class TBinder;
class TFieldWatch;
class TTfrEditor;

// A profile name as the link carries it: characters of the device's text encoding (Latin-1
// or Windows-1251, link/devicetext.h) without control characters, no blanks at either end
// (the device's answer loses them, and every later upload would rewrite the name). What the
// user adds is upper case where the encoding has the upper-case letter too (NameChar); a
// stored name is shown and kept as it is.
bool NameCharAllowed(QChar c);
QChar NameChar(QChar c);
QString LinkSafeName(const QString& text);

class TProfilesPage : public TTunerPage {
    Q_OBJECT
public:
    explicit TProfilesPage(TTunerForm* form);
    void showSettings(bool replaced = true) override;

    int shownProfile() const { return m_shown; } // the profile the fields belong to

    // Header.
    QComboBox* ActiveProfile = nullptr;
    QLabel* Model = nullptr;
    QLabel* Version = nullptr;
    // The profile tabs and the profile's controls.
    QTabBar* TabControl = nullptr;
    QLineEdit* ProfileName = nullptr;
    QComboBox* ProfileMode = nullptr;
    QLineEdit* ProfilePrehValue = nullptr;
    QComboBox* ProfilePrehUnit = nullptr;
    QLineEdit* ProfilePrehTime = nullptr;
    QLineEdit* ProfilePrehDelay = nullptr;
    QLineEdit* ProfileTCR = nullptr;
    QLineEdit* ProfilePowerVW = nullptr;
    QLineEdit* ProfilePowerTC = nullptr;
    QLineEdit* ProfileTemp = nullptr;
    QLineEdit* ProfileVoltage = nullptr;
    QLineEdit* ProfileLockRes = nullptr;
    QLineEdit* ProfileLockTemp = nullptr;
    QCheckBox* ProfilePAlt = nullptr;
    QCheckBox* ProfileRLock = nullptr;
    QCheckBox* ProfilePrehEn = nullptr;
    QCheckBox* ProfileInact = nullptr;
    QCheckBox* ProfileUseTFR = nullptr;
    QPushButton* ProbeResistance = nullptr;
    QPushButton* CopyProfile = nullptr;
    QPushButton* PasteProfile = nullptr;
    TTfrEditor* TFREditor = nullptr;

public slots:
    void ActiveProfileChange(int index);
    void TabControlChange();
    void ProfileNameExit();
    void ProfileModeChange(); // the enabled states and the preheat box for the mode
    void ProfilePrehValueExit();
    void ProfilePrehUnitChange(int index);
    void ProfilePrehEnClick();
    void ProfileUseTFRClick();
    void ProbeResistanceClick();
    void CopyProfileClick();
    void PasteProfileClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The last unit switch of the preheat value, so that switching back without an edit
    // in between gives the value back exactly.
    struct TUnitSwitch {
        int profile;
        bool percent; // switched to percent
        qint32 power;
        qint32 original, converted;
    };

    const TProfile& profile() const { return Settings.profile[std::size_t(m_shown)]; }
    void store(const QString& caption, const std::function<void(TProfile&)>& edit);
    void addMarks();
    void showModeRules();
    static QString PrehText(qint32 value, qint32 flags); // "40.0 W", "51 %"
    static qint32 ConvertPreheat(qint32 value, bool toPercent, qint32 power);
    QWidget* createHeader();
    QWidget* createPanel();
    void createFields(QWidget* panel, QGridLayout* grid);
    void createChecks(QWidget* panel, QGridLayout* grid);
    void bindFields();
    void setKeyboardOrder();
    // Every control of the profile panel from the shown profile; replaced: also a field
    // being typed in.
    void refreshProfile(bool replaced);
    void showPrehValue();
    void commitPendingEdits(); // a field still being edited commits into the shown profile
    void setPreheatFieldsEnabled(bool enabled);

    TBinder* m_binder = nullptr;
    TFieldWatch* m_nameWatch = nullptr;
    TFieldWatch* m_prehWatch = nullptr;
    int m_shown = 0;
    std::optional<TUnitSwitch> m_unitSwitch;
};
