#include "tuner/binding.h"

#include "link/ComPort.h"
#include "link/transport.h"
#include "settings/history.h"
#include "shell/dialogs.h"
#include "shell/mother.h"
#include "tuner/changemarks.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>

namespace {
// A bound integer of an image that is only read (the accessor merely points into it).
qint32 ReadField(TFieldRef field, const TSettings& image, int profile, int index) {
    return field(const_cast<TSettings&>(image), profile, index);
}
qint32 ReadFlags(const TSettings& image, bool perProfile, int profile) {
    return FlagWord(const_cast<TSettings&>(image), perProfile, profile);
}
} // namespace

TTypingValidator::TTypingValidator(QLineEdit* edit, int maxLength,
                                   std::function<bool(QChar)> allowed)
    : QValidator(edit), m_edit(edit), m_maxLength(maxLength), m_allowed(std::move(allowed)),
      m_before(edit->text()) {
    connect(edit, &QLineEdit::textChanged, this, [this] { m_before = m_edit->text(); });
}

qsizetype TTypingValidator::refused(const QString& text) const {
    if (!m_allowed)
        return 0;
    return std::count_if(text.begin(), text.end(), [this](QChar c) { return !m_allowed(c); });
}

// A field that is not modified holds what the program put there (or what the user undid
// back to): that is taken whole. Qt would otherwise stop checking keystrokes after a
// refused program text, and a refused text never ends its edit.
QValidator::State TTypingValidator::validate(QString& input, int& pos) const {
    Q_UNUSED(pos);
    if (!m_edit->isModified())
        return Acceptable;
    if (m_maxLength > 0 && input.size() > m_maxLength && input.size() > m_before.size())
        return Invalid;
    if (refused(input) > refused(m_before))
        return Invalid;
    return Acceptable;
}

TFieldWatch::TFieldWatch(QLineEdit* edit, std::function<void()> commit)
    : QObject(edit), m_edit(edit), m_commit(std::move(commit)), m_previous(edit->text()) {
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::editingFinished, this, [this] { m_commit(); });
    connect(edit, &QLineEdit::textChanged, this, &TFieldWatch::textChanged);
}

void TFieldWatch::show(const QString& text) {
    m_showing = true;
    if (m_edit->text() != text)
        m_edit->setText(text);
    m_edit->setModified(false);
    m_previous = m_edit->text();
    m_showing = false;
}

void TFieldWatch::setAddedCharacters(std::function<QChar(QChar)> convert) {
    m_convert = std::move(convert);
}

void TFieldWatch::textChanged() {
    if (m_showing)
        return;
    convertAdded();
    m_previous = m_edit->text();
    // Typing marks the field modified; text set from elsewhere does not, and waits for the
    // end of the edit only while the field has the focus.
    if (!m_edit->isModified() && !m_edit->hasFocus())
        m_commit();
}

// The characters between what the text kept at its start and at its end are the added ones.
void TFieldWatch::convertAdded() {
    if (!m_convert)
        return;
    const QString now = m_edit->text();
    qsizetype head = 0;
    while (head < now.size() && head < m_previous.size() && now[head] == m_previous[head])
        ++head;
    qsizetype tail = 0;
    while (tail < now.size() - head && tail < m_previous.size() - head &&
           now[now.size() - 1 - tail] == m_previous[m_previous.size() - 1 - tail])
        ++tail;
    QString converted = now;
    for (qsizetype i = head; i < now.size() - tail; ++i)
        converted[i] = m_convert(now[i]);
    if (converted == now)
        return;
    const bool typed = m_edit->isModified();
    const int cursor = m_edit->cursorPosition();
    m_showing = true;
    m_edit->setText(converted);
    m_edit->setCursorPosition(cursor);
    m_edit->setModified(typed);
    m_showing = false;
}

bool TFieldWatch::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_edit)
        return false;
    switch (event->type()) {
    case QEvent::FocusOut:
        if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            m_commit();
        break;
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            m_commit();
        break;
    }
    case QEvent::ShortcutOverride: {
        // The field's own undo holds only the typing since the last commit; without it the
        // keys undo and redo the window's steps.
        auto* key = static_cast<QKeyEvent*>(event);
        const bool history = key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
                             (key->key() == Qt::Key_Y && key->modifiers() == Qt::ControlModifier);
        if (history && !m_edit->isModified()) {
            event->ignore();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return false;
}

qint32& FlagWord(TSettings& image, bool perProfile, int shownProfile) {
    if (!perProfile)
        return image.flags;
    return image.profile[std::size_t(qBound(0, shownProfile, ProfileCount - 1))].flags;
}

qint32 ClampEdit(QLineEdit* edit, int decimals, double min, double max, int scale) {
    const TClamped clamped = ClampValue(edit->text(), decimals, min, max, scale);
    edit->setText(clamped.shown);
    return clamped.stored;
}

void FlagToList(qint32 bit, bool perProfile, QComboBox* list, int shownProfile) {
    const QSignalBlocker blocker(list);
    list->setCurrentIndex((FlagWord(Settings, perProfile, shownProfile) & bit) ? 1 : 0);
}

void ListToFlag(TSettings& image, qint32 bit, bool perProfile, const QComboBox* list,
                int shownProfile) {
    qint32& word = FlagWord(image, perProfile, shownProfile);
    word = list->currentIndex() == 1 ? (word | bit) : (word & ~bit);
}

// A check box set from code behaves like a click when its state changes: handlers listen to
// toggled(), which setChecked() emits.
void FlagToCheck(qint32 bit, bool perProfile, QCheckBox* box, int shownProfile) {
    box->setChecked((FlagWord(Settings, perProfile, shownProfile) & bit) != 0);
}

void CheckToFlag(TSettings& image, qint32 bit, bool perProfile, const QCheckBox* box,
                 int shownProfile) {
    qint32& word = FlagWord(image, perProfile, shownProfile);
    word = box->isChecked() ? (word | bit) : (word & ~bit);
}

void CodeToList(qint32 code, QComboBox* list) {
    const QSignalBlocker blocker(list);
    const int index = code >= 0 && code < list->count() ? code : -1;
    if (list->currentIndex() != index)
        list->setCurrentIndex(index);
}

QString CodeText(const QComboBox* list, qint32 code) {
    return code >= 0 && code < list->count() ? list->itemText(code)
                                             : QStringLiteral("(code %1)").arg(code);
}

bool CheckConnected(QWidget* parent) {
    ReconnectForCommand(); // a device lost to a port error may be back behind the same path
    while (!(ComPort && ComPort->Active())) {
        QString text = QStringLiteral("No compatible USB device is connected");
        if (const QString lost = LostDeviceText(); !lost.isEmpty())
            text += QStringLiteral("\n\n") + lost;
        const auto answer = Dialogs::message(parent, QMessageBox::Critical, QStringLiteral("Error"),
                                             text, QMessageBox::Ok | QMessageBox::Cancel);
        if (answer != QMessageBox::Ok)
            return false;
        QCoreApplication::processEvents(); // a device that arrived meanwhile opens the port
        ReconnectForCommand();
    }
    return true;
}

TBinder::TBinder(QWidget* page, std::function<int()> shownProfile)
    : QObject(page), m_page(page), m_shownProfile(std::move(shownProfile)),
      m_marks(new TChangeMarks(page)) {}

template <class T> T* TBinder::find(const char* name) const {
    T* widget = m_page->findChild<T*>(QLatin1String(name));
    Q_ASSERT_X(widget, "TBinder", name);
    return widget;
}

// A row is per profile when it finds its integer in another place for another profile.
bool TBinder::perProfileField(const TFieldBinding& row) const {
    TSettings& image = Settings;
    return &row.field(image, 0, row.index) != &row.field(image, 1, row.index);
}

QString TBinder::stepName(QWidget* control, bool perProfile) const {
    const QString caption = ControlCaption(control);
    return perProfile ? QStringLiteral("%1 (Profile %2)").arg(caption).arg(shown() + 1) : caption;
}

void TBinder::addFields(std::span<const TFieldBinding> rows) {
    for (const TFieldBinding& row : rows) {
        auto* edit = find<QLineEdit>(row.control);
        if (!edit)
            continue;
        // A typing limit, not setMaxLength: that would cut a longer stored value short.
        if (row.maxLength > 0 || row.digitsOnly) {
            std::function<bool(QChar)> digits;
            if (row.digitsOnly)
                digits = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
            edit->setValidator(new TTypingValidator(edit, row.maxLength, digits));
        }
        auto* watch = new TFieldWatch(edit, [this, edit] { commitField(edit); });
        m_fields.append({edit, row, watch});
        m_marks->add(
            edit,
            [this, row](const TSettings& image) {
                return FormatStored(ReadField(row.field, image, shown(), row.index), row.decimals,
                                    row.scale);
            },
            [this, row](const TSettings& image, const TSettings& baseline) {
                return ReadField(row.field, image, shown(), row.index) !=
                       ReadField(row.field, baseline, shown(), row.index);
            });
    }
}

void TBinder::addFlagLists(std::span<const TFlagBinding> rows) {
    for (const TFlagBinding& row : rows) {
        auto* list = find<QComboBox>(row.control);
        if (!list)
            continue;
        m_flagLists.append({list, row});
        connect(list, &QComboBox::currentIndexChanged, this, [this, list, row] {
            const int profile = shown();
            ImageHistory().change(stepName(list, row.perProfile), [&](TSettings& image) {
                ListToFlag(image, row.bit, row.perProfile, list, profile);
            });
            emit committed(list);
        });
        m_marks->add(list, [this, list, row](const TSettings& image) {
            const qint32 word = ReadFlags(image, row.perProfile, shown());
            return list->itemText((word & row.bit) ? 1 : 0);
        });
    }
}

void TBinder::addFlagChecks(std::span<const TFlagBinding> rows) {
    for (const TFlagBinding& row : rows) {
        auto* box = find<QCheckBox>(row.control);
        if (!box)
            continue;
        m_flagChecks.append({box, row});
        connect(box, &QCheckBox::toggled, this, [this, box, row] {
            const int profile = shown();
            ImageHistory().change(stepName(box, row.perProfile), [&](TSettings& image) {
                CheckToFlag(image, row.bit, row.perProfile, box, profile);
            });
            emit committed(box);
        });
        m_marks->add(box, [this, row](const TSettings& image) {
            const qint32 word = ReadFlags(image, row.perProfile, shown());
            return (word & row.bit) ? QStringLiteral("checked") : QStringLiteral("not checked");
        });
    }
}

void TBinder::addCodeLists(std::span<const TCodeBinding> rows) {
    for (const TCodeBinding& row : rows) {
        auto* list = find<QComboBox>(row.control);
        if (!list)
            continue;
        m_codes.append({list, row});
        const bool perProfile =
            &row.field(Settings, 0, row.index) != &row.field(Settings, 1, row.index);
        connect(list, &QComboBox::currentIndexChanged, this,
                [this, list, row, perProfile](int index) {
                    if (index < 0)
                        return; // no selection: the stored code stays
                    const int profile = shown();
                    ImageHistory().change(stepName(list, perProfile), [&](TSettings& image) {
                        row.field(image, profile, row.index) = index;
                    });
                    emit committed(list);
                });
        m_marks->add(list, [this, list, row](const TSettings& image) {
            return CodeText(list, ReadField(row.field, image, shown(), row.index));
        });
    }
}

void TBinder::showField(const Field& field, bool replaced) {
    if (!replaced && field.edit->isModified())
        return; // being typed in: the typing is committed when the field is left
    const TFieldBinding& row = field.row;
    field.watch->show(
        FormatStored(row.field(Settings, shown(), row.index), row.decimals, row.scale));
}

void TBinder::refresh(bool replaced) {
    for (const Field& field : std::as_const(m_fields))
        if (field.edit)
            showField(field, replaced);
    for (const Flag& flag : std::as_const(m_flagLists))
        if (auto* list = qobject_cast<QComboBox*>(flag.control.data()))
            FlagToList(flag.row.bit, flag.row.perProfile, list, shown());
    for (const Flag& flag : std::as_const(m_flagChecks))
        if (auto* box = qobject_cast<QCheckBox*>(flag.control.data())) {
            const QSignalBlocker blocker(box);
            FlagToCheck(flag.row.bit, flag.row.perProfile, box, shown());
        }
    for (const Code& code : std::as_const(m_codes))
        if (code.list)
            CodeToList(code.row.field(Settings, shown(), code.row.index), code.list);
}

void TBinder::showText(QLineEdit* edit, const QString& text) {
    for (const Field& field : std::as_const(m_fields))
        if (field.edit == edit) {
            field.watch->show(text);
            return;
        }
}

void TBinder::commitField(QLineEdit* edit) {
    for (const Field& field : std::as_const(m_fields))
        if (field.edit == edit) {
            commit(field);
            return;
        }
}

void TBinder::commitFields() {
    for (const Field& field : std::as_const(m_fields))
        if (field.edit)
            commit(field);
}

// The text is read as typed text (parsed, clamped, rounded to what the field shows); a
// text that already shows the stored value stores nothing, so a stored value outside the
// field's range stays until the user types another.
void TBinder::commit(const Field& field) {
    const TFieldBinding& row = field.row;
    QLineEdit* edit = field.edit;
    if (edit->text() ==
        FormatStored(row.field(Settings, shown(), row.index), row.decimals, row.scale)) {
        edit->setModified(false);
        return;
    }
    const TClamped clamped = ClampValue(edit->text(), row.decimals, row.min, row.max, row.scale);
    const int profile = shown();
    ImageHistory().change(stepName(edit, perProfileField(row)), [&](TSettings& image) {
        row.field(image, profile, row.index) = clamped.stored;
    });
    field.watch->show(clamped.shown);
    emit committed(edit);
}
