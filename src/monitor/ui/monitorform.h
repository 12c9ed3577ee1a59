#pragma once
// The Monitor window: the device's live values as 29 rows, each with a check box that shows
// its curve on the live chart; buttons that start and stop monitoring, fire the device and
// press its plus and minus buttons; the chart's zoom and freeze; and the session saved as
// CSV, recorded to a file as it runs, a recording opened again, and the chart saved as a
// picture. The session's polls are all kept while the window is open.

#include "monitor/monitorhistory.h"
#include "monitor/monitorrecord.h"

#include <QWidget>

class QCloseEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TMonitorChart;
class TMonitorPoller;
class TElidedLabel;
class TParametersBox;

class TMonitorForm : public QWidget {
    Q_OBJECT
public:
    // Milliseconds of "FIRE Test"; kept while the program runs, also when the window closes.
    static int FireTime;
    // The chart's hovered point index, shared by all curves; kept like FireTime.
    static int HoverIndex;

    explicit TMonitorForm(QWidget* parent = nullptr);
    ~TMonitorForm() override;

    // The display step after each poll (also a failed one): the values of MonitorData and
    // Settings become the next sample of the labels, the history, the recording and the
    // chart.
    void UpdateDisplay(bool ok);
    void AddSample(const TMonitorSample& sample);

    const TMonitorHistory& history() const { return m_history; }
    TMonitorChart* chart() const { return Chart; }
    TParametersBox* parameters() const { return GroupBox1; }
    TMonitorPoller* poller() const { return Timer; }
    const TMonitorRecorder& recorder() const { return m_recorder; }
    // The file the session was opened from; empty for a live session.
    const QString& openedFile() const { return m_openedFile; }
    // Polls of the session that are in no file (not saved, recorded or opened).
    bool hasUnsavedPolls() const { return m_keptRows < m_history.size(); }
    qsizetype unsavedPolls() const { return m_history.size() - m_keptRows; }
    // The lines the window shows: monitoring and its poll period (or the file opened), the
    // recording, the time range in view.
    QString stateText() const;
    QString recordingText() const;
    QString rangeText() const;

    void Button1Click(); // Start Monitoring
    void Button2Click(); // Stop Monitoring
    void Button3Click(); // FIRE Test
    void Button4Click(); // Minus
    void Button5Click(); // Plus
    void FireTumeExit();
    void SaveCsvClick();
    void OpenCsvClick();
    void RecordClick(); // "Record..." or, while recording, "Stop Recording"
    void SavePictureClick();

protected:
    // Closing with polls in no file asks first ("Save .CSV...", "Discard", "Cancel").
    void closeEvent(QCloseEvent* event) override;

private:
    bool saveCsv(); // false when cancelled or failed
    QWidget* buildButtons();
    QWidget* buildViewBar();
    QWidget* buildStateBar();
    void pressKeys(qint32 fire, qint32 minus, qint32 plus);
    void record(const TMonitorSample& sample);
    void startRecording(const QString& file, bool replace);
    void stopRecording();
    void openFile(const QString& file);
    void newLiveSession();
    void showState();
    void showRecording();
    void showRange();

    TMonitorHistory m_history;
    TMonitorRecorder m_recorder;
    QString m_recordFailure; // why the last recording ended, when a write failed
    QString m_openedFile;
    qsizetype m_keptRows = 0; // the first polls that are in a file
    TParametersBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    TMonitorChart* Chart = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button5 = nullptr;
    QPushButton* SaveCsv = nullptr;
    QPushButton* OpenCsv = nullptr;
    QPushButton* Record = nullptr;
    QPushButton* SavePicture = nullptr;
    QPushButton* ZoomIn = nullptr;
    QPushButton* ZoomOut = nullptr;
    QPushButton* FitAll = nullptr;
    QPushButton* Freeze = nullptr;
    TElidedLabel* ViewRange = nullptr;
    TElidedLabel* MonitorState = nullptr;
    TElidedLabel* RecordState = nullptr;
    QLineEdit* FireTume = nullptr;
    TMonitorPoller* Timer = nullptr;
};
