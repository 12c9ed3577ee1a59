#pragma once
// Small builders shared by the Tuner's pages: named controls, caption rows on a grid (the
// caption is the field's buddy), the switch lists of the settings' flag table, and a colour
// swatch.

#include <QWidget>

#include <span>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;

// A list holding names in code order.
QComboBox* NewCodeList(const QString& objectName, std::span<const char* const> names,
                       QWidget* parent = nullptr);
QComboBox* NewCodeList(const QString& objectName, const QStringList& names,
                       QWidget* parent = nullptr);
// The two-item list of a Settings.flags bit, named and filled from the flag table by its
// control name ("TempUnit" -> "°C", "°F").
QComboBox* NewFlagList(const char* control, QWidget* parent = nullptr);
// The caption of a Settings.flags list from the flag table ("Temp. Unit:").
QString FlagCaption(const char* control);
QLineEdit* NewField(const QString& objectName, QWidget* parent = nullptr);
QCheckBox* NewCheck(const QString& objectName, const QString& caption, QWidget* parent = nullptr);
// A named push button at least minWidth pixels wide (0: as wide as its caption).
QPushButton* NewButton(const QString& objectName, const QString& caption, int minWidth,
                       QWidget* parent = nullptr);
// A button's caption in red: a command that changes the device's state for good.
void SetRedCaption(QPushButton* button);

// Adds caption | field | unit on row of grid, starting at column; the caption becomes the
// field's buddy. Returns the caption.
QLabel* AddFieldRow(QGridLayout* grid, int row, int column, const QString& caption, QWidget* field,
                    const QString& unit = QString());

// The height of a row holding a text field or a list, so that rows of other controls
// (track bars) line up with them in neighbouring groups.
int FieldRowHeight();

// A page's content in a frameless scroll area filling page, so that the page stays usable
// when the window is small or scaled up. Returns the widget to build into.
QWidget* ScrolledContent(QWidget* page);

// Lists, track bars and number controls below root change their value by the mouse wheel
// only while they have the keyboard focus; otherwise the wheel scrolls the page they are on.
// They no longer take the focus from the wheel either.
void PassWheelUnlessFocused(QWidget* root);

// A group box whose layout is a grid.
QGroupBox* NewGridGroup(const QString& title, QGridLayout** grid, QWidget* parent = nullptr);

// A square of one colour. A pressable swatch takes the focus and reports a left mouse press
// (or Space/Return) through pressed().
class TSwatch : public QWidget {
    Q_OBJECT
public:
    explicit TSwatch(const QString& objectName, bool pressable, QWidget* parent = nullptr);
    QColor colour() const { return m_colour; }
    void setColour(const QColor& colour);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void pressed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QColor m_colour = Qt::black;
};
