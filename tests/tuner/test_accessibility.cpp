// Every input of the Tuner window, on every page, is named for assistive technology: by its
// caption (a buddy label, exported as the "labelled by" relation) or an accessible name.
// Written over whatever the pages hold, so that it covers controls added later too.

#include "tuner/pagekit.h"
#include "tunertest.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QLabel>
#include <QSlider>

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { Dialogs::reset(); }
    void everyInputIsNamed_data();
    void everyInputIsNamed();
};

namespace {
bool IsInput(QWidget* w) {
    // The editor inside a list or a spin box belongs to it, and is named through it.
    if (qobject_cast<QComboBox*>(w->parentWidget()) ||
        qobject_cast<QAbstractSpinBox*>(w->parentWidget()))
        return false;
    const bool swatch = qobject_cast<TSwatch*>(w) && w->focusPolicy() != Qt::NoFocus;
    return qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) ||
           qobject_cast<QCheckBox*>(w) || qobject_cast<QSlider*>(w) ||
           qobject_cast<QAbstractSpinBox*>(w) || swatch; // a colour swatch one can press
}

// The label that names the control through the "labelled by" relation (a buddy caption).
// The relation holds the group box around the control too; captionOnly leaves it out, as
// its title names no one field.
QString LabelOf(QWidget* w, bool captionOnly = false) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    if (!iface)
        return {};
    for (const auto& [other, relation] : iface->relations(QAccessible::Label))
        if (other && !other->text(QAccessible::Name).trimmed().isEmpty() &&
            (!captionOnly || qobject_cast<QLabel*>(other->object())))
            return other->text(QAccessible::Name);
    return {};
}
} // namespace

void TestAccessibility::everyInputIsNamed_data() {
    QTest::addColumn<int>("model");
    for (int model = 1; model <= 5; ++model)
        QTest::addRow("model %d", model) << model;
}

void TestAccessibility::everyInputIsNamed() {
    QFETCH(int, model);
    auto form = ShownTuner();
    SelectModel(model);
    form->ShowSettings();
    QStringList unnamed;
    int inputs = 0;
    const auto widgets = form->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (!IsInput(w))
            continue;
        ++inputs;
        auto* box = qobject_cast<QCheckBox*>(w);
        const bool captioned = !LabelOf(w).isEmpty();
        if (LabelOf(w, true).isEmpty() && w->accessibleName().trimmed().isEmpty() &&
            !(box && !box->text().trimmed().isEmpty()))
            unnamed << QString("%1 (%2)").arg(w->objectName(), w->metaObject()->className());
        // A list's name on this platform is its current item; only its caption relation names it.
        if (!captioned && qobject_cast<QComboBox*>(w))
            qWarning("%s: over AT-SPI a list without a caption is read by its item",
                     qPrintable(w->objectName()));
    }
    QVERIFY(inputs >= 19); // the "Profiles" page alone has 19
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
    QCOMPARE(LabelOf(form->TabProfiles->ProfileVoltage), QString("Voltage:"));
    QCOMPARE(LabelOf(form->TabProfiles->ProfilePrehUnit), QString("Preheat Unit:"));
}

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
