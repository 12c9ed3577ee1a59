#pragma once
// "Compare with Device": the device's settings are downloaded into an image of their own
// (the editor's Settings stay as they are) and the fields that differ are listed by page,
// as the pages show them. From the list the user uploads the editor's image or closes it.

#include "settings/settingsdiff.h"

#include <QDialog>
#include <QList>
#include <QPointer>

class QDialogButtonBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class TTunerForm;

class TCompareDialog : public QDialog {
    Q_OBJECT
public:
    // rows: the differences, device first, editor second (ShownDiffs order).
    TCompareDialog(TTunerForm* form, const QList<TShownDiff>& rows);

    QLabel* Summary = nullptr;
    QTreeWidget* CompareTable = nullptr; // a top-level item per page, a child per difference
    QPushButton* CompareUpload = nullptr;
    QPushButton* CompareClose = nullptr;

public slots:
    void CompareUploadClick(); // the Tuner's "Upload Settings", then the list closes

private:
    void fill(const QList<TShownDiff>& rows);

    QPointer<TTunerForm> m_form;
};

// Downloads the device's image into a copy and shows the differences in a new dialog (an
// earlier one of this Tuner window closes). Shows "Error" (and a firmware refusal) when the
// download fails; returns the dialog, or null.
TCompareDialog* CompareWithDevice(TTunerForm* form);
