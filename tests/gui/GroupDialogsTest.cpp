#include "groups/CopyToForm.h"
#include "groups/DynGrpForm.h"
#include "groups/DynGrpParms.h"
#include "groups/GetEMailForm.h"
#include "groups/GetNameForm.h"
#include "gui/QtDialogHost.h"
#include "gui/frmCopyTo.h"
#include "gui/frmDynGrp.h"
#include "gui/frmGetEmail.h"
#include "gui/frmGetName.h"
#include "presentation/FileDialogRequest.h"
#include "tree/NodeKinds.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

QPushButton *button(QWidget &dialog, const QString &text)
{
    for (QPushButton *b : dialog.findChildren<QPushButton *>()) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

void clickPicture(QTreeWidget &tree, QTreeWidgetItem *item)
{
    const QRect rect = tree.visualItemRect(item);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                      QPoint(rect.left() + 8, rect.center().y()));
}

QTreeWidgetItem *itemCaptioned(QTreeWidget &tree, const QString &caption)
{
    const auto found = tree.findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.front();
}

} // namespace

class GroupDialogsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What enables OK is DialogFormsTest's; here, that the typing reaches the forms.
    void typedAnswersReachTheirForms()
    {
        GetNameForm name(QString(), u"Enter Name For New Mail Group"_s);
        frmGetName nameDialog(name);
        nameDialog.show();
        QTest::keyClicks(nameDialog.findChild<QLineEdit *>(u"txtData"_s), u"Friends"_s);
        QTest::mouseClick(button(nameDialog, u"OK"_s), Qt::LeftButton);
        QCOMPARE(nameDialog.result(), int(QDialog::Accepted));
        QCOMPARE(name.answer(), u"Friends"_s);

        GetEMailForm email(QString(), QString(), u"Add Address"_s);
        frmGetEmail emailDialog(email);
        emailDialog.show();
        QTest::keyClicks(emailDialog.findChild<QLineEdit *>(u"txtEmail"_s), u"ann@example.org"_s);
        QTest::keyClicks(emailDialog.findChild<QLineEdit *>(u"txtFirstName"_s), u"Ann"_s);
        QTest::keyClicks(emailDialog.findChild<QLineEdit *>(u"txtLastName"_s), u"Lee"_s);
        QTest::mouseClick(button(emailDialog, u"OK"_s), Qt::LeftButton);
        QCOMPARE(email.answer(), u"Lee, Ann\\\\ann@example.org"_s);
    }

    void renamingStartsWithTheWholeNameSelectedUnderItsPrompt()
    {
        GetNameForm form(u"Friends"_s, u"Modify Group Name"_s);
        frmGetName dialog(form);
        dialog.show();
        auto *name = dialog.findChild<QLineEdit *>(u"txtData"_s);
        QCOMPARE(name->selectedText(), u"Friends"_s);
        QTest::keyClicks(name, u"Family"_s);
        QCOMPARE(name->text(), u"Family"_s);
        auto *prompt = dialog.findChild<QLabel *>(u"lblPrompt"_s);
        QVERIFY(prompt && prompt->buddy() == name);
    }

    void copyToAnswersOnlyAGroupRow()
    {
        TreeList tree;
        const NodeHandle root = tree.addNode(u"Standard Mail Groups"_s);
        tree.setValue(root, NodeValueName::EntryId(), u"STDMG"_s);
        setNodeKind(tree, root, NodeKind::StandardRoot);
        const NodeHandle friends = tree.addNode(u"Friends"_s, root);
        setNodeKind(tree, friends, NodeKind::StandardGroup);
        CopyToForm form(tree, QString());
        QVERIFY(form.fillCopyList());
        frmCopyTo dialog(form);
        dialog.show();
        auto *list = dialog.findChild<QTreeWidget *>(u"tlCopy"_s);
        QPushButton *ok = button(dialog, u"&OK"_s);
        QVERIFY(!ok->isEnabled());
        QTreeWidgetItem *group = itemCaptioned(*list, u"Friends"_s);
        QVERIFY(group);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(group).center());
        QVERIFY(ok->isEnabled());
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(form.answer(), QString::number(tree.indexOf(friends)) + u"\\Friends"_s);
    }

    void dynGrpChoosesFoldersByPictureAndSpace()
    {
        TreeList tree;
        const NodeHandle store = tree.addNode(u"Personal Folders"_s);
        tree.setValue(store, NodeValueName::EntryId(), u"S1"_s);
        for (const auto &[caption, id] :
             {std::pair{u"Contacts"_s, u"F1"_s}, std::pair{u"Club"_s, u"F2"_s}}) {
            const NodeHandle folder = tree.addNode(caption, store);
            setNodeKind(tree, folder, NodeKind::ContactFolder);
            tree.setValue(folder, NodeValueName::EntryId(), id);
            tree.setValue(folder, NodeValueName::StoreId(), u"S1"_s);
        }
        DynGrpForm form(tree, u"S1^F1^F2"_s, QString(), QString(), QString(), QString(),
                        u"Enter Parameters for New Dynamic Mail Group"_s);
        frmDynGrp dialog(form);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QPushButton *ok = button(dialog, u"&OK"_s);
        QTest::keyClicks(dialog.findChild<QLineEdit *>(u"txtName"_s), u"Club members"_s);
        QTest::keyClicks(dialog.findChild<QLineEdit *>(u"txtCategories"_s), u"Club*"_s);
        QVERIFY(!ok->isEnabled()); // no folder chosen yet

        auto *chooser = dialog.findChild<QTreeWidget *>(u"tlSrce"_s);
        QTreeWidgetItem *club = itemCaptioned(*chooser, u"Club"_s);
        QVERIFY(club);
        clickPicture(*chooser, club);
        QCOMPARE(form.chosenCount(), 1);
        QVERIFY(ok->isEnabled());
        QTreeWidgetItem *contacts = itemCaptioned(*chooser, u"Contacts"_s);
        chooser->setCurrentItem(contacts);
        QTest::keyClick(chooser, Qt::Key_Space);
        QCOMPARE(form.chosenCount(), 2);
        QTest::keyClick(chooser, Qt::Key_Space);
        QCOMPARE(form.chosenCount(), 1);

        QTest::mouseClick(ok, Qt::LeftButton);
        const DynGrpParms parms = DynGrpParms::fromText(form.answer());
        QCOMPARE(parms.name, u"Club members"_s);
        QCOMPARE(parms.categories, u"Club*"_s);
        QCOMPARE(parms.entryIds, u"F2"_s);
    }

    void chooseFileMapsTheRequest_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("fileMode");
        QTest::newRow("save adds the default extension")
            << true << u"club"_s << u"club.txt"_s << int(QFileDialog::AnyFile);
        QTest::newRow("open takes an existing file")
            << false << u"there.txt"_s << u"there.txt"_s << int(QFileDialog::ExistingFile);
    }
    void chooseFileMapsTheRequest()
    {
        QFETCH(bool, save);
        QFETCH(QString, fileName);
        QFETCH(QString, chosen);
        QFETCH(int, fileMode);
        QTemporaryDir dir;
        QFile existing(dir.filePath(u"there.txt"_s));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        QtDialogHost host(u"Corvel"_s);
        host.setNativeFileDialogs(false);
        const FileDialogRequest request{save ? FileDialogRequest::Mode::Save
                                             : FileDialogRequest::Mode::Open,
                                        u"Address List"_s,
                                        dir.path(),
                                        fileName,
                                        u"txt"_s,
                                        {u"Text (*.txt)"_s, u"All Files (*)"_s},
                                        save};
        QString seen; // title|selected filter|file mode|confirms overwrite
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            seen = u"%1|%2|%3|%4"_s.arg(dialog->windowTitle(), dialog->selectedNameFilter())
                       .arg(int(dialog->fileMode()))
                       .arg(int(!dialog->testOption(QFileDialog::DontConfirmOverwrite)));
            static_cast<QDialog *>(dialog)->accept();
        });
        QCOMPARE(host.chooseFile(request), QDir(dir.path()).absoluteFilePath(chosen));
        QCOMPARE(seen, u"Address List|Text (*.txt)|%1|%2"_s.arg(fileMode).arg(int(save)));
    }
};

QTEST_MAIN(GroupDialogsTest)
#include "GroupDialogsTest.moc"
