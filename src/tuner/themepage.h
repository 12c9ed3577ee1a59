#pragma once
// The "Theme" page: the logo slots (picture, screen assignment, Load, Save, Clear) and the logo
// download and upload.

#include "display/displaydata.h"
#include "tuner/page.h"

#include <array>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;
class TBinder;
class TPixelView;

class TThemePage : public TTunerPage {
    Q_OBJECT
public:
    explicit TThemePage(TTunerForm* form);
    void showSettings(bool replaced = true) override;
    // Shows the rows of the model's slots, each picture at twice the display's size.
    void layoutForModel() override;

    // One slot row; the controls are named LogoPanel1, Logo1, LogoLabel1, LogoComboBox1,
    // LoadLogo1, SaveLogo1, ClearLogo1 for slot 0, and so on.
    struct TLogoRow {
        QWidget* row = nullptr;
        QFrame* panel = nullptr;
        TPixelView* logo = nullptr;
        QLabel* label = nullptr;
        QComboBox* combo = nullptr;
        QPushButton* load = nullptr;
        QPushButton* save = nullptr;
        QPushButton* clear = nullptr;
    };

    QPushButton* DownloadLogo = nullptr;
    QPushButton* UploadLogo = nullptr;
    QScrollArea* ScrollBox = nullptr;
    std::array<TLogoRow, LogoSlots> Rows{};

public slots:
    void ShowLogos(); // every shown slot's picture and screen from LogoImages and Settings
    void DownloadLogoClick();
    void UploadLogoClick();
    // The handlers of every slot's Load, Save and Clear buttons.
    void LoadLogo1Click(int slot);
    void SaveLogo1Click(int slot);
    void ClearLogo1Click(int slot);

private:
    QWidget* createRow(int slot, QWidget* parent);
    void drawLogos();
    QString logoFolder();

    TBinder* m_binder = nullptr;
    int m_drawnRows = -1;  // display rows of the drawn pictures
    int m_drawnSlots = -1; // slots drawn
};
