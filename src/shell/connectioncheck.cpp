#include "shell/connectioncheck.h"

#include "settings/datafolder.h"
#include "shell/dialogs.h"

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

QString levelText(TFindingLevel level) {
    switch (level) {
    case TFindingLevel::Ok:
        return QStringLiteral("OK");
    case TFindingLevel::Warning:
        return QStringLiteral("Warning");
    case TFindingLevel::Problem:
        break;
    }
    return QStringLiteral("Problem");
}

QString levelColour(TFindingLevel level) {
    switch (level) {
    case TFindingLevel::Ok:
        return QStringLiteral("#1a7f37");
    case TFindingLevel::Warning:
        return QStringLiteral("#9a6700");
    case TFindingLevel::Problem:
        break;
    }
    return QStringLiteral("#cf222e");
}

QPushButton* button(const char* name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

} // namespace

TConnectionCheckForm::TConnectionCheckForm(const TConnectionCheckOptions& options, QWidget* parent)
    : QDialog(parent), m_options(options) {
    setObjectName(QStringLiteral("ConnectionCheckForm"));
    setWindowTitle(QStringLiteral("Connection Check"));
    setSizeGripEnabled(true);
    Summary = new QLabel(this);
    Summary->setObjectName(QStringLiteral("Summary"));
    Summary->setWordWrap(true);
    QFont bold = Summary->font();
    bold.setBold(true);
    Summary->setFont(bold);
    Findings = new QTextBrowser(this);
    Findings->setObjectName(QStringLiteral("Findings"));
    Findings->setAccessibleName(QStringLiteral("Findings"));
    Findings->setOpenLinks(false);
    CheckAgain = button("CheckAgain", QStringLiteral("Check Again"), this);
    InstallRule = button("InstallRule", QStringLiteral("Install udev Rule..."), this);
    CopyReport = button("CopyReport", QStringLiteral("Copy"), this);
    CloseButton = button("CloseButton", QStringLiteral("Close"), this);

    auto* buttons = new QHBoxLayout();
    buttons->addWidget(CheckAgain);
    buttons->addWidget(InstallRule);
    buttons->addStretch(1);
    buttons->addWidget(CopyReport);
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Summary);
    layout->addWidget(Findings, 1);
    layout->addLayout(buttons);
    const QFontMetrics metrics(font());
    resize(metrics.averageCharWidth() * 110, metrics.height() * 36);

    connect(CheckAgain, &QPushButton::clicked, this, &TConnectionCheckForm::CheckAgainClick);
    connect(InstallRule, &QPushButton::clicked, this, &TConnectionCheckForm::InstallRuleClick);
    connect(CopyReport, &QPushButton::clicked, this, &TConnectionCheckForm::CopyReportClick);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::close);
    CheckAgainClick();
}

void TConnectionCheckForm::CheckAgainClick() {
    TDoctorInput input = SystemDoctorInput();
    input.sysRoot = m_options.sysRoot;
    input.devRoot = m_options.devRoot;
    input.procRoot = m_options.procRoot;
    input.fsRoot = m_options.fsRoot;
    input.choice = m_options.choice ? m_options.choice() : QStringLiteral("Auto");
    input.ruleFile = DataPath(UdevRuleName());
    m_report = RunConnectionCheck(input);
    if (m_report.ruleMissing)
        (void)SaveUdevRuleFile(input.ruleFile); // named in the commands; best effort
    showReport();
}

QString TConnectionCheckForm::reportText() const {
    QStringList lines;
    for (const TFinding& f : m_report.findings)
        lines.append(FindingLine(f));
    return lines.join(QLatin1Char('\n'));
}

void TConnectionCheckForm::showReport() {
    Summary->setText(m_report.usable
                         ? QStringLiteral("The device can be used.")
                         : QStringLiteral("The device cannot be used yet: see what to do below."));
    QString html;
    if (!m_installResult.isEmpty())
        html += QStringLiteral("<p><i>%1</i></p>").arg(m_installResult.toHtmlEscaped());
    for (const TFinding& f : m_report.findings) {
        html += QStringLiteral("<p><b style=\"color:%1\">%2:</b> %3")
                    .arg(levelColour(f.level), levelText(f.level), f.text.toHtmlEscaped());
        // The commands keep their lines but wrap in the window's width.
        if (!f.fix.isEmpty())
            html +=
                QStringLiteral("<br><b>What to do:</b></p><p style=\"white-space: pre-wrap; "
                               "font-family: monospace; margin-top: 0px; margin-left: 16px\">%1")
                    .arg(f.fix.toHtmlEscaped());
        html += QStringLiteral("</p>");
    }
    Findings->setHtml(html);
    InstallRule->setVisible(!m_report.pkexec.isEmpty() &&
                            (m_report.ruleMissing || m_report.ruleUnapplied));
}

// pkexec asks for the administrator's password in its own window; this one keeps working
// meanwhile.
void TConnectionCheckForm::InstallRuleClick() {
    const QString ruleFile = DataPath(UdevRuleName());
    QString error;
    if (!SaveUdevRuleFile(ruleFile, &error)) {
        Dialogs::error(this, error);
        return;
    }
    QProcess process;
    QEventLoop loop;
    process.setProcessChannelMode(QProcess::MergedChannels);
    connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    InstallRule->setEnabled(false);
    process.start(m_report.pkexec, RuleInstallArguments(ruleFile));
    if (process.state() != QProcess::NotRunning)
        loop.exec();
    InstallRule->setEnabled(true);
    const QString output = QString::fromLocal8Bit(process.readAll()).trimmed();
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 &&
        process.error() != QProcess::FailedToStart)
        m_installResult = QStringLiteral("The udev rule is installed. Unplug the device and "
                                         "plug it in again, then check again.");
    else
        m_installResult = QStringLiteral("The udev rule was not installed (%1).")
                              .arg(output.isEmpty() ? process.errorString() : output);
    CheckAgainClick();
}

void TConnectionCheckForm::CopyReportClick() {
    QGuiApplication::clipboard()->setText(reportText());
}
