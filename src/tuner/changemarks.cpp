#include "tuner/changemarks.h"

#include "settings/history.h"

#include <QAbstractButton>
#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

namespace {
constexpr int kBarWidth = 3;
constexpr int kBarGap = 3;
const char* const kMarked = "changeMarked";      // on the control: its value differs
const char* const kBarShown = "changeMarkShown"; // on the caption: bold, with the bar
const char* const kPlainTip = "plainToolTip";
const char* const kPlainDescription = "plainDescription";
const char* const kOwnFont = "markOwnFont";
const char* const kShownMark = "changeMarkDrawn"; // on a control that draws its own mark

// A caption's look while marked: bold (its own font kept apart, so unmarking restores it).
// Only a label or a button's text turns bold; a container would pass it on to its children.
void SetBold(QWidget* caption, bool bold) {
    if (!qobject_cast<QLabel*>(caption) && !qobject_cast<QAbstractButton*>(caption))
        return;
    if (!caption->property(kOwnFont).isValid())
        caption->setProperty(kOwnFont, caption->testAttribute(Qt::WA_SetFont)
                                           ? QVariant(caption->font())
                                           : QVariant(false));
    if (bold) {
        QFont font = caption->font();
        font.setBold(true);
        caption->setFont(font);
        return;
    }
    const QVariant own = caption->property(kOwnFont);
    caption->setFont(own.typeId() == QMetaType::QFont ? own.value<QFont>() : QFont());
}

// Remembers what a property held before the first mark.
QString Plain(QWidget* control, const char* name, const QString& now) {
    if (!control->property(name).isValid())
        control->setProperty(name, now);
    return control->property(name).toString();
}
} // namespace

QColor ChangeMarkColour() {
    return QColor(0xE0, 0x7B, 0x00); // amber: seen on light and dark backgrounds alike
}

QIcon ChangeMarkIcon() {
    QIcon icon;
    for (int side : {8, 16, 32}) {
        QPixmap dot(side, side);
        dot.fill(Qt::transparent);
        QPainter painter(&dot);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(ChangeMarkColour());
        painter.drawEllipse(QRectF(side * 0.2, side * 0.2, side * 0.6, side * 0.6));
        icon.addPixmap(dot);
    }
    return icon;
}

QLabel* BuddyLabel(QWidget* page, QWidget* control) {
    const auto labels = page->findChildren<QLabel*>();
    for (QLabel* label : labels)
        if (label->buddy() == control)
            return label;
    return nullptr;
}

QString ControlCaption(QWidget* control) {
    QWidget* page = control->window();
    if (QLabel* label = page ? BuddyLabel(page, control) : nullptr) {
        QString text = label->text().remove(QLatin1Char('&')).trimmed();
        if (text.endsWith(QLatin1Char(':')))
            text.chop(1);
        if (!text.isEmpty())
            return text;
    }
    if (!control->accessibleName().isEmpty())
        return control->accessibleName();
    if (const auto* button = qobject_cast<QAbstractButton*>(control)) {
        const QString text = button->text().remove(QLatin1Char('&')).trimmed();
        if (!text.isEmpty())
            return text;
    }
    return control->objectName();
}

TChangeMarks::TChangeMarks(QWidget* page) : QObject(page), m_page(page) {}

void TChangeMarks::add(QWidget* control, TShown shown, TDiffers differs, TShowMark showMark) {
    QWidget* caption = showMark ? nullptr : BuddyLabel(m_page, control);
    if (caption && caption->isHidden())
        caption = nullptr; // a caption that is never shown: the control carries the mark
    if (!differs)
        differs = [shown](const TSettings& image, const TSettings& baseline) {
            return shown(image) != shown(baseline);
        };
    if (auto* label = qobject_cast<QLabel*>(caption)) {
        QMargins margins = label->contentsMargins();
        margins.setLeft(margins.left() + kBarWidth + kBarGap); // room for the bar, always
        label->setContentsMargins(margins);
    }
    if (!caption && !showMark)
        caption = control;
    m_entries.append({control, caption, std::move(shown), std::move(differs), std::move(showMark)});
}

void TChangeMarks::update() {
    const TImageHistory& history = ImageHistory();
    const QString caption = history.origin().valueCaption();
    for (const TEntry& entry : std::as_const(m_entries)) {
        if (!entry.control)
            continue;
        const bool marked = entry.differs(Settings, history.baseline());
        const QString tip =
            marked ? QStringLiteral("%1: %2").arg(caption, entry.shown(history.baseline()))
                   : QString();
        setMarked(entry.control, entry.caption, marked, tip);
        if (entry.showMark && entry.control->property(kShownMark).toBool() != marked) {
            entry.control->setProperty(kShownMark, marked);
            entry.showMark(marked);
        }
    }
}

QList<QWidget*> TChangeMarks::marked() const {
    QList<QWidget*> controls;
    for (const TEntry& entry : m_entries)
        if (entry.control && entry.control->property(kMarked).toBool())
            controls.append(entry.control);
    return controls;
}

void TChangeMarks::setMarked(QWidget* control, QWidget* caption, bool marked, const QString& tip) {
    const QString plainTip = Plain(control, kPlainTip, control->toolTip());
    const QString plainDescription =
        Plain(control, kPlainDescription, control->accessibleDescription());
    const QString wantedTip =
        marked ? (plainTip.isEmpty() ? tip : tip + QLatin1Char('\n') + plainTip) : plainTip;
    if (control->toolTip() != wantedTip)
        control->setToolTip(wantedTip);
    const QString description =
        marked ? QStringLiteral("Changed. %1.%2")
                     .arg(tip, plainDescription.isEmpty() ? QString()
                                                          : QLatin1Char(' ') + plainDescription)
               : plainDescription;
    if (control->accessibleDescription() != description)
        control->setAccessibleDescription(description);
    control->setProperty(kMarked, marked);
    if (!caption)
        return;
    if (caption != control && caption->toolTip() != (marked ? tip : QString()))
        caption->setToolTip(marked ? tip : QString());
    if (caption->property(kBarShown).toBool() == marked && caption->property(kOwnFont).isValid())
        return;
    caption->setProperty(kBarShown, marked);
    caption->installEventFilter(&TMarkPainter::instance()); // installed once: a second is a move
    SetBold(caption, marked);
    caption->update();
}

// The chart's background frame, or the plot area's when the chart draws no background of
// its own (it sits on its group box).
TChangeMarks::TShowMark TChangeMarks::chartMark(QChartView* chart) {
    QChart* c = chart->chart();
    const bool own = c->isBackgroundVisible();
    const QPen plain = own ? c->backgroundPen() : c->plotAreaBackgroundPen();
    return [c, own, plain](bool marked) {
        const QPen pen = marked ? QPen(ChangeMarkColour(), kBarWidth) : plain;
        own ? c->setBackgroundPen(pen) : c->setPlotAreaBackgroundPen(pen);
    };
}

TMarkPainter& TMarkPainter::instance() {
    static TMarkPainter painter;
    return painter;
}

// The widget paints itself first; the bar goes on top: at the left edge of a caption label
// (which keeps room for it), along the bottom edge of anything else.
bool TMarkPainter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Paint || !watched->property(kBarShown).toBool())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    watched->event(event);
    QPainter painter(widget);
    if (qobject_cast<QLabel*>(widget))
        painter.fillRect(QRect(0, 1, kBarWidth, widget->height() - 2), ChangeMarkColour());
    else
        painter.fillRect(QRect(0, widget->height() - kBarWidth, widget->width(), kBarWidth),
                         ChangeMarkColour());
    return true;
}
