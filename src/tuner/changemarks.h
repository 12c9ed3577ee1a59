#pragma once
// Change marks: a control whose value differs from the baseline (the image as downloaded,
// uploaded, loaded, saved or made new) is marked where the user looks. Its caption (the
// label whose buddy it is, otherwise the control itself) turns bold with a coloured bar,
// its tool tip says "Device value: X" (or "File value: X", "Default value: X"), and its
// accessible description starts with "Changed", so assistive technology says it too.

#include "settings/settings.h"

#include <QColor>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class QChartView;
class QLabel;
class QWidget;

// The colour of every change mark.
QColor ChangeMarkColour();
// The small round mark a page or profile tab shows while it holds changes.
QIcon ChangeMarkIcon();

// A control's caption for step names and marks: its buddy label's text without "&" and a
// trailing ":", else its accessible name, else its object name.
QString ControlCaption(QWidget* control);
// The buddy label of control within page, or null.
QLabel* BuddyLabel(QWidget* page, QWidget* control);

class TChangeMarks : public QObject {
    Q_OBJECT
public:
    // The value of a control in an image, as the control shows it ("40.0", "Enabled").
    using TShown = std::function<QString(const TSettings& image)>;
    // Whether the control's stored value differs between two images (by default: whether
    // the shown texts differ).
    using TDiffers = std::function<bool(const TSettings& image, const TSettings& baseline)>;

    // Shows or hides the mark of a control that has no caption to mark (a chart).
    using TShowMark = std::function<void(bool marked)>;

    explicit TChangeMarks(QWidget* page);

    void add(QWidget* control, TShown shown, TDiffers differs = {}, TShowMark showMark = {});
    // Every mark from Settings against the history's baseline.
    void update();
    // The controls marked now.
    QList<QWidget*> marked() const;

    // Marks or unmarks one control: its tool tip and accessible description, and the bar on
    // caption (when given). tip: what the tool tip says while marked.
    static void setMarked(QWidget* control, QWidget* caption, bool marked, const QString& tip);
    // A chart's mark: its frame in the mark's colour.
    static TShowMark chartMark(QChartView* chart);

private:
    struct TEntry {
        QPointer<QWidget> control;
        QPointer<QWidget> caption;
        TShown shown;
        TDiffers differs;
        TShowMark showMark;
    };
    QWidget* m_page;
    QList<TEntry> m_entries;
};

// Paints the bar of a marked caption; installed once on every marked widget.
class TMarkPainter : public QObject {
    Q_OBJECT
public:
    static TMarkPainter& instance();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
