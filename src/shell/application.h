#pragma once
// The application object. Its notify() is the default error display: an error that no
// handler caught reaches a message box with its text instead of ending the program.

#include <QApplication>
#include <QString>

#include <exception>
#include <functional>

class QWidget;

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The text of an error for the user. A port error refused for lack of permission gets one
// more line saying how to install the udev rule.
QString ErrorText(const std::exception& error);
QString PermissionHint();

// The default error display: a message box (error icon, OK) with the error's text.
void ShowError(const std::exception& error, QWidget* parent = nullptr);
// Runs the current exception (inside a catch block) through ShowError.
void ShowCurrentError(QWidget* parent = nullptr);
// Runs a handler; an error it raises is shown with ShowError instead of travelling up
// through Qt's event handling.
void Guarded(QWidget* parent, const std::function<void()>& action);
