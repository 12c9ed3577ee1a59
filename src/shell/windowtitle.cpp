#include "shell/windowtitle.h"

#include "link/transport.h"

#include <QVariant>
#include <QWidget>

namespace {
const char* const kOwnTitle = "devedaziOwnTitle";
const QString kMark = QStringLiteral(" [virtual device]");
} // namespace

QString FormTitle(const QString& title, bool virtualDevice) {
    return virtualDevice ? title + kMark : title;
}

void SetFormTitle(QWidget* form, const QString& title) {
    form->setProperty(kOwnTitle, title);
    form->setWindowTitle(FormTitle(title, VirtualDeviceOpen()));
}

void RefreshFormTitle(QWidget* form) {
    const QVariant own = form->property(kOwnTitle);
    SetFormTitle(form, own.isValid() ? own.toString() : form->windowTitle());
}
