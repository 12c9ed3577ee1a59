#include "tuner/binding.h"

#include "link/ComPort.h"
#include "link/transport.h"
#include "shell/dialogs.h"
#include "shell/mother.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QSignalBlocker>

TTypingValidator::TTypingValidator(QLineEdit* edit, int maxLength,
                                   std::function<bool(QChar)> allowed,
                                   std::function<QChar(QChar)> convert)
    : QValidator(edit), m_maxLength(maxLength), m_allowed(std::move(allowed)),
      m_convert(std::move(convert)), m_before(edit->text().size()) {
    connect(edit, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_before = text.size(); });
}

QValidator::State TTypingValidator::validate(QString& input, int& pos) const {
    Q_UNUSED(pos);
    if (m_maxLength > 0 && input.size() > m_maxLength && input.size() > m_before)
        return Invalid;
    for (QChar& c : input) {
        if (m_convert)
            c = m_convert(c);
        if (m_allowed && !m_allowed(c))
            return Invalid;
    }
    return Acceptable;
}

qint32& FlagWord(bool perProfile, int shownProfile) {
    if (!perProfile)
        return Settings.flags;
    return Settings.profile[std::size_t(qBound(0, shownProfile, ProfileCount - 1))].flags;
}

qint32 ClampEdit(QLineEdit* edit, int decimals, double min, double max, int scale) {
    const TClamped clamped = ClampValue(edit->text(), decimals, min, max, scale);
    edit->setText(clamped.shown);
    return clamped.stored;
}

void FlagToList(qint32 bit, bool perProfile, QComboBox* list, int shownProfile) {
    const QSignalBlocker blocker(list);
    list->setCurrentIndex((FlagWord(perProfile, shownProfile) & bit) ? 1 : 0);
}

void ListToFlag(qint32 bit, bool perProfile, const QComboBox* list, int shownProfile) {
    qint32& word = FlagWord(perProfile, shownProfile);
    word = list->currentIndex() == 1 ? (word | bit) : (word & ~bit);
}

// A check box set from code behaves like a click when its state changes: handlers listen to
// toggled(), which setChecked() emits.
void FlagToCheck(qint32 bit, bool perProfile, QCheckBox* box, int shownProfile) {
    box->setChecked((FlagWord(perProfile, shownProfile) & bit) != 0);
}

void CheckToFlag(qint32 bit, bool perProfile, const QCheckBox* box, int shownProfile) {
    qint32& word = FlagWord(perProfile, shownProfile);
    word = box->isChecked() ? (word | bit) : (word & ~bit);
}

void CodeToList(qint32 code, QComboBox* list) {
    const QSignalBlocker blocker(list);
    list->setCurrentIndex(code >= 0 && code < list->count() ? code : -1);
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
    : QObject(page), m_page(page), m_shownProfile(std::move(shownProfile)) {}

template <class T> T* TBinder::find(const char* name) const {
    T* widget = m_page->findChild<T*>(QLatin1String(name));
    Q_ASSERT_X(widget, "TBinder", name);
    return widget;
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
        m_fields.append({edit, row});
        connect(edit, &QLineEdit::editingFinished, this, [this, edit] {
            if (edit->isModified())
                commitField(edit);
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
            ListToFlag(row.bit, row.perProfile, list, shown());
            emit committed(list);
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
            CheckToFlag(row.bit, row.perProfile, box, shown());
            emit committed(box);
        });
    }
}

void TBinder::addCodeLists(std::span<const TCodeBinding> rows) {
    for (const TCodeBinding& row : rows) {
        auto* list = find<QComboBox>(row.control);
        if (!list)
            continue;
        m_codes.append({list, row});
        connect(list, &QComboBox::currentIndexChanged, this, [this, list, row](int index) {
            if (index < 0)
                return; // no selection: the stored code stays
            row.field(Settings, shown(), row.index) = index;
            emit committed(list);
        });
    }
}

void TBinder::showField(const Field& field) {
    const TFieldBinding& row = field.row;
    field.edit->setText(
        FormatStored(row.field(Settings, shown(), row.index), row.decimals, row.scale));
    field.edit->setModified(false);
}

void TBinder::refresh() {
    for (const Field& field : std::as_const(m_fields))
        if (field.edit)
            showField(field);
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

void TBinder::commitField(QLineEdit* edit) {
    for (const Field& field : std::as_const(m_fields)) {
        if (field.edit != edit)
            continue;
        const TFieldBinding& row = field.row;
        row.field(Settings, shown(), row.index) =
            ClampEdit(edit, row.decimals, row.min, row.max, row.scale);
        edit->setModified(false);
        emit committed(edit);
        return;
    }
}
