#include "gui/QtFileDialogRunner.h"
#include "presentation/CDialog.h"

#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

// Runs `answer` on the file dialog once it is up, from inside its own event loop.
void whenDialogShows(std::function<void(QFileDialog &)> answer)
{
    auto *poll = new QTimer;
    poll->setInterval(0);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        answer(*dialog);
    });
    poll->start();
}

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class QtFileDialogRunnerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nameFilters_data()
    {
        QTest::addColumn<QString>("pairs");
        QTest::addColumn<QStringList>("filters");
        const QChar z(u'\0');
        QTest::newRow("several patterns, trailing separator")
            << QStringLiteral("All Document files") + z + u"*.rtf;*.txt"_s + z
            << QStringList{u"All Document files (*.rtf *.txt)"_s};
        QTest::newRow("none") << QString() << QStringList{};
    }
    void nameFilters()
    {
        QFETCH(QString, pairs);
        QFETCH(QStringList, filters);
        QCOMPARE(QtFileDialogRunner::nameFilters(pairs), filters);
    }

    void saveHonoursTitleFolderNameExtensionAndFilter()
    {
        QTemporaryDir dir;
        QtFileDialogRunner runner(false);
        CDialog model(runner);
        model.setFilter(QStringLiteral("Text (*.txt)|*.txt|All Files |*.*"));
        model.FilterIndex = 2;
        model.DialogTitle = QStringLiteral("Save Address List");
        model.DefaultExt = QStringLiteral("txt");
        model.InitDir = dir.path();
        model.Filename = QStringLiteral("friends");
        model.setFileMustExist(6);

        QString title;
        QString suffix;
        QString filter;
        bool confirmsOverwrite = false;
        QString directory;
        whenDialogShows([&](QFileDialog &dialog) {
            title = dialog.windowTitle();
            suffix = dialog.defaultSuffix();
            filter = dialog.selectedNameFilter();
            confirmsOverwrite = !dialog.testOption(QFileDialog::DontConfirmOverwrite);
            directory = dialog.directory().absolutePath();
            static_cast<QDialog &>(dialog).accept();
        });
        QVERIFY(model.ShowSave());
        QCOMPARE(title, QStringLiteral("Save Address List"));
        QCOMPARE(suffix, QStringLiteral("txt"));
        QCOMPARE(filter, QStringLiteral("All Files (*)"));
        QVERIFY(confirmsOverwrite);
        QCOMPARE(directory, QDir(dir.path()).absolutePath());
        QCOMPARE(model.Filename, QDir(dir.path()).absoluteFilePath(u"friends.txt"_s));
    }

    void openAsksForAnExistingFileWhenItMustExist()
    {
        QTemporaryDir dir;
        touch(dir.filePath(u"there.txt"_s));
        QtFileDialogRunner runner(false);
        CDialog model(runner);
        model.InitDir = dir.path();
        model.setFileMustExist(1);

        QFileDialog::FileMode mode = QFileDialog::AnyFile;
        whenDialogShows([&](QFileDialog &dialog) {
            mode = dialog.fileMode();
            static_cast<QDialog &>(dialog).reject();
        });
        QVERIFY(!model.ShowOpen());
        QCOMPARE(mode, QFileDialog::ExistingFile);
        QCOMPARE(model.Error, 0);

        whenDialogShows([&](QFileDialog &dialog) {
            dialog.selectFile(dir.filePath(u"there.txt"_s));
            static_cast<QDialog &>(dialog).accept();
        });
        QVERIFY(model.ShowOpen());
        QCOMPARE(model.Filename, QDir(dir.path()).absoluteFilePath(u"there.txt"_s));
    }

    void multipleSelectionListsEveryFile()
    {
        QTemporaryDir dir;
        touch(dir.filePath(u"a b.txt"_s));
        touch(dir.filePath(u"c.txt"_s));
        QtFileDialogRunner runner(false);
        CDialog model(runner);
        model.InitDir = dir.path();
        model.setMultiSelect(2);
        whenDialogShows([&](QFileDialog &dialog) {
            QCOMPARE(dialog.fileMode(), QFileDialog::ExistingFiles);
            dialog.selectFile(QStringLiteral("\"a b.txt\" \"c.txt\""));
            static_cast<QDialog &>(dialog).accept();
        });
        QVERIFY(model.ShowOpen());
        QCOMPARE(model.SelectedFileCount(), 2);
        QStringList chosen{model.SelectedFile(1), model.SelectedFile(2)};
        chosen.sort();
        const QDir folder(dir.path());
        QCOMPARE(chosen, (QStringList{folder.absoluteFilePath(u"a b.txt"_s),
                                      folder.absoluteFilePath(u"c.txt"_s)}));
    }
};

QTEST_MAIN(QtFileDialogRunnerTest)
#include "QtFileDialogRunnerTest.moc"
