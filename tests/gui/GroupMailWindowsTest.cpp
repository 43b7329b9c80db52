#include "fakes/MemoryFolder.h"
#include "fakes/MemoryItem.h"
#include "fakes/MemoryNamespace.h"
#include "gui/QtDialogHost.h"
#include "gui/frmDoMsg.h"
#include "gui/frmGetName.h"
#include "gui/frmMailWiz.h"
#include "merge/GenerationSummary.h"
#include "merge/MailGenerator.h"
#include "merge/MailWizard.h"
#include "presentation/DialogPrompter.h"

#include "groups/GetNameForm.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <functional>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

// Runs `act` on the next modal dialog of type T once it is open (polling, since it opens
// inside the code under test).
template<typename T>
void whenModal(std::function<void(T &)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(*dialog);
        }
    });
    timer->start();
}

void clickItem(QTreeWidget &tree, QTreeWidgetItem *item)
{
    const QRect rect = tree.visualItemRect(item);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, rect.center());
}

std::vector<MailMember> membersNumbered(int count)
{
    std::vector<MailMember> members;
    for (int i = 1; i <= count; ++i)
        members.push_back({u"Member %1"_s.arg(i), u"m%1@example.org"_s.arg(i)});
    return members;
}

} // namespace

class GroupMailWindowsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wizardPagesFollowTheClicks()
    {
        MailWizard wizard({{u"id-1"_s, u"Spring news"_s}, {u"id-2"_s, u"Summer news"_s}},
                          u"Drafts"_s, u"12 Members of Friends"_s);
        QStringList previewed;
        wizard.setPreviewSource([&previewed](const MailWizard::Result &result) {
            previewed << result.grpMailEntryId;
            return QStringList{u"messages that would be queued: 1"_s, u"To: a@example.org"_s};
        });
        frmMailWiz dialog(wizard);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto *next = dialog.findChild<QPushButton *>(u"cmdNext"_s);
        auto *back = dialog.findChild<QPushButton *>(u"cmdBack"_s);
        auto *finish = dialog.findChild<QPushButton *>(u"cmdFinish"_s);
        auto *drafts = dialog.findChild<QTreeWidget *>(u"tlDrafts"_s);
        QVERIFY(next && back && finish && drafts);
        QVERIFY(!next->isEnabled());
        clickItem(*drafts, drafts->topLevelItem(0)->child(1));
        QVERIFY(next->isEnabled());
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(dialog.findChild<QLabel *>(u"lbl3"_s)->text(), u"Summer news"_s);
        QTest::mouseClick(back, Qt::LeftButton);
        QVERIFY(dialog.findChild<QWidget *>(u"picPage0"_s)->isVisible());
        QTest::mouseClick(next, Qt::LeftButton);
        QVERIFY(dialog.findChild<QWidget *>(u"picPage1"_s)->isVisible());
        auto *bcc = dialog.findChild<QRadioButton *>(u"optMailType3"_s);
        QTest::mouseClick(bcc, Qt::LeftButton, {}, QPoint(8, bcc->height() / 2)); // on its circle
        auto *preview = dialog.findChild<QPushButton *>(u"cmdPreview"_s);
        QVERIFY(preview->isVisible());
        QTest::mouseClick(preview, Qt::LeftButton);
        auto *shown = dialog.findChild<QPlainTextEdit *>(u"txtPreview"_s);
        QVERIFY(shown->isVisible());
        QVERIFY(shown->toPlainText().contains(u"To: a@example.org"_s));
        QCOMPARE(previewed, QStringList{u"id-2"_s});

        QTest::mouseClick(finish, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(wizard.wizardProcess().grpMailEntryId, u"id-2"_s);
        QCOMPARE(wizard.wizardProcess().grpMailType, MailType::BCC);
    }

    // The prompted fields page follows the letter's prompts and hands edits to the rules; the
    // prompt box offers to stop the run.
    void promptedFieldsStepAndStopButtonAreWired()
    {
        MailWizard wizard({{u"id-1"_s, u"News"_s}}, u"Drafts"_s, u"2 Members of X"_s);
        wizard.setLetterBodySource([](const QString &) { return u"Hi <<Prompt=First Name>>"_s; });
        wizard.setMembers(membersNumbered(2));
        int chosen = 0;
        wizard.setValuesFileChooser([&chosen] {
            ++chosen;
            return QString();
        });
        frmMailWiz dialog(wizard);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto *drafts = dialog.findChild<QTreeWidget *>(u"tlDrafts"_s);
        clickItem(*drafts, drafts->topLevelItem(0)->child(0));
        auto *next = dialog.findChild<QPushButton *>(u"cmdNext"_s);
        QTest::mouseClick(next, Qt::LeftButton);
        QVERIFY(next->isEnabled());
        QTest::mouseClick(next, Qt::LeftButton);
        QVERIFY(dialog.findChild<QWidget *>(u"picPage2"_s)->isVisible());
        auto *table = dialog.findChild<QTableWidget *>(u"tblValues"_s);
        QVERIFY(!table->isVisible());
        dialog.findChild<QComboBox *>(u"cboPrompt0"_s)
            ->setCurrentIndex(static_cast<int>(PromptPlan::Choice::Table));
        QVERIFY(table->isVisible());
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(table->columnCount(), 3);
        table->item(1, 2)->setText(u"Bo"_s);
        QCOMPARE(wizard.promptCell(1, u"First Name"_s), u"Bo"_s);
        QVERIFY(!dialog.findChild<QLabel *>(u"lblEmpty"_s)->text().isEmpty());
        QTest::mouseClick(dialog.findChild<QPushButton *>(u"cmdLoadValues"_s), Qt::LeftButton);
        QCOMPARE(chosen, 1);

        GetNameForm form(QString(), u"Enter value for First Name"_s);
        form.setMemberText(u"for Lee, Ann <ann@x.org>, 3 of 239"_s);
        frmGetName box(form);
        box.show();
        QVERIFY(box.findChild<QLabel *>(u"lblMember"_s)->isVisible());
        QTest::mouseClick(box.findChild<QPushButton *>(u"cmdStopRun"_s), Qt::LeftButton);
        QVERIFY(form.runStopped());
        QCOMPARE(box.result(), int(QDialog::Rejected));
    }

    void exitAsksAndNoStays()
    {
        MailWizard wizard({{u"id-1"_s, u"Spring news"_s}}, u"Drafts"_s, u"1 Members of X"_s);
        frmMailWiz dialog(wizard);
        dialog.show();
        auto *exit = dialog.findChild<QPushButton *>(u"cmdExit"_s);
        whenModal<QMessageBox>([](QMessageBox &box) { box.button(QMessageBox::No)->click(); });
        QTest::mouseClick(exit, Qt::LeftButton);
        QVERIFY(dialog.isVisible());

        whenModal<QMessageBox>([](QMessageBox &box) { box.button(QMessageBox::Yes)->click(); });
        QTest::mouseClick(exit, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    void generatorAsksPromptsAndShowsTheAccount()
    {
        auto session = std::make_shared<MemoryNamespace>();
        const auto drafts = session->addStore(u"Personal"_s)->addFolder(u"Drafts"_s);
        const auto letter = drafts->addMessage(u"News"_s, u"Dear <<Prompt=First Name>>,"_s);
        const std::vector<MailMember> members = membersNumbered(2);

        QtDialogHost dialogs(u"Corvel"_s);
        DialogPrompter prompter(dialogs);
        frmDoMsg window(u"Corvel"_s);
        MailGenerator generator(*session, window, prompter);
        QStringList captions;
        std::function<void(frmGetName &)> answer = [&](frmGetName &dialog) {
            captions << dialog.windowTitle();
            QTest::keyClicks(dialog.findChild<QLineEdit *>(u"txtData"_s),
                             u"Name%1"_s.arg(captions.size()));
            QTest::keyClick(&dialog, Qt::Key_Return);
            if (captions.size() < 2)
                whenModal<frmGetName>(answer);
        };
        whenModal<frmGetName>(answer);
        const GenerationOutcome outcome =
            generator.execute({MailType::Personal, letter->EntryID(), false}, members);

        QCOMPARE(captions.size(), 2);
        QCOMPARE(session->sent()[1].body, u"Dear Name2,"_s);

        window.showOutcome(GenerationSummary::heading(outcome),
                           GenerationSummary::lines(outcome, u"later"_s));
        auto *account = window.findChild<QPlainTextEdit *>(u"txtOutcome"_s);
        QVERIFY(account->isVisible());
        QVERIFY(!account->toPlainText().isEmpty()); // its lines: GenerationSummaryTest
        QTest::mouseClick(window.findChild<QPushButton *>(u"btnCancel"_s), Qt::LeftButton);
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(GroupMailWindowsTest)
#include "GroupMailWindowsTest.moc"
