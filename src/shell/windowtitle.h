#pragma once
// The titles of the working windows. A window gives its own text (e.g. "Tuner"); while the
// port is open on the built-in virtual device the title carries " [virtual device]" after
// it, always last. The main window renews every window's mark when the connection changes.

#include <QString>

class QWidget;

// "Tuner" or "Tuner [virtual device]".
QString FormTitle(const QString& title, bool virtualDevice);
// Sets the window's own text and shows it with the mark the connection asks for now.
void SetFormTitle(QWidget* form, const QString& title);
// Shows the window's own text (its title when SetFormTitle was never called) with the
// mark the connection asks for now.
void RefreshFormTitle(QWidget* form);
