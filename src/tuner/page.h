#pragma once
// One page of the Tuner window. Pages hold no copy of the settings: their controls write
// straight into Settings, and showSettings() rewrites every control from Settings.

#include <QWidget>

class TTunerForm;

class TTunerPage : public QWidget {
    Q_OBJECT
public:
    explicit TTunerPage(TTunerForm* form) : m_form(form) {}

    // Every control of the page from Settings and ModInfo.
    virtual void showSettings() = 0;
    // Sizes and visibility that follow the connected model (run after showSettings() and
    // whenever the screenshot size changes).
    virtual void layoutForModel() {}

protected:
    TTunerForm* form() const { return m_form; }

private:
    TTunerForm* m_form;
};
