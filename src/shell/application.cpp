#include "shell/application.h"

#include "link/ComPort.h"
#include "settings/XMLSettings.h"
#include "shell/dialogs.h"
#include "shell/mother.h"

#include <cerrno>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentError();
    }
    return false;
}

QString PermissionHint() {
    return QStringLiteral("To allow access, install the udev rule (sudo cmake --install <build "
                          "dir>, or copy packaging/70-devedazi.rules to /usr/lib/udev/rules.d/) "
                          "and plug the device in again.");
}

QString ErrorText(const std::exception& error) {
    if (const auto* port = dynamic_cast<const EComError*>(&error)) {
        if (port->ErrorCode() == EACCES)
            return port->message() + QLatin1Char('\n') + PermissionHint();
        // The error closed the port (the device vanished): say which and what to do.
        if (const QString lost = LostDeviceText(); port->ErrorCode() != 0 && !lost.isEmpty())
            return lost;
        return port->message();
    }
    if (const auto* store = dynamic_cast<const EXMLSettingsError*>(&error))
        return store->message();
    return QString::fromLocal8Bit(error.what());
}

void ShowError(const std::exception& error, QWidget* parent) {
    Dialogs::error(parent ? parent : QApplication::activeWindow(), ErrorText(error));
}

void ShowCurrentError(QWidget* parent) {
    try {
        throw;
    } catch (const std::exception& e) {
        ShowError(e, parent);
    } catch (...) {
        Dialogs::error(parent ? parent : QApplication::activeWindow(),
                       QStringLiteral("Unknown error"));
    }
}

void Guarded(QWidget* parent, const std::function<void()>& action) {
    try {
        action();
    } catch (...) {
        ShowCurrentError(parent);
    }
}
