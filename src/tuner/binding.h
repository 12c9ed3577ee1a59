#pragma once
// How the editor's controls are bound to the settings image. Every text field, two-item
// switch list, check box and code list of the Tuner is one row of data (control name,
// field, limits); a TBinder commits user changes from those rows into Settings, as steps of
// the image's history, refreshes the controls from Settings and marks those that differ
// from the baseline. Pages add their rows; handlers with more to do than storing a value
// listen to TBinder::committed.
//
// Commit rules: a text field commits whenever its text, read as typed text, differs from
// what it shows for the stored value: when it is left, when Return is pressed, and at once
// when text is put into it without typing while it has no focus (an assistive tool's "set
// text"). A list commits on every change of its selection, a check box on every click.
// Refreshing never runs a handler and never stores anything.

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
class TChangeMarks;

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

// What may be typed into a text field: only characters that `allowed` accepts, and at most
// maxLength characters (0: any number). The rules apply to what the user adds: text set
// from code (a value from a file or the device, an assistive tool's "set text") is taken
// whole, also when it is longer or holds other characters; typing may shorten such a text
// but not lengthen it or add a refused character.
class TTypingValidator : public QValidator {
public:
    TTypingValidator(QLineEdit* edit, int maxLength, std::function<bool(QChar)> allowed);
    State validate(QString& input, int& pos) const override;

private:
    qsizetype refused(const QString& text) const;

    QLineEdit* m_edit;
    int m_maxLength;
    std::function<bool(QChar)> m_allowed;
    QString m_before; // the text before the edit being validated
};

// Watches a text field for the moments its text must be stored, and calls `commit` then:
// the field is left (but not for its own context menu), Return is pressed, or text was put
// into it without typing while it has no focus. commit compares the text with the stored
// value and stores a difference. show() writes the stored value's text without a commit.
// Undo and redo keys reach the window's history unless the field holds typing of its own.
class TFieldWatch : public QObject {
    Q_OBJECT
public:
    TFieldWatch(QLineEdit* edit, std::function<void()> commit);

    // The field shows text as the stored value's; it is no longer being edited.
    void show(const QString& text);
    // Characters the user adds (typed, pasted or set) go through convert (upper case).
    void setAddedCharacters(std::function<QChar(QChar)> convert);
    QLineEdit* edit() const { return m_edit; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void textChanged();
    void convertAdded();

    QLineEdit* m_edit;
    std::function<void()> m_commit;
    std::function<QChar(QChar)> m_convert;
    QString m_previous;
    bool m_showing = false;
};

// The flag word a flag row acts on in image.
qint32& FlagWord(TSettings& image, bool perProfile, int shownProfile);

// The binding helpers, one control at a time.
qint32 ClampEdit(QLineEdit* edit, int decimals, double min, double max, int scale);
void FlagToList(qint32 bit, bool perProfile, QComboBox* list, int shownProfile = 0);
void ListToFlag(TSettings& image, qint32 bit, bool perProfile, const QComboBox* list,
                int shownProfile = 0);
void FlagToCheck(qint32 bit, bool perProfile, QCheckBox* box, int shownProfile = 0);
void CheckToFlag(TSettings& image, qint32 bit, bool perProfile, const QCheckBox* box,
                 int shownProfile = 0);
// A list's selection for a code: the item, or none when the code has no item.
void CodeToList(qint32 code, QComboBox* list);
// A list's text for a code in a mark's tool tip: the item, or "(code N)".
QString CodeText(const QComboBox* list, qint32 code);

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

    // Every bound control from Settings, without running any handler. A field being typed
    // in keeps its text unless `replaced` (a whole new image: the typing belonged to the
    // old one).
    void refresh(bool replaced = false);
    // A bound field shows text that is not the stored value's (a preset's energy) without
    // storing it.
    void showText(QLineEdit* edit, const QString& text);
    // Commits a bound text field now, when its text differs from the stored value's.
    void commitField(QLineEdit* edit);
    // Every bound field whose text differs from the stored value's commits.
    void commitFields();

    // The marks of the page's controls; the bound rows are in it, pages add their others.
    TChangeMarks* marks() const { return m_marks; }
    // The name of a change of control in the history: its caption, and the profile for a
    // per-profile control ("VW Power (Profile 1)").
    QString stepName(QWidget* control, bool perProfile) const;
    int shown() const { return m_shownProfile ? m_shownProfile() : 0; }

signals:
    // A user change was stored into Settings.
    void committed(QWidget* control);

private:
    struct Field {
        QPointer<QLineEdit> edit;
        TFieldBinding row;
        TFieldWatch* watch;
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
    void showField(const Field& field, bool replaced);
    void commit(const Field& field);
    bool perProfileField(const TFieldBinding& row) const;

    QWidget* m_page;
    std::function<int()> m_shownProfile;
    QList<Field> m_fields;
    QList<Flag> m_flagLists;
    QList<Flag> m_flagChecks;
    QList<Code> m_codes;
    TChangeMarks* m_marks;
};
