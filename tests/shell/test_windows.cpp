// The main window's working windows, menus and About window: names and captions, the
// "%s_%d" naming, which windows the Updater closes, the settings file menu commands.

#include "settings/settings.h"
#include "settings/settingsfile.h"
#include "shell/about.h"
#include "shell/dialogs.h"
#include "shell/paths.h"
#include "shell/terminal.h"
#include "shellfixture.h"
#include "tuner/tuner.h"
#include "updater/updater.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScopeGuard>
#include <QtTest>

class TestWindows : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void buttonsOpenOrRaiseTheirWindows();
    void updaterClosesOnlyTheNamedWindows();
    void settingsMenuCommands();
    void aboutAndManuals();
    void tilingAndCascading();
    void quittingWaitsForAWindowThatStays();

private:
    QStringList childNames() const {
        QStringList names;
        for (QMdiSubWindow* w : m_form->MdiArea->subWindowList())
            names << w->widget()->objectName();
        return names;
    }
    std::unique_ptr<ShellGround> m_ground;
    std::unique_ptr<TMotherForm> m_form;
};

void TestWindows::init() {
    m_ground = std::make_unique<ShellGround>();
    m_form = std::make_unique<TMotherForm>(m_ground->options());
    m_form->show();
    Dialogs::setRecordUrlsOnly(true);
}

void TestWindows::cleanup() {
    m_form.reset();
    m_ground.reset();
    Dialogs::reset();
}

void TestWindows::buttonsOpenOrRaiseTheirWindows() {
    const struct {
        QPushButton* button;
        QString name, caption;
    } cases[] = {{m_form->BitBtn1, "TunerForm", "Tuner"},
                 {m_form->BitBtn2, "MonitorForm", "Monitor"},
                 {m_form->BitBtn4, "TerminalForm", "Terminal"}};
    for (const auto& c : cases) {
        QTest::mouseClick(c.button, Qt::LeftButton);
        QWidget* form = m_form->mdiChild(c.name);
        QVERIFY2(form, qPrintable(c.name));
        QCOMPARE(form->windowTitle(), c.caption);
        QVERIFY(form->parentWidget()->isMaximized());
    }
    QCOMPARE(childNames(), QStringList({"TunerForm", "MonitorForm", "TerminalForm"}));
    QCOMPARE(m_form->checkMDIChildren("MonitorForm"), 1);
    QCOMPARE(m_form->checkMDIChildren("monitorform"), -1);

    QTest::mouseClick(m_form->BitBtn1, Qt::LeftButton); // brought up, not a second one
    QCOMPARE(childNames().size(), 3);
    QCOMPARE(m_form->MdiArea->activeSubWindow()->widget()->objectName(), QString("TunerForm"));

    // Closing a window destroys it; the next click, even before the old one is deleted,
    // makes a new one under the same name.
    QPointer<QWidget> terminal = m_form->mdiChild("TerminalForm");
    terminal->parentWidget()->close();
    QTest::mouseClick(m_form->BitBtn4, Qt::LeftButton);
    QWidget* again = m_form->mdiChild("TerminalForm");
    QVERIFY(again != nullptr && again != terminal);
    QTRY_VERIFY(terminal.isNull());
    QCOMPARE(childNames(), QStringList({"TunerForm", "MonitorForm", "TerminalForm"}));
}

void TestWindows::updaterClosesOnlyTheNamedWindows() {
    const QString file = SettingsFolder() + "/default.xml";
    Dialogs::setNextFileName(file);
    m_form->MenuLoadSsettings->trigger();
    Dialogs::setNextFileName(file);
    m_form->MenuLoadSsettings->trigger();
    QTest::mouseClick(m_form->BitBtn4, Qt::LeftButton);
    QTest::mouseClick(m_form->BitBtn2, Qt::LeftButton);
    QCOMPARE(childNames(),
             QStringList({"TunerForm", "TunerForm_1", "TerminalForm", "MonitorForm"}));

    // It says what it closes and goes on only when agreed to.
    Dialogs::setNextChoice("Cancel");
    QTest::mouseClick(m_form->BitBtn3, Qt::LeftButton);
    QCOMPARE(Dialogs::shownMessages().last(),
             QString("Opening the Updater closes the Tuner, the Monitor and the Terminal.\n"
                     "Nothing unsaved is lost."));
    QCOMPARE(childNames(),
             QStringList({"TunerForm", "TunerForm_1", "TerminalForm", "MonitorForm"}));
    Dialogs::setNextChoice("Close and Open the Updater");
    QTest::mouseClick(m_form->BitBtn3, Qt::LeftButton);
    QCOMPARE(childNames(), QStringList({"TunerForm_1", "UpdaterForm"}));
    auto* updater = qobject_cast<TUpdaterForm*>(m_form->mdiChild("UpdaterForm"));
    QVERIFY(updater);
    QCOMPARE(updater->windowTitle(), QString("Updater"));

    // A new Tuner takes the free base name again.
    QTest::mouseClick(m_form->BitBtn1, Qt::LeftButton);
    QCOMPARE(childNames(), QStringList({"TunerForm_1", "UpdaterForm", "TunerForm"}));
}

void TestWindows::settingsMenuCommands() {
    QVERIFY(!m_form->MenuSaveSettings->isEnabled());
    m_form->MenuSaveSettings->setEnabled(true); // as the Tuner does once it shows settings

    Settings.profile[0].name = "SAVED";
    const QString saved = m_ground->dataDir() + "/Profiles/Settings/mine.xml";
    Dialogs::setNextFileName(saved);
    Dialogs::setNextAnswer(QMessageBox::Ok);
    m_form->MenuSaveSettings->trigger();
    QCOMPARE(Dialogs::shownMessages(), QStringList({"Done"}));
    QVERIFY(QFile::exists(saved));

    // New Settings: the default file, in a new Tuner window each time.
    m_form->MenuNewSettings->trigger();
    QCOMPARE(Settings.profile[0].name, DefaultSettings().profile[0].name);
    m_form->MenuNewSettings->trigger();
    QCOMPARE(childNames(), QStringList({"TunerForm", "TunerForm_1"}));

    // Load Settings: cancelled or missing files change nothing.
    Dialogs::setNextFileName(QString());
    m_form->MenuLoadSsettings->trigger();
    Dialogs::setNextFileName(m_ground->dataDir() + "/missing.xml");
    m_form->MenuLoadSsettings->trigger();
    QCOMPARE(childNames().size(), 2);
    Dialogs::setNextFileName(saved);
    m_form->MenuLoadSsettings->trigger();
    QCOMPARE(Settings.profile[0].name, QString("SAVED"));
    QCOMPARE(childNames().size(), 3);

    // A malformed file reaches a message box with the parser's text; no window is made.
    const QString broken = m_ground->dataDir() + "/broken.xml";
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<Root><Profile1");
    file.close();
    Dialogs::setNextFileName(broken);
    Dialogs::setNextAnswer(QMessageBox::Ok);
    m_form->MenuLoadSsettings->trigger();
    QCOMPARE(Dialogs::shownMessages().size(), 2);
    QCOMPARE(childNames().size(), 3);

    // A shared file with a CR in a name loads cleaned, and the user is told.
    const QString shared = m_ground->dataDir() + "/shared.xml";
    QFile sharedFile(shared);
    QVERIFY(sharedFile.open(QIODevice::WriteOnly));
    sharedFile.write("<Root><Profile1 name=\"X&#13;SRST\"/></Root>");
    sharedFile.close();
    Dialogs::setNextFileName(shared);
    Dialogs::setNextAnswer(QMessageBox::Ok);
    m_form->MenuLoadSsettings->trigger();
    QCOMPARE(Dialogs::shownMessages().last(),
             shared + ": control characters removed from Profile1.name");
    QCOMPARE(Settings.profile[0].name, QString("XSRST"));
    QCOMPARE(childNames().size(), 4);
}

void TestWindows::aboutAndManuals() {
    const QString folder = QCoreApplication::applicationDirPath() + "/Manual";
    QDir(folder).removeRecursively(); // left by an earlier run
    const auto removeFolder = qScopeGuard([&] { QDir(folder).removeRecursively(); });
    // No manual next to the test program: the user is told where it belongs.
    Dialogs::setNextAnswer(QMessageBox::Ok);
    m_form->ManualEn->trigger();
    QVERIFY(Dialogs::openedUrls().isEmpty());
    QCOMPARE(Dialogs::shownMessages(),
             QStringList({"The manual " + QCoreApplication::applicationDirPath() +
                          "/Manual/Manual_eng.pdf is missing."}));

    // With the manual folder beside the program, the manuals and the README open.
    QVERIFY(QDir().mkpath(folder));
    for (const char* name : {"Manual_eng.pdf", "Manual_rus.pdf", "README.md"}) {
        QFile file(folder + "/" + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    m_form->ManualRus->trigger();
    QCOMPARE(Dialogs::openedUrls(), QList<QUrl>({QUrl::fromLocalFile(folder + "/Manual_rus.pdf")}));
    QTimer::singleShot(0, this, [this] {
        TAboutForm* about = m_form->AboutForm;
        QCOMPARE(about->windowTitle(), QString("About"));
        QCOMPARE(about->AppName->text(), QString("DEVedazi v1.5.1 build 135"));
        QCOMPARE(about->Site->text(), QString("Official Site"));
        QVERIFY(about->Site->isVisible());
        QTest::mouseClick(about->Site, Qt::LeftButton);
        QTest::mouseClick(about->Button1, Qt::LeftButton);
    });
    m_form->MenuAbout->trigger(); // modal until "&Ok"
    QCOMPARE(Dialogs::openedUrls().last(), QUrl::fromLocalFile(folder + "/README.md"));
}

void TestWindows::tilingAndCascading() {
    QTest::mouseClick(m_form->BitBtn2, Qt::LeftButton);
    QTest::mouseClick(m_form->BitBtn4, Qt::LeftButton);
    const auto windows = m_form->MdiArea->subWindowList();
    m_form->MenuVertical->trigger(); // side by side
    QCOMPARE(windows.at(0)->geometry().top(), windows.at(1)->geometry().top());
    QVERIFY(windows.at(0)->geometry().right() < windows.at(1)->geometry().left());
    m_form->MenuHorizontal->trigger(); // one above the other
    QCOMPARE(windows.at(0)->geometry().left(), windows.at(1)->geometry().left());
    QVERIFY(windows.at(0)->geometry().bottom() < windows.at(1)->geometry().top());
    m_form->MenuCascade->trigger();
    QVERIFY(!windows.at(0)->isMaximized() && !windows.at(1)->isMaximized());
    // Cascaded windows stay usable: two thirds of the area each, stepped by a title bar.
    const QSize area = m_form->MdiArea->viewport()->size();
    for (QMdiSubWindow* window : windows) {
        QVERIFY(window->width() >= area.width() / 2);
        QVERIFY(window->height() >= area.height() / 2);
    }
    QVERIFY(windows.at(1)->geometry().top() > windows.at(0)->geometry().top());
}

namespace {
// A working window that refuses to close while it is busy, as the Updater during a run.
class TBusyForm : public QWidget {
public:
    bool busy = true;

protected:
    void closeEvent(QCloseEvent* event) override {
        if (busy)
            event->ignore();
        else
            event->accept();
    }
};
} // namespace

void TestWindows::quittingWaitsForAWindowThatStays() {
    QMdiSubWindow* terminal = nullptr;
    QTest::mouseClick(m_form->BitBtn4, Qt::LeftButton);
    terminal = m_form->MdiArea->activeSubWindow();
    auto* busy = new TBusyForm;
    busy->setObjectName("BusyForm");
    m_form->addChild(busy, "BusyForm")->show();

    QVERIFY(!m_form->close());
    QVERIFY(m_form->isVisible());
    QVERIFY(busy->isVisible());
    QVERIFY(!terminal->isVisible()); // the others were closed on the way

    busy->busy = false;
    QVERIFY(m_form->close());
}

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
