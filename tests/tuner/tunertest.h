#pragma once
// Common ground of the Tuner tests: a fresh image, a shown Tuner window, typing into fields.

#include "settings/history.h"
#include "settings/models.h"
#include "settings/settings.h"
#include "shell/dialogs.h"
#include "tuner/profilespage.h"
#include "tuner/tuner.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QtTest>

#include <memory>

// The default image, model 1, an empty clipboard, and a Tuner window showing the image.
inline std::unique_ptr<TTunerForm> ShownTuner() {
    Settings = DefaultSettings();
    ImageHistory().reset(); // the fresh image is the baseline
    ProfileClipboard = TProfile();
    ProfileClipboardFilled = false;
    SelectModel(1);
    auto form = std::make_unique<TTunerForm>();
    form->resize(1100, 700);
    form->show();
    form->ShowSettings();
    return form;
}

// Replaces the field's text as typed keys (the field's typing rules apply); any character.
inline void TypeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// Typed, then committed with Return.
inline void Enter(QLineEdit* edit, const QString& text) {
    TypeInto(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

// A decimal text in the current locale ("4.20" becomes "4,20" where "," is the separator).
inline QString Local(QString text) {
    return text.replace(QLatin1Char('.'), QLocale().decimalPoint());
}
