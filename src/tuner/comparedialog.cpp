#include "tuner/comparedialog.h"

#include "settings/models.h"
#include "settings/settings.h"
#include "settings/transfer.h"
#include "tuner/binding.h"
#include "tuner/tuner.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kMinTableWidth = 560;
constexpr int kMinTableHeight = 320;

QString SummaryText(const QList<TShownDiff>& rows) {
    if (rows.isEmpty())
        return QStringLiteral("The device holds the same settings as the editor.");
    return QStringLiteral("%1 %2 between the device and the editor:")
        .arg(rows.size())
        .arg(rows.size() == 1 ? QStringLiteral("difference") : QStringLiteral("differences"));
}

} // namespace

TCompareDialog::TCompareDialog(TTunerForm* form, const QList<TShownDiff>& rows)
    : QDialog(form), m_form(form) {
    setObjectName(QStringLiteral("CompareDialog"));
    setWindowTitle(QStringLiteral("Compare with Device"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);

    Summary = new QLabel(SummaryText(rows), this);
    Summary->setObjectName(QStringLiteral("Summary"));
    CompareTable = new QTreeWidget(this);
    CompareTable->setObjectName(QStringLiteral("CompareTable"));
    CompareTable->setAccessibleName(QStringLiteral("Differences"));
    CompareTable->setHeaderLabels(
        {QStringLiteral("Field"), QStringLiteral("Device"), QStringLiteral("Editor")});
    CompareTable->setRootIsDecorated(false);
    CompareTable->setAlternatingRowColors(true);
    CompareTable->setMinimumSize(kMinTableWidth, kMinTableHeight);
    Summary->setBuddy(CompareTable);

    auto* buttons = new QDialogButtonBox(this);
    CompareUpload =
        buttons->addButton(QStringLiteral("Upload Settings"), QDialogButtonBox::AcceptRole);
    CompareUpload->setObjectName(QStringLiteral("CompareUpload"));
    CompareClose = buttons->addButton(QDialogButtonBox::Close);
    CompareClose->setObjectName(QStringLiteral("CompareClose"));
    connect(CompareUpload, &QPushButton::clicked, this, &TCompareDialog::CompareUploadClick);
    connect(CompareClose, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Summary);
    layout->addWidget(CompareTable, 1);
    layout->addWidget(buttons);
    fill(rows);

    // Uploading makes sense when the editor may upload and something it sends differs.
    const bool anySent =
        std::any_of(rows.begin(), rows.end(), [](const TShownDiff& row) { return row.uploaded; });
    CompareUpload->setEnabled(anySent && form && form->UploadSettings->isEnabled());
    QPushButton* chosen = CompareUpload->isEnabled() ? CompareUpload : CompareClose;
    chosen->setDefault(true);
    chosen->setFocus();   // no row shows as picked before the user picks one
    if (rows.isEmpty()) { // nothing to list: the sentence says it all
        CompareTable->hide();
        CompareTable->setMinimumSize(0, 0);
    }
}

void TCompareDialog::fill(const QList<TShownDiff>& rows) {
    QTreeWidgetItem* group = nullptr;
    for (const TShownDiff& row : rows) {
        const QString page = PageName(row.page);
        if (!group || group->text(0) != page) {
            group = new QTreeWidgetItem(CompareTable, {page});
            group->setFirstColumnSpanned(true);
            QFont bold = group->font(0);
            bold.setBold(true);
            group->setFont(0, bold);
            group->setBackground(0, palette().brush(QPalette::Midlight));
            group->setFlags(Qt::ItemIsEnabled);
        }
        auto* item = new QTreeWidgetItem(group, {row.item, row.device, row.file});
        if (!row.uploaded)
            for (int c = 0; c < 3; ++c)
                item->setToolTip(c, QStringLiteral("Reported by the device; an upload leaves it "
                                                   "as it is."));
    }
    CompareTable->expandAll();
    for (int c = 0; c < 3; ++c)
        CompareTable->resizeColumnToContents(c);
}

void TCompareDialog::CompareUploadClick() {
    const QPointer<TTunerForm> form = m_form;
    close();
    if (form)
        form->UploadSettingsClick();
}

TCompareDialog* CompareWithDevice(TTunerForm* form) {
    if (!CheckConnected(form))
        return nullptr;
    TSettings device = Settings; // what the device doesn't transfer stays the editor's
    if (!ReadDeviceSettingsInto(device)) {
        ReportFailure(form);
        return nullptr;
    }
    if (auto* earlier = form->findChild<TCompareDialog*>(QString(), Qt::FindDirectChildrenOnly))
        earlier->close();
    const QList<TFieldDiff> diffs = DiffSettings(device, Settings, ModInfo, QLocale());
    auto* dialog = new TCompareDialog(form, ShownDiffs(diffs));
    dialog->show();
    return dialog;
}
