#pragma once
// The updater window: switches the device into its DFU boot loader and runs the DFU tool
// on a firmware file, showing the tool's output as it arrives.

#include <QPointer>
#include <QString>
#include <QWidget>

class QCloseEvent;
class QPlainTextEdit;
class QProcess;
class QPushButton;

class TUpdaterForm : public QWidget {
    Q_OBJECT
public:
    explicit TUpdaterForm(QWidget* parent = nullptr);
    ~TUpdaterForm() override;

    QPushButton* BitBtn = nullptr;  // "Update Firmware"
    QPlainTextEdit* Memo = nullptr; // the tool's output

    bool running() const { return m_process != nullptr; }   // the DFU tool is running
    QString dialogFolder() const { return m_dialogFolder; } // where the last dialog opened

public slots:
    // The whole update; returns when the tool has ended (or the dialog was cancelled).
    void BitBtnClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QString chooseFirmware();
    bool enterDfuMode();
    void runTool(const QString& firmware);

    QPointer<QProcess> m_process;
    QString m_dialogFolder;
    bool m_stopRequested = false;
    bool m_closeWhenDone = false;
};
