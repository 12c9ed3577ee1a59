#pragma once
// The About window: product picture, name with the full version, copyright, site link.

#include <QDialog>

class QLabel;
class QPushButton;

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);

    static QString FullVersionText(); // "DEVedazi v1.5.1 build 135"
    static QString SiteUrl();

    QLabel* Image = nullptr;
    QLabel* AppName = nullptr;
    QLabel* Copyright = nullptr;
    QLabel* Site = nullptr;
    QPushButton* Button1 = nullptr;

public slots:
    void SiteClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
