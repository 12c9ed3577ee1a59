#include "updater/updater.h"

#include <QCloseEvent>
#include <QFont>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

TUpdaterForm::TUpdaterForm(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("UpdaterForm"));
    setWindowTitle(QStringLiteral("Updater"));
    setAttribute(Qt::WA_DeleteOnClose);

    BitBtn = new QPushButton(QStringLiteral("Update Firmware"), this);
    BitBtn->setObjectName(QStringLiteral("BitBtn"));
    BitBtn->setFixedHeight(30);
    Memo = new QPlainTextEdit(this);
    Memo->setObjectName(QStringLiteral("Memo"));
    Memo->setReadOnly(true);
    Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::TypeWriter);
    Memo->setFont(font);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(BitBtn);
    layout->addWidget(Memo, 1);
    connect(BitBtn, &QPushButton::clicked, this, &TUpdaterForm::BitBtnClick);
}

TUpdaterForm::~TUpdaterForm() = default;

void TUpdaterForm::BitBtnClick() {}

void TUpdaterForm::closeEvent(QCloseEvent* event) {
    event->accept();
}

QString TUpdaterForm::chooseFirmware() {
    return {};
}
bool TUpdaterForm::enterDfuMode() {
    return false;
}
void TUpdaterForm::runTool(const QString&) {}
