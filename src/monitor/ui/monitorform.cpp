#include "monitor/ui/monitorform.h"

#include <QLabel>
#include <QVBoxLayout>

TMonitorForm::TMonitorForm(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Monitor"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* note = new QLabel(QStringLiteral("Live monitor"), this);
    note->setAlignment(Qt::AlignCenter);
    layout->addWidget(note);
}
