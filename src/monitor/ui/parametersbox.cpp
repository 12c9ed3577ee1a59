#include "monitor/ui/parametersbox.h"

#include "shell/mother.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QVBoxLayout>

namespace {

// A check box whose indicator sits in the middle of a colour square (the curve's colour),
// so the square frames it.
class TCurveCheck : public QCheckBox {
public:
    TCurveCheck(const QString& text, QColor colour, QWidget* parent)
        : QCheckBox(text, parent), m_colour(colour) {}

    QSize sizeHint() const override {
        const QSize base = QCheckBox::sizeHint();
        return {base.width() + 2 * inset(), std::max(base.height(), side())};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        const int s = side();
        painter.fillRect(QRect(0, (height() - s) / 2, s, s), m_colour);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.rect.adjust(inset(), 0, 0, 0);
        painter.drawControl(QStyle::CE_CheckBox, option);
    }
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

private:
    int side() const { return std::max(DPIX(20), indicator() + 6); }
    int indicator() const {
        QStyleOptionButton option;
        option.initFrom(this);
        return style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this);
    }
    int inset() const { return (side() - indicator()) / 2; }

    QColor m_colour;
};

} // namespace

TParametersBox::TParametersBox(QWidget* parent)
    : QGroupBox(QStringLiteral(" Parameters "), parent) {
    auto* rows = new QWidget;
    auto* grid = new QGridLayout(rows);
    grid->setContentsMargins(DPIX(4), 0, DPIX(4), 0);
    grid->setVerticalSpacing(0);
    grid->setColumnStretch(1, 1);
    for (int i = 0; i < MonitorRowCount; ++i) {
        const TMonitorRow& row = MonitorRows()[size_t(i)];
        const QString name = QString::fromUtf8(row.name);
        auto* check = new TCurveCheck(QStringLiteral(" %1:").arg(name), QColor(row.colour), rows);
        check->setObjectName(QStringLiteral("CheckBox%1").arg(i));
        check->setAccessibleName(name);
        connect(check, &QCheckBox::toggled, this, [this, i](bool on) { emit curveToggled(i, on); });
        auto* label = new QLabel(QStringLiteral("---"), rows);
        label->setObjectName(QStringLiteral("Lab%1").arg(i));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setMinimumWidth(
            label->fontMetrics().horizontalAdvance(QStringLiteral("0000.000 mWh")));
        grid->addWidget(check, i, 0);
        grid->addWidget(label, i, 1);
        m_checks[size_t(i)] = check;
        m_labels[size_t(i)] = label;
    }
    grid->setRowStretch(MonitorRowCount, 1);

    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->setWidget(rows);
    scroll->viewport()->setAutoFillBackground(false);
    rows->setAutoFillBackground(false);
    // Wide enough for the rows and a scroll bar, at least the 200 pixels of the design.
    const int scrollBar = scroll->verticalScrollBar()->sizeHint().width();
    scroll->setMinimumWidth(std::max(rows->sizeHint().width() + scrollBar, DPIX(200)));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, DPIX(2), 0, DPIX(2));
    layout->addWidget(scroll);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

void TParametersBox::showSample(const TMonitorSample& sample) {
    const QLocale locale;
    for (int i = 0; i < MonitorRowCount; ++i)
        m_labels[size_t(i)]->setText(RowLabel(sample, i, locale));
}
