#include "tuner/tuner.h"

#include <QLabel>
#include <QVBoxLayout>

TTunerForm::TTunerForm(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Tuner"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* note = new QLabel(QStringLiteral("Settings editor"), this);
    note->setAlignment(Qt::AlignCenter);
    layout->addWidget(note);
}

void TTunerForm::DownloadSettingsClick() {}

void TTunerForm::ShowSettings() {}
