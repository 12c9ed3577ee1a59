#pragma once
// How the editor's controls are bound to the settings image. Every text field, two-item
// switch list, check box and code list of the Tuner is one row of data (control name,
// field, limits); a TBinder commits user changes from those rows into Settings and refreshes
// the controls from Settings. Pages add their rows; handlers with more to do than storing a
// value listen to TBinder::committed.
//
// Commit rules: a text field commits when it is left (or Return is pressed) after the user
// edited it; a list commits on every change of its selection, a check box on every click.
// Refreshing never runs a handler.

#include "settings/numbers.h"
#include "settings/settings.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QValidator>

#include <functional>
#include <span>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QWidget;

// Where a bound integer lives in an image: profile is the shown profile (for per-profile
// rows), index the row's own index (the slot of an array field).
using TFieldRef = qint32& (*)(TSettings& image, int profile, int index);

// A text field: ClampValue's decimals, range and scale; typing limit; digit filter.
struct TFieldBinding {
    const char* control; // objectName of the QLineEdit
    int decimals;
    double min, max;
    int scale;
    TFieldRef field;
    int index = 0;
    int maxLength = 0;       // 0: no limit
    bool digitsOnly = false; // only 0..9 can be typed
};

// A two-item list ("Disabled"/"Enabled" ...) or a check box showing one switch bit: item 1
// (checked) sets the bit, item 0 (unchecked) clears it. perProfile: the flags of the shown
// profile, otherwise Settings.flags.
struct TFlagBinding {
    const char* control;
    qint32 bit;
    bool perProfile;
};

// A list whose item index is the code stored in the field (key actions, indicators, logo
// screens). A code without an item shows no selection and stays stored until the user picks.
struct TCodeBinding {
    const char* control;
    TFieldRef field;
    int index = 0;
};

// What may be typed into a text field: only characters that `allowed` accepts (after
// `convert`, e.g. to upper case), and at most maxLength characters (0: any number). Text set
// from code (a value from a file or the device) is shown whole even when it is longer;
// typing may shorten such a text but not lengthen it.
class TTypingValidator : public QValidator {
public:
    TTypingValidator(QLineEdit* edit, int maxLength, std::function<bool(QChar)> allowed,
                     std::function<QChar(QChar)> convert = {});
    State validate(QString& input, int& pos) const override;

private:
    int m_maxLength;
    std::function<bool(QChar)> m_allowed;
    std::function<QChar(QChar)> m_convert;
    qsizetype m_before = 0; // length of the text before the edit being validated
};

// The flag word a flag row acts on.
qint32& FlagWord(bool perProfile, int shownProfile);

// The binding helpers, one control at a time.
qint32 ClampEdit(QLineEdit* edit, int decimals, double min, double max, int scale);
void FlagToList(qint32 bit, bool perProfile, QComboBox* list, int shownProfile = 0);
void ListToFlag(qint32 bit, bool perProfile, const QComboBox* list, int shownProfile = 0);
void FlagToCheck(qint32 bit, bool perProfile, QCheckBox* box, int shownProfile = 0);
void CheckToFlag(qint32 bit, bool perProfile, const QCheckBox* box, int shownProfile = 0);
// A list's selection for a code: the item, or none when the code has no item.
void CodeToList(qint32 code, QComboBox* list);

// Asks "No compatible USB device is connected" (OK, Cancel) until the port is open; false
// when the user cancels.
bool CheckConnected(QWidget* parent);

class TBinder : public QObject {
    Q_OBJECT
public:
    // page: where the controls are found by objectName; shownProfile: the profile that
    // per-profile rows act on (the profile tabs' index); none for device-wide rows only.
    explicit TBinder(QWidget* page, std::function<int()> shownProfile = {});

    void addFields(std::span<const TFieldBinding> rows);
    void addFlagLists(std::span<const TFlagBinding> rows);
    void addFlagChecks(std::span<const TFlagBinding> rows);
    void addCodeLists(std::span<const TCodeBinding> rows);

    // Every bound control from Settings, without running any handler.
    void refresh();
    // Commits a bound text field now, edited or not (what leaving it does after an edit).
    void commitField(QLineEdit* edit);

signals:
    // A user change was stored into Settings.
    void committed(QWidget* control);

private:
    struct Field {
        QPointer<QLineEdit> edit;
        TFieldBinding row;
    };
    struct Flag {
        QPointer<QWidget> control;
        TFlagBinding row;
    };
    struct Code {
        QPointer<QComboBox> list;
        TCodeBinding row;
    };
    template <class T> T* find(const char* name) const;
    int shown() const { return m_shownProfile ? m_shownProfile() : 0; }
    void showField(const Field& field);

    QWidget* m_page;
    std::function<int()> m_shownProfile;
    QList<Field> m_fields;
    QList<Flag> m_flagLists;
    QList<Flag> m_flagChecks;
    QList<Code> m_codes;
};
