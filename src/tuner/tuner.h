#pragma once
// The Tuner window, the editor of the settings image. Placeholder frame: the main window
// opens it, asks it to download or to show the settings; the pages come with the editor.

#include <QWidget>

class TTunerForm : public QWidget {
    Q_OBJECT
public:
    explicit TTunerForm(QWidget* parent = nullptr);

public slots:
    void DownloadSettingsClick(); // read the device's settings and show them
    void ShowSettings();          // fill the pages from Settings
};
