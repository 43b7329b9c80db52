#include "gui/LetterWindow.h"
#include "common/LocalSession.h"
#include "fakes/ScriptedDialogHost.h"
#include "gui/MergeFieldHighlighter.h"
#include "gui/QtDialogHost.h"
#include "merge/DraftsFolder.h"
#include "merge/NewLetter.h"
#include "message/MailMessage.h"
#include "presentation/GeneratorWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMimeData>
#include <QPointer>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>

#include <memory>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

// A local store in a temporary folder with one new letter in Drafts.
struct Store : test::LocalSession
{
    QString entryId =
        NewLetter::doBtnNewMsg(*application, DraftsFolder::choose(*session, {}))->EntryID();

    std::shared_ptr<OlItem> letter() const { return session->GetItemFromID(entryId); }
    QStringList drafts() const
    {
        return QDir(store + u"/Drafts/cur"_s).entryList(QDir::Files) +
               QDir(store + u"/Drafts/new"_s).entryList(QDir::Files);
    }
};

template<typename T>
T *child(QWidget &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    if (!found)
        qFatal("no child %s", qPrintable(name));
    return found;
}

void trigger(QWidget &window, const QString &action)
{
    child<QAction>(window, action)->trigger();
}

// What the highlighter gave the body's first line, as (start, length, bold).
QList<std::tuple<int, int, bool>> marked(QTextEdit &body)
{
    QList<std::tuple<int, int, bool>> ranges;
    for (const QTextLayout::FormatRange &range : body.document()->firstBlock().layout()->formats())
        ranges.append({range.start, range.length, range.format.fontWeight() == QFont::Bold});
    return ranges;
}

void dropFiles(QWidget *target, const QStringList &paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    const QPointF at(10, 10);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    QVERIFY(drop.isAccepted());
}

} // namespace

class LetterWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addressReasonShowsAsTyped()
    {
        Store store;
        ScriptedDialogHost dialogs;
        LetterWindow window(store.letter(), dialogs);
        window.show();
        QCOMPARE(child<QLabel>(window, u"from"_s)->text(), u"Ann Lee <ann@example.org>"_s);
        auto *to = child<QLineEdit>(window, u"to"_s);
        auto *error = child<QLabel>(window, u"toError"_s);
        QVERIFY(error->isHidden());
        QTest::keyClicks(to, u"bob@"_s);
        QVERIFY(!error->isHidden());
        QVERIFY(window.isWindowModified());
        QTest::keyClicks(to, u"example.org"_s);
        QVERIFY(error->isHidden());
        QCOMPARE(window.form().addresses(LetterForm::Field::To), u"bob@example.org"_s);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
    }

    void mergeFieldsAreMarkedAndPromptFieldsInsertedAtTheCursor()
    {
        Store store;
        ScriptedDialogHost dialogs;
        LetterWindow window(store.letter(), dialogs);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        auto *body = child<QTextEdit>(window, u"body"_s);
        QTest::keyClicks(body, u"Dear <<Prompt=Name>>, <<FullName>> and << not one"_s);
        using Range = std::tuple<int, int, bool>;
        QCOMPARE(marked(*body), (QList<Range>{{5, 15, true}, {22, 12, false}}));
        QCOMPARE(window.form().body(), u"Dear <<Prompt=Name>>, <<FullName>> and << not one"_s);

        body->clear();
        QTest::keyClicks(body, u"Dear ,"_s);
        QTest::keyClick(body, Qt::Key_Left);
        dialogs.queueName(u"First Name"_s);
        trigger(window, u"actionInsertPromptField"_s);
        QCOMPARE(body->toPlainText(), u"Dear <<Prompt=First Name>>,"_s);
        QCOMPARE(body->textCursor().position(), 26);
        QCOMPARE(window.form().body(), body->toPlainText());
    }

    void pastedFormattingIsSavedAsBothParts()
    {
        Store store;
        ScriptedDialogHost dialogs;
        LetterWindow window(store.letter(), dialogs);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        QTest::keyClicks(child<QLineEdit>(window, u"replyTo"_s), u"desk@example.org"_s);
        auto *body = child<QTextEdit>(window, u"body"_s);
        QTest::keyClicks(body, u"Plain "_s);
        auto *data = new QMimeData;
        data->setHtml(
            u"<p style='color:red'><b>Bold</b> <script>x()</script><ul><li>one</li></ul>"_s);
        QGuiApplication::clipboard()->setMimeData(data);
        body->paste();
        trigger(window, u"actionSave"_s);
        const std::shared_ptr<OlItem> saved = store.letter();
        QVERIFY2(saved->HTMLBody().contains(u"<b>Bold</b>"_s), qPrintable(saved->HTMLBody()));
        QVERIFY(!saved->HTMLBody().contains(u"script"_s) && !saved->HTMLBody().contains(u"red"_s));
        QCOMPARE(saved->Body(), u"Plain Bold\n- one"_s);
        QCOMPARE(saved->ReplyTo(), u"desk@example.org"_s);
    }

    // What each answer does is LetterFormTest's; here, that closing asks only while edited.
    void closingAsksOnlyWhileTheLetterIsEdited()
    {
        Store store;
        ScriptedDialogHost dialogs;
        QPointer<LetterWindow> window = new LetterWindow(store.letter(), dialogs);
        window->show();
        QTest::keyClicks(child<QLineEdit>(*window, u"subject"_s), u" for spring"_s);
        QCOMPARE(window->windowTitle(), u"Draft from Corvel for spring[*] - Letter"_s);
        QVERIFY(!window->close()); // no answer queued: Cancel
        QCOMPARE(dialogs.asked().size(), 1);
        trigger(*window, u"actionSave"_s);
        QVERIFY(!window->isWindowModified());
        QVERIFY(window->close());
        QCOMPARE(dialogs.asked().size(), 1);
        QTRY_VERIFY(window.isNull());
        QCOMPARE(store.drafts().size(), 1);
        QCOMPARE(store.letter()->Subject(), u"Draft from Corvel for spring"_s);
    }

    void droppedFilesAreAttachedAndRemoved()
    {
        Store store;
        ScriptedDialogHost dialogs;
        LetterWindow window(store.letter(), dialogs);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.show();
        auto *body = child<QTextEdit>(window, u"body"_s);
        dropFiles(body->viewport(), {store.writeFile(u"plan.txt"_s, "the plan"),
                                     store.writeFile(u"Größe.pdf"_s, "%PDF-1.4")});
        QCOMPARE(body->toPlainText(), QString()); // attached, not pasted as paths
        auto *list = child<QListWidget>(window, u"attachments"_s);
        QCOMPARE(list->count(), 2);
        QVERIFY(list->item(1)->text().startsWith(u"Größe.pdf"_s));
        list->item(0)->setSelected(true);
        trigger(window, u"actionRemoveAttachment"_s);
        QCOMPARE(list->count(), 1);
        trigger(window, u"actionSave"_s);
        const std::vector<MailAttachment> saved = store.letter()->Attachments();
        QCOMPARE(saved.size(), std::size_t(1));
        QCOMPARE(saved[0].fileName, u"Größe.pdf"_s);
        QVERIFY2(dialogs.asked().isEmpty(), qPrintable(dialogs.asked().join(u'\n')));
    }

    // On a signal nobody may be there to answer: a box would hold the program open.
    void sessionEndSavesWithoutAnyBox()
    {
        Store store;
        QtDialogHost dialogs(u"Corvel"_s);
        dialogs.setItemLookup(
            [&store](const QString &id) { return store.session->GetItemFromID(id); });
        dialogs.showMessage(store.entryId);
        dialogs.showMessage(store.entryId); // the same letter is brought forward, not opened twice
        QCOMPARE(dialogs.openLetters().size(), 1);
        QPointer<LetterWindow> window = dialogs.openLetters().front();
        QTest::keyClicks(child<QTextEdit>(*window, u"body"_s), u"kept"_s);
        QTest::keyClicks(child<QLineEdit>(*window, u"cc"_s), u"carol@"_s);
        QStringList problems;
        QVERIFY(dialogs.closeLetters(false, problems));
        QVERIFY(!window || !window->isVisible());
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems.front().contains(u"CC: "_s), qPrintable(problems.front()));
        QTRY_VERIFY(window.isNull());
        QCOMPARE(store.letter()->Body(), u"kept"_s);
        QCOMPARE(store.letter()->CC(), QString());
    }

    // The session ends while the user is being asked whether to save: the program closes the box
    // (as it does on a signal), then the letters. The letter must not stay open waiting.
    void sessionEndDuringTheQuestionClosesTheLetter()
    {
        Store store;
        QtDialogHost dialogs(u"Corvel"_s);
        dialogs.setItemLookup(
            [&store](const QString &id) { return store.session->GetItemFromID(id); });
        dialogs.showMessage(store.entryId);
        QPointer<LetterWindow> window = dialogs.openLetters().front();
        QTest::keyClicks(child<QTextEdit>(*window, u"body"_s), u"typed"_s);
        QStringList problems;
        bool closedLetters = false;
        bool asked = false;
        QTimer::singleShot(0, [&] {
            QWidget *box = QApplication::activeModalWidget();
            asked = box != nullptr;
            if (box)
                box->close();
            closedLetters = dialogs.closeLetters(false, problems);
        });
        (void)window->close();
        QVERIFY(asked);
        QVERIFY(closedLetters);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        QTRY_VERIFY(window.isNull());
        QVERIFY(dialogs.openLetters().isEmpty());
        QCOMPARE(store.letter()->Body(), u"typed"_s);
    }

    // A run started while a letter is the active window belongs to the main window: the letter
    // deletes itself when closed and would take the run's window with it.
    void aRunOutlivesTheLetterThatWasActive()
    {
        Store store;
        QMainWindow main;
        main.show();
        QtDialogHost dialogs(u"Corvel"_s);
        dialogs.setItemLookup(
            [&store](const QString &id) { return store.session->GetItemFromID(id); });
        dialogs.showMessage(store.entryId);
        QPointer<LetterWindow> letter = dialogs.openLetters().front();
        letter->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(letter));
        std::unique_ptr<GeneratorWindow> run = dialogs.openGenerator();
        run->show();
        QVERIFY(letter->close());
        QTRY_VERIFY(letter.isNull());
        run->setPercent(50);
        run->setStatus(u"still here"_s);
        run->closeWindow();
    }
};

QTEST_MAIN(LetterWindowTest)
#include "LetterWindowTest.moc"
