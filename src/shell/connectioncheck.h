#pragma once
// "Help > Connection Check...": the findings of the connection check (link/doctor.h), one
// per paragraph with what to do, run again on request; when the udev rule is missing and
// pkexec is there, the rule can be installed from here.

#include "link/doctor.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;
class QTextBrowser;

struct TConnectionCheckOptions {
    QString sysRoot = QStringLiteral("/sys");
    QString devRoot = QStringLiteral("/dev");
    QString procRoot = QStringLiteral("/proc");
    QString fsRoot = QStringLiteral("/");
    std::function<QString()> choice; // the port box's text at the time of the check
};

class TConnectionCheckForm : public QDialog {
    Q_OBJECT
public:
    explicit TConnectionCheckForm(const TConnectionCheckOptions& options,
                                  QWidget* parent = nullptr);

    QLabel* Summary = nullptr;
    QTextBrowser* Findings = nullptr;
    QPushButton* CheckAgain = nullptr;
    QPushButton* InstallRule = nullptr; // shown when the rule is missing and pkexec is there
    QPushButton* CopyReport = nullptr;
    QPushButton* CloseButton = nullptr;

    const TDoctorReport& report() const { return m_report; }
    // The check's findings as the command line prints them.
    QString reportText() const;

public slots:
    void CheckAgainClick();
    void InstallRuleClick();
    void CopyReportClick();

private:
    void showReport();

    TConnectionCheckOptions m_options;
    TDoctorReport m_report;
    QString m_installResult; // what the last installation of the rule said
};
