// The file dialogs of the seam, shown for real (Qt's own dialog, offscreen) over a folder of
// mixed files: what each filter lists, and what a save dialog does to the typed name.

#include "display/picture.h"
#include "shell/dialogs.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

const QStringList kFiles = {"a.bmp", "B.PNG", "c.Jpg", "d.gif", "e.txt", "firmware", "f.dfu"};
const QString kFolder = QStringLiteral("pics.png"); // a folder: listed under every filter

QFileDialog* ShownFileDialog() {
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget* widget : widgets)
        if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

// The names the dialog's list shows, once the file model has read the whole folder.
QStringList Listed(QFileDialog* dialog) {
    auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    auto* proxy = qobject_cast<QAbstractProxyModel*>(view->model());
    auto* files = proxy ? qobject_cast<QFileSystemModel*>(proxy->sourceModel()) : nullptr;
    const int entries = int(kFiles.size()) + 1;
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() &&
           (!files || files->rowCount(proxy->mapToSource(view->rootIndex())) < entries))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QStringList names;
    for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
        names << view->model()->index(row, 0, view->rootIndex()).data().toString();
    names.sort(Qt::CaseInsensitive);
    return names;
}

// Picks the next (or previous) filter as a user does with the keyboard.
void StepFilter(QFileDialog* dialog, Qt::Key key) {
    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QTest::keyClick(types, key);
}

// Runs `open` while `user` works the dialog it shows; `user` must close the dialog.
QString WhileShown(const std::function<QString()>& open,
                   const std::function<void(QFileDialog*)>& user) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, user] {
        if (QFileDialog* dialog = ShownFileDialog()) {
            poll->stop();
            user(dialog);
        }
    });
    poll->start();
    const QString answer = open();
    delete poll;
    return answer;
}

QStringList Sorted(QStringList names) {
    names.sort(Qt::CaseInsensitive);
    return names;
}

} // namespace

class TestFileDialogs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup() { Dialogs::reset(); }
    void pictureFiltersListThePictures();
    void anyFileListsNamesWithoutDot();
    void saveKeepsTypedNameUnderAll();

private:
    QTemporaryDir m_dir;
};

void TestFileDialogs::initTestCase() {
    QVERIFY(m_dir.isValid());
    for (const QString& name : kFiles) {
        QFile file(m_dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    QVERIFY(QDir(m_dir.path()).mkdir(kFolder));
}

void TestFileDialogs::pictureFiltersListThePictures() {
    QStringList all, bitmaps, png, captions;
    const QStringList filters = PictureFilters();
    WhileShown(
        [&] {
            return Dialogs::openFileName(nullptr, "Load", m_dir.path(), filters.join(";;"),
                                         filters.first());
        },
        [&](QFileDialog* dialog) {
            captions << dialog->selectedNameFilter();
            all = Listed(dialog);
            StepFilter(dialog, Qt::Key_Down);
            captions << dialog->selectedNameFilter();
            bitmaps = Listed(dialog);
            StepFilter(dialog, Qt::Key_Down);
            png = Listed(dialog);
            dialog->reject();
        });
    QCOMPARE(captions, (QStringList{filters[0], filters[1]})); // the captions as given
    QCOMPARE(all, Sorted({"a.bmp", "B.PNG", "c.Jpg", "d.gif", kFolder}));
    QCOMPARE(bitmaps, Sorted({"a.bmp", kFolder}));
    QCOMPARE(png, Sorted({"B.PNG", kFolder}));
}

void TestFileDialogs::anyFileListsNamesWithoutDot() {
    QStringList firmware, any;
    const QString picked = WhileShown(
        [&] {
            return Dialogs::openFileName(nullptr, "Open", m_dir.path(),
                                         "Firmware File (*.dfu);;Any file (*.*)",
                                         "Firmware File (*.dfu)");
        },
        [&](QFileDialog* dialog) {
            firmware = Listed(dialog);
            StepFilter(dialog, Qt::Key_Down);
            any = Listed(dialog);
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("firmware");
            QMetaObject::invokeMethod(dialog, "accept"); // OK
        });
    QCOMPARE(firmware, Sorted({"f.dfu", kFolder}));
    QCOMPARE(any, Sorted(kFiles + QStringList{kFolder}));
    QCOMPARE(picked, m_dir.filePath("firmware"));
}

void TestFileDialogs::saveKeepsTypedNameUnderAll() {
    QStringList typed;
    QString chosen;
    const QStringList filters = PictureFilters();
    const QString saved = WhileShown(
        [&] {
            return Dialogs::saveFileName(nullptr, "Save", m_dir.path(), filters.join(";;"),
                                         filters[1], &chosen, "bmp");
        },
        [&](QFileDialog* dialog) {
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            name->setText("shot.png");
            StepFilter(dialog, Qt::Key_Up); // "All": the typed name stays
            typed << name->text();
            StepFilter(dialog, Qt::Key_Down); // "Bitmaps": it takes .bmp
            typed << name->text();
            StepFilter(dialog, Qt::Key_Up);
            typed << name->text();
            QMetaObject::invokeMethod(dialog, "accept"); // OK
        });
    QCOMPARE(typed, (QStringList{"shot.png", "shot.bmp", "shot.bmp"}));
    QCOMPARE(saved, m_dir.filePath("shot.bmp"));
    QCOMPARE(chosen, filters[0]);
}

QTEST_MAIN(TestFileDialogs)
#include "test_filedialogs.moc"
