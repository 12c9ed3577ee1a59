#include "tuner/pagekit.h"

#include "settings/codetables.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

namespace {
const TFlagBit* FlagBitOf(const char* control) {
    const auto* bit = std::find_if(
        SettingsFlagBits.begin(), SettingsFlagBits.end(),
        [control](const TFlagBit& flag) { return std::strcmp(flag.control, control) == 0; });
    Q_ASSERT_X(bit != SettingsFlagBits.end(), "NewFlagList", control);
    return bit != SettingsFlagBits.end() ? bit : nullptr;
}
// Hands a wheel turn over an unfocused control on to its parents (Qt passes an ignored
// wheel event up to the scroll area), so scrolling a page never changes a value by itself.
class TWheelGuard : public QObject {
public:
    static TWheelGuard& instance() {
        static TWheelGuard guard;
        return guard;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Wheel || static_cast<QWidget*>(watched)->hasFocus())
            return false;
        event->ignore();
        return true;
    }
};
} // namespace

void PassWheelUnlessFocused(QWidget* root) {
    const auto widgets = root->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        if (!qobject_cast<QComboBox*>(widget) && !qobject_cast<QAbstractSlider*>(widget) &&
            !qobject_cast<QAbstractSpinBox*>(widget))
            continue;
        if (widget->focusPolicy() & Qt::WheelFocus & ~Qt::StrongFocus)
            widget->setFocusPolicy(Qt::StrongFocus);
        widget->installEventFilter(&TWheelGuard::instance());
    }
}

QComboBox* NewCodeList(const QString& objectName, std::span<const char* const> names,
                       QWidget* parent) {
    return NewCodeList(objectName, CodeList(names), parent);
}

QComboBox* NewCodeList(const QString& objectName, const QStringList& names, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->setObjectName(objectName);
    list->addItems(names);
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return list;
}

QComboBox* NewFlagList(const char* control, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QLatin1String(control));
    if (const TFlagBit* bit = FlagBitOf(control))
        list->addItems({QString::fromUtf8(bit->clear), QString::fromUtf8(bit->set)});
    return list;
}

QString FlagCaption(const char* control) {
    const TFlagBit* bit = FlagBitOf(control);
    return bit ? QString::fromUtf8(bit->caption) : QString();
}

QLineEdit* NewField(const QString& objectName, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00000000000")));
    return edit;
}

QCheckBox* NewCheck(const QString& objectName, const QString& caption, QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(objectName);
    return box;
}

QPushButton* NewButton(const QString& objectName, const QString& caption, int minWidth,
                       QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(objectName);
    if (minWidth > 0)
        button->setMinimumWidth(minWidth);
    return button;
}

void SetRedCaption(QPushButton* button) {
    QPalette red = button->palette();
    red.setColor(QPalette::ButtonText, Qt::red);
    button->setPalette(red);
}

QLabel* AddFieldRow(QGridLayout* grid, int row, int column, const QString& caption, QWidget* field,
                    const QString& unit) {
    auto* label = new QLabel(caption);
    label->setBuddy(field);
    grid->addWidget(label, row, column);
    grid->addWidget(field, row, column + 1);
    if (!unit.isEmpty())
        grid->addWidget(new QLabel(unit), row, column + 2);
    return label;
}

int FieldRowHeight() {
    const QLineEdit edit;
    const QComboBox list;
    return qMax(edit.sizeHint().height(), list.sizeHint().height());
}

QWidget* ScrolledContent(QWidget* page) {
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(page);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    auto* content = new QWidget(scroll);
    scroll->setWidget(content);
    outer->addWidget(scroll);
    return content;
}

QGroupBox* NewGridGroup(const QString& title, QGridLayout** grid, QWidget* parent) {
    auto* group = new QGroupBox(title, parent);
    *grid = new QGridLayout(group);
    return group;
}

TSwatch::TSwatch(const QString& objectName, bool pressable, QWidget* parent) : QWidget(parent) {
    setObjectName(objectName);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    QSizePolicy policy = sizePolicy();
    policy.setRetainSizeWhenHidden(true); // hiding a swatch must not move its row
    setSizePolicy(policy);
    if (pressable) {
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::PointingHandCursor);
    }
}

void TSwatch::setColour(const QColor& colour) {
    if (m_colour == colour)
        return;
    m_colour = colour;
    update();
}

QSize TSwatch::sizeHint() const {
    const int side = qMax(21, fontMetrics().height() + 6);
    return {side, side};
}

void TSwatch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), m_colour);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

void TSwatch::mousePressEvent(QMouseEvent* event) {
    if (focusPolicy() != Qt::NoFocus && event->button() == Qt::LeftButton) {
        emit pressed();
        return;
    }
    QWidget::mousePressEvent(event);
}

void TSwatch::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (focusPolicy() != Qt::NoFocus &&
        (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        emit pressed();
        return;
    }
    QWidget::keyPressEvent(event);
}
