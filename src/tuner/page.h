#pragma once
// One page of the Tuner window. Pages hold no copy of the settings: every change of a
// control becomes a step of the image's history (settings/history.h), and showSettings()
// rewrites every control from Settings.

#include <QWidget>

class TTunerForm;

class TTunerPage : public QWidget {
    Q_OBJECT
public:
    explicit TTunerPage(TTunerForm* form) : m_form(form) {}

    // Every control of the page from Settings and ModInfo. replaced: a whole new image is
    // shown (typing in progress belonged to the old one and is dropped; the Profiles page
    // turns to the active profile). Otherwise the image changed under the page (an edit in
    // any window, an undo, a poll): what the user looks at stays, and a field being typed in
    // keeps the typing.
    virtual void showSettings(bool replaced = true) = 0;
    // Sizes and visibility that follow the connected model (run after showSettings() and
    // whenever the screenshot size changes).
    virtual void layoutForModel() {}

protected:
    TTunerForm* form() const { return m_form; }

private:
    TTunerForm* m_form;
};
