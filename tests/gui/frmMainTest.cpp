#include "gui/frmMain.h"
#include "fakes/MemoryApplication.h"
#include "fakes/MemoryFolder.h"
#include "fakes/MemoryItem.h"
#include "fakes/MemoryNamespace.h"
#include "fakes/ScriptedDialogHost.h"
#include "groups/MailGroups.h"
#include "gui/AppRunner.h"
#include "gui/CommandBar.h"
#include "gui/HelpWindow.h"
#include "gui/StatusBar.h"
#include "gui/TreeFindBar.h"
#include "gui/TreeListView.h"
#include "merge/MailWizard.h"
#include "presentation/MailSetupForm.h"
#include "session/OutlookSession.h"
#include "tree/NodeKinds.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <memory>
#include <optional>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

enum class Session
{
    Ready,
    CannotStart,  // the application object cannot be made
    CannotList,   // its namespace cannot be had
    StoreIsAFile, // the local store, registered on something that cannot be listed
};

std::shared_ptr<MemoryNamespace> sampleSession()
{
    auto session = std::make_shared<MemoryNamespace>();
    auto store = session->addStore(u"Personal Folders"_s);
    auto contacts = store->addFolder(u"Contacts"_s, u"IPM.Contact"_s);
    contacts->addContact(u"Bell, Ada"_s, u"ada@example.invalid"_s);
    contacts->addContact(u"Cole, Ben"_s, u"ben@example.invalid"_s);
    store->addFolder(u"Drafts"_s);
    return session;
}

// One run of the window over its own folders, with scripted dialogs.
struct Run
{
    explicit Run(Session kind = Session::Ready, const QString &root = {})
        : ownRoot(root.isEmpty() ? std::make_unique<QTemporaryDir>() : nullptr)
        , base(root.isEmpty() ? ownRoot->path() : root)
    {
        options.shippedDir = QStringLiteral(CORVEL_SHIPPED_DATA);
        options.appPath = base + u"/app"_s;
        options.configRoot = base + u"/config"_s;
        options.dataRoot = base + u"/data"_s;
        QDir().mkpath(options.appPath);
        if (kind == Session::StoreIsAFile) {
            QFile file(base + u"/not-a-folder"_s);
            (void)file.open(QIODevice::WriteOnly);
            (void)settings().saveSetting(u"Stores"_s, u"Personal Folders"_s, file.fileName());
            options.factory = Workspace::localStore(options.dataRoot);
            return;
        }
        options.factory = [kind](CRegSettings &) -> std::shared_ptr<OlApplication> {
            if (kind == Session::CannotStart)
                throw OutlookError(u"no mail system"_s);
            auto application = std::make_shared<MemoryApplication>(sampleSession());
            application->failGetNamespace(kind == Session::CannotList);
            return application;
        };
    }
    bool start()
    {
        runner = std::make_unique<AppRunner>(options, &dialogs);
        return runner->start();
    }
    frmMain &window() const { return *runner->window(); }
    CRegSettings settings() const { return CRegSettings(options.configRoot); }
    QString position() const { return settings().getSetting(u"Positions"_s, u"frmMain"_s, {}); }
    QString appFile(const QString &name) const { return options.appPath + u'/' + name; }

    std::unique_ptr<QTemporaryDir> ownRoot;
    QString base;
    AppRunner::Options options;
    ScriptedDialogHost dialogs;
    std::unique_ptr<AppRunner> runner;
};

} // namespace

class frmMainTest : public QObject
{
    Q_OBJECT

    std::optional<Run> run;
    frmMain &window() { return run->window(); }

private Q_SLOTS:
    // Each test starts with the window up over its own folders.
    void init()
    {
        run.emplace();
        QVERIFY(run->start());
    }
    void cleanup() { run.reset(); }

    void startsWithASessionAndWritesItsDataAtClose()
    {
        QVERIFY(window().isVisible());
        QVERIFY(window().SessionReady());
        QCOMPARE(window().windowTitle(), u"Corvel"_s);
        QCOMPARE(window().StatBar().caption(2), QString());
        QVERIFY(window().tools().isEnabled(u"btnNewMsg"));
        QVERIFY(window().tools().isEnabled(u"btnNewMailGrp"));
        QVERIFY(window().tools().isChecked(u"btnIncludeAll"));
        QVERIFY(window().workspace().tree().findByValue(NodeValue(u"STDMG"_s),
                                                        NodeValueName::EntryId()));
        QVERIFY(!QFile::exists(run->appFile(u"MailLists.tlx"_s)));
        // A first run opens at the default place (WindowPositionTest).
        QCOMPARE(window().size().width(), qRound(9000.0 / window().TwipsPerPixelX()));

        window().close();
        QVERIFY(QFile::exists(run->appFile(u"MailLists.tlx"_s)));
        QVERIFY(QFile::exists(run->appFile(u"mailfolders.sys"_s)));
        QVERIFY(run->dialogs.asked().isEmpty());
    }

    void startFailuresAreShownAndNothingIsWritten_data()
    {
        QTest::addColumn<Session>("session");
        QTest::addColumn<QString>("status");
        QTest::newRow("cannot start")
            << Session::CannotStart << u"Error - Unable to Start the Mail Session"_s;
        QTest::newRow("cannot list")
            << Session::CannotList << u"Error - Unable to retrieve the Mail Folders"_s;
        QTest::newRow("store cannot be listed")
            << Session::StoreIsAFile << u"Error - Unable to retrieve the Mail Folders"_s;
    }

    void startFailuresAreShownAndNothingIsWritten()
    {
        QFETCH(Session, session);
        QFETCH(QString, status);
        run.emplace(session);
        QVERIFY(run->start());
        QVERIFY(window().isVisible());
        QVERIFY(!window().SessionReady());
        QCOMPARE(window().StatBar().caption(2), status);
        QCOMPARE(window().workspace().tree().count(), 0);
        QVERIFY(!window().tools().isEnabled(u"btnNewMsg"));
        QVERIFY(!window().tools().isEnabled(u"btnNewMailGrp"));
        QVERIFY(!window().tools().isEnabled(u"btnLoadContacts"));
        // Every resize saved the place; the data files are left alone.
        window().resize(700, 500);
        const QString position = run->position();
        QVERIFY(!position.isEmpty());
        window().close();
        QVERIFY(!QFile::exists(run->appFile(u"MailLists.tlx"_s)));
        QVERIFY(!QFile::exists(run->appFile(u"mailfolders.sys"_s)));
        QCOMPARE(run->position(), position);
    }

    void closingMinimisedOrMaximisedKeepsTheNormalPlace_data()
    {
        QTest::addColumn<bool>("maximise");
        QTest::newRow("minimised") << false;
        QTest::newRow("maximised") << true;
    }

    void closingMinimisedOrMaximisedKeepsTheNormalPlace()
    {
        QFETCH(bool, maximise);
        window().setGeometry(40, 50, 640, 480);
        QTRY_VERIFY(window().size() == QSize(640, 480));
        const QString normal = run->position();
        QCOMPARE(normal, u"%1,%2,%3,%4"_s.arg(window().pos().x() * window().TwipsPerPixelX())
                             .arg(window().pos().y() * window().TwipsPerPixelY())
                             .arg(640 * window().TwipsPerPixelX())
                             .arg(480 * window().TwipsPerPixelY()));
        if (maximise)
            window().showMaximized();
        else
            window().showMinimized();
        QTRY_VERIFY(maximise ? window().isMaximized() : window().isMinimized());
        QTest::qWait(20);
        window().close();
        QCOMPARE(run->position(), normal);
        QVERIFY(QFile::exists(run->appFile(u"MailLists.tlx"_s)));
    }

    void escapeKeepsOnlyTheCurrentNode()
    {
        TreeList &tree = window().workspace().tree();
        const NodeHandle drafts = tree.findByCaption(u"Drafts"_s);
        tree.setSelected(tree.findByCaption(u"Contacts"_s), true);
        tree.setCurrent(drafts);
        tree.setSelected(drafts, true);
        QTest::keyClick(&window(), Qt::Key_Escape, Qt::ShiftModifier); // modifiers do not matter
        QCOMPARE(tree.selectedNodes(),
                 std::vector<NodeHandle>{drafts}); // the rest: TreeInteraction
    }

    void commandsAreDispatchedWithoutRegardToCase()
    {
        window().aBar_Click(u"BTNABOUT"_s);
        window().aBar_Click(u"mnuFile"_s);       // a menu title runs nothing
        window().aBar_Click(u"btnNewMailGrp"_s); // nor does the entry that opens the sub-band
        QCOMPARE(run->dialogs.asked(), QStringList{u"about"_s});

        window().aBar_Click(u"bTnHeLpStD"_s);
        QVERIFY(window().helpWindow());
        QCOMPARE(window().helpWindow()->currentPage(), u"standard-groups.html"_s);

        QList<QUrl> opened;
        frmMain::Services services{
            run->runner->workspace(), &run->dialogs, {}, [&](const QUrl &url) {
                opened << url;
                return true;
            }};
        frmMain other(services);
        other.aBar_Click(u"BTNWEBHOME"_s);
        other.aBar_Click(u"btnsendemail"_s);
        QCOMPARE(opened.size(), 2);
        QCOMPARE(opened[0].scheme(), u"https"_s);
        QCOMPARE(opened[1].scheme(), u"mailto"_s);

        // Picked from a menu band, a tool goes through the same dispatch.
        QAction *about = nullptr;
        for (QAction *action : window().aBar().actions(u"btnAbout"_s))
            about = action;
        QVERIFY(about);
        run->dialogs.clear();
        about->trigger();
        QCOMPARE(run->dialogs.asked(), QStringList{u"about"_s});
    }

    void keysAreOfferedToTheCommandBarFirst()
    {
        QSignalSpy clicks(&window().aBar(), &CommandBar::clicked);
        QTest::keyClick(&window(), Qt::Key_F1);
        QCOMPARE(clicks.size(), 1);
        QCOMPARE(clicks.at(0).at(0).toString(), u"btnHelpF1"_s);
        QVERIFY(window().helpWindow() && window().helpWindow()->isVisible());
        QCOMPARE(window().helpWindow()->currentPage(), u"index.html"_s);
        // F5 belongs to Refresh, which is off for the node selected at start.
        QVERIFY(!window().tools().isEnabled(u"btnRefresh"));
        QTest::keyClick(&window(), Qt::Key_F5);
        QCOMPARE(clicks.size(), 1);
    }

    void includeAllFlipsAndIsStored()
    {
        const int nodes = window().workspace().tree().count();
        const auto stored = [&] {
            return run->settings().getSetting(u"Parms"_s, u"LoadAll"_s, u"unset"_s);
        };
        window().aBar_Click(u"btnIncludeAll"_s);
        QVERIFY(!window().tools().isChecked(u"btnIncludeAll"));
        QCOMPARE(stored(), u"0"_s);
        for (QAction *action : window().aBar().actions(u"btnIncludeAll"_s))
            QVERIFY(!action->isChecked());
        window().aBar_Click(u"btnIncludeAll"_s);
        QCOMPARE(stored(), u"1"_s);
        QCOMPARE(window().workspace().tree().count(), nodes); // the tree waits for the next start
        QVERIFY(run->dialogs.asked().isEmpty());

        // A choice the settings file cannot keep (WorkspaceTest) is said.
        QFile settings(run->settings().filePath());
        QVERIFY(settings.open(QIODevice::Append));
        settings.write("[Broken\n");
        settings.close();
        window().aBar_Click(u"btnIncludeAll"_s);
        QCOMPARE(run->dialogs.asked().size(), 1);
        QVERIFY2(run->dialogs.asked().front().contains(u"is not closed"_s),
                 qPrintable(run->dialogs.asked().front()));
    }

    void terminationSignalStopsARunAndLeavesNothingOpen()
    {
        auto *session = dynamic_cast<MemoryNamespace *>(window().workspace().session());
        QVERIFY(session);
        session->draftsFolder()->addMessage(u"News"_s, u"Hello"_s);
        QVERIFY(window().selectPath(u"Personal Folders/Contacts"_s));
        window().aBar_Click(u"btnLoadContacts"_s);
        QTRY_VERIFY(!window().isJobRunning());
        run->dialogs.queueWizard([](MailWizard &wizard) {
            wizard.tlDrafts_Click(1);
            wizard.cmdNext_Click();
            return true;
        });
        // The signal comes while the first member's copy is being made.
        run->dialogs.setGeneratorEvents([](RecordingGeneratorWindow &, int turn) {
            if (turn == 1) {
                ::raise(SIGTERM);
                QCoreApplication::processEvents();
            }
        });
        window().aBar_Click(u"btnDoMail"_s);

        QVERIFY(!window().isVisible());
        QCOMPARE(session->sent().size(), std::size_t(1)); // the member in hand, then no more
        QCOMPARE(run->dialogs.generators().size(), std::size_t(1));
        QVERIFY(run->dialogs.generators().front().closed);
        QVERIFY(run->dialogs.generators().front().outcome.isEmpty());
    }

    void newMessageSavesADraftAndOpensIt()
    {
        const int nodes = window().workspace().tree().count();
        window().aBar_Click(u"btnNewMsg"_s);
        QCOMPARE(run->dialogs.asked().size(), 1);
        const QString asked = run->dialogs.asked().front();
        QVERIFY2(asked.startsWith(u"message: "_s), qPrintable(asked));
        const auto letter = window().workspace().session()->GetItemFromID(
            asked.mid(qsizetype(u"message: "_s.size())));
        QCOMPARE(letter->Subject(), u"Draft from Corvel"_s);
        QCOMPARE(window().workspace().tree().count(), nodes); // the tree is not refreshed
    }

    void loadContactsListsTheFolderForMail()
    {
        QVERIFY(window().selectPath(u"Personal Folders/Contacts"_s));
        const TreeList &tree = window().workspace().tree();
        QCOMPARE(nodeKind(tree, tree.at(window().selIndex())), NodeKind::ContactFolder);
        QVERIFY(window().tools().isEnabled(u"btnLoadContacts"));
        window().aBar_Click(u"btnloadcontacts"_s);
        QTRY_VERIFY(!window().isJobRunning());
        const NodeHandle folder = tree.findByCaption(u"Contacts"_s);
        QCOMPARE(tree.childCount(folder), 2);
        QVERIFY(tree.isExpanded(folder));
        QCOMPARE(window().tlMain()->shownRowCount(), tree.count() + 1); // with the heading row
        QCOMPARE(window().StatBar().caption(1), u"2 Items"_s);
        // Listed, the folder offers Refresh and Create Mail instead.
        QVERIFY(!window().tools().isEnabled(u"btnLoadContacts"));
        QVERIFY(window().tools().isEnabled(u"btnRefresh"));
        QVERIFY(window().tools().isEnabled(u"btnDoMail"));
        QVERIFY(run->dialogs.asked().isEmpty());
        window().aBar_Click(u"btnDoMail"_s); // the scripted wizard is left with Exit
        QCOMPARE(run->dialogs.asked(), QStringList{u"wizard: 2 Members of Contacts"_s});

        // F5 is Refresh while Refresh is on: the folder is read again.
        auto *session = dynamic_cast<MemoryNamespace *>(window().workspace().session());
        QVERIFY(session);
        session->store(0)->subFolders().front()->addContact(u"Dunn, Cy"_s, u"cy@example.invalid"_s);
        QTest::keyClick(&window(), Qt::Key_F5);
        QTRY_VERIFY(!window().isJobRunning());
        QCOMPARE(tree.childCount(tree.findByCaption(u"Contacts"_s)), 3);
        QCOMPARE(window().StatBar().caption(1), u"3 Items"_s);
    }

    void escapeCancelsALoadAndOnlyHelpAndAboutRunMeanwhile()
    {
        QVERIFY(window().selectPath(u"Personal Folders/Contacts"_s));
        const TreeList &tree = window().workspace().tree();
        const int nodes = tree.count();
        window().StatBar().updateCaption(1, u"7 Items"_s);
        window().aBar_Click(u"btnLoadContacts"_s);
        QVERIFY(window().isJobRunning());
        QVERIFY(!window().tools().isEnabled(u"btnNewMsg"));
        window().aBar_Click(u"btnStdMailGrp"_s); // would ask for a name
        window().aBar_Click(u"btnAbout"_s);
        QCOMPARE(run->dialogs.asked(), QStringList{u"about"_s});
        QTest::keyClick(&window(), Qt::Key_Escape);
        QTRY_VERIFY(!window().isJobRunning());
        QCOMPARE(tree.count(), nodes);
        QCOMPARE(window().StatBar().caption(1), u"7 Items"_s);
        QCOMPARE(nodeKind(tree, tree.findByCaption(u"Contacts"_s)), NodeKind::ContactFolder);
        QVERIFY(window().tools().isEnabled(u"btnLoadContacts"));
        QVERIFY(window().tools().isEnabled(u"btnNewMsg"));

        // A dynamic group's Refresh, cancelled by the mouse, leaves its members; let run, it loads
        // them.
        auto *session = dynamic_cast<MemoryNamespace *>(window().workspace().session());
        QVERIFY(session);
        for (const auto &contact : session->store(0)->subFolders().front()->items())
            contact->setCategories(u"Golf"_s);
        MailGroups groups(window().workspace().tree(), window().workspace().groups(), session);
        const auto folder = groups.sourceFolder(u"Personal Folders/Contacts"_s);
        QVERIFY(folder.ok());
        const auto made = groups.createDynamic(u"Golfers"_s, {{*folder}, u"Golf"_s, {}});
        QVERIFY(made.ok());
        QVERIFY(window().selectPath(u"Dynamic Mail Groups/Golfers"_s));
        for (const bool cancel : {true, false}) {
            window().aBar_Click(u"btnRefresh"_s);
            QVERIFY(window().isJobRunning());
            auto *stop = window().findChild<QPushButton *>(u"cancelJobButton"_s);
            QVERIFY(stop && stop->isVisibleTo(&window()));
            if (cancel)
                stop->click(); // as Escape does
            QTRY_VERIFY(!window().isJobRunning());
            QCOMPARE(groups.memberCount(*made), cancel ? 0 : 2);
            QVERIFY(!stop->isVisibleTo(&window()));
        }
        QVERIFY(
            session->remove(session->store(0)->subFolders().front()->items().front()->EntryID()));
        window().aBar_Click(u"btnVerify"_s);
        QTRY_VERIFY(!window().isJobRunning());
        QCOMPARE(run->dialogs.asked().back(), u"information: Verification Complete"_s);
        QCOMPARE(window().workspace().tree().colour(tree.firstChild(tree.at(window().selIndex()))),
                 NodeColour::DarkRed);
    }

    // Copy Contacts and Load Addresses from Text File run as jobs: cancelled, the group and
    // the counts stay; completed, the group shows its new members.
    void escapeCancelsACopyAndAnAddressListLoad()
    {
        QVERIFY(window().selectPath(u"Personal Folders/Contacts"_s));
        window().aBar_Click(u"btnLoadContacts"_s);
        QTRY_VERIFY(!window().isJobRunning());
        TreeList &tree = window().workspace().tree();
        MailGroups groups(tree, window().workspace().groups(), window().workspace().session());
        const auto made = groups.createStandard(u"Friends"_s);
        QVERIFY(made.ok());
        QFile list(run->appFile(u"list.txt"_s));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write("cy@example.invalid,Cy\r\ndee@example.invalid,Dee\r\n");
        list.close();
        const std::vector<std::pair<QString, std::function<void()>>> commands{
            {u"copy"_s,
             [&] {
                 tree.clearSelection();
                 for (const NodeHandle row : tree.children(tree.findByCaption(u"Contacts"_s)))
                     tree.setSelected(row, true);
                 window().copyToGroup(*made);
             }},
            {u"load"_s, [&] {
                 QVERIFY(window().selectPath(u"Standard Mail Groups/Friends"_s));
                 run->dialogs.queueFile(list.fileName());
                 window().aBar_Click(u"btnLoadList"_s);
             }}};
        for (const auto &[name, start] : commands) {
            for (const bool cancel : {true, false}) {
                const int before = groups.memberCount(*made);
                start();
                QVERIFY2(window().isJobRunning(), qPrintable(name));
                const QString shown = window().StatBar().caption(1);
                if (cancel)
                    QTest::keyClick(&window(), Qt::Key_Escape);
                QTRY_VERIFY(!window().isJobRunning());
                const int after = cancel ? before : before + 2;
                QCOMPARE(groups.memberCount(*made), after);
                QCOMPARE(window().StatBar().caption(1),
                         cancel ? shown : QString::number(after) + u" Items"_s);
            }
        }
    }

    void typingNarrowsTheListingAndEscapeGivesItBack()
    {
        QVERIFY(window().selectPath(u"Personal Folders/Contacts"_s));
        window().aBar_Click(u"btnLoadContacts"_s);
        QTRY_VERIFY(!window().isJobRunning());
        TreeList &tree = window().workspace().tree();
        const NodeHandle folder = tree.findByCaption(u"Contacts"_s);
        for (NodeHandle row : tree.children(folder))
            tree.setSelected(row, true);
        const int allRows = window().tlMain()->shownRowCount();

        // Typing in the tree opens the find field with what was typed; it takes the rest.
        QTest::keyClick(window().tlMain(), Qt::Key_B);
        auto *field = window().findBar()->findChild<QLineEdit *>(u"txtFind"_s);
        QVERIFY(field && !window().findBar()->isHidden());
        QTest::keyClicks(field, u"EN@"_s);
        QCOMPARE(field->text(), u"bEN@"_s);
        QCOMPARE(window().StatBar().caption(1), u"1 of 2"_s);
        QCOMPARE(window().tlMain()->shownRowCount(), allRows - 1);
        const auto named = [&](const QString &name) {
            return tree.findByValue(NodeValue(name), NodeValueName::FileAs());
        };
        QVERIFY(tree.isSelected(named(u"Cole, Ben"_s)));
        QVERIFY(!tree.isSelected(named(u"Bell, Ada"_s))); // commands skip hidden rows

        QTest::keyClick(field, Qt::Key_Escape);
        QVERIFY(window().findBar()->isHidden());
        QCOMPARE(window().tlMain()->shownRowCount(), allRows);
        QCOMPARE(window().StatBar().caption(1), u"2 Items"_s);
    }

    void mailSetupIsSavedOnlyWhenAccepted()
    {
        Run own; // over a real store, so that a store added shows in the tree
        own.options.factory = Workspace::localStore(own.options.dataRoot);
        QVERIFY(own.start());
        frmMain &window = own.window();
        TreeList &tree = window.workspace().tree();
        const auto stores = [&] { return own.settings().allSettings(u"Stores"_s).size(); };
        const auto topCaptions = [&] {
            QStringList captions;
            for (NodeHandle top : tree.children({}))
                captions << tree.caption(top);
            return captions;
        };
        const QStringList before = topCaptions();
        const QString extra = own.base + u"/extra"_s;
        QVERIFY(QDir().mkpath(extra + u"/Contacts"_s));
        own.dialogs.queueMailSetup([&](MailSetupForm &form) {
            form.addStore({u"Extra"_s, extra});
            return false;
        });
        window.aBar_Click(u"btnMailSetup"_s);
        QCOMPARE(stores(), 1); // the personal folders the first run registered
        own.dialogs.queueMailSetup([&](MailSetupForm &form) {
            form.addStore({u"Extra"_s, extra});
            form.transport().kind = MailSetupForm::TransportKind::Sendmail;
            return true;
        });
        window.aBar_Click(u"btnMailSetup"_s);
        QCOMPARE(stores(), 2);
        QCOMPARE(own.settings().getSetting(u"Transport"_s, u"Kind"_s, {}), u"sendmail"_s);
        // In the tree at once, among the stores, ahead of the groups, which stay.
        const QStringList after = topCaptions();
        QVERIFY(after.count(u"Extra"_s) == 1 && after.indexOf(u"Extra"_s) < before.size() - 1);
        QCOMPARE(after.mid(after.size() - 2), before.mid(before.size() - 2));
        QCOMPARE(own.dialogs.asked(), QStringList({u"mailsetup"_s, u"mailsetup"_s})); // no box

        // A server: registered as add-store registers one, and its first sync started.
        own.dialogs.queueMailSetup([&](MailSetupForm &form) {
            ServerStoreForm dav;
            dav.name = u"Dav"_s;
            dav.location = u"http://127.0.0.1:9/"_s;
            dav.user = u"ann"_s;
            dav.passwordCommand = u"echo s3cret"_s;
            form.addServer(dav);
            return true;
        });
        window.aBar_Click(u"btnMailSetup"_s);
        QCOMPARE(stores(), 3);
        QCOMPARE(own.settings().getSetting(u"Store Dav"_s, u"PasswordCommand"_s, {}),
                 u"echo s3cret"_s);
        QTRY_VERIFY(window.StatBar()
                        .caption(StatusPanels::ActivityPanel)
                        .startsWith(u"Dav could not be brought up to date"_s));
    }

    void aSecondInstanceIsRefused()
    {
        Run second(Session::Ready, run->base);
        QVERIFY(!second.start());
        QCOMPARE(second.dialogs.asked().size(), 1);
        QVERIFY2(second.dialogs.asked().front().startsWith(u"critical: The mail groups in"_s),
                 qPrintable(second.dialogs.asked().front()));
        QVERIFY(!second.runner->window());
        window().close();
        run->runner.reset();
        Run third(Session::Ready, run->base);
        QVERIFY(third.start());
    }

    void terminationSignalClosesLikeTheUser()
    {
        QVERIFY(window().isVisible());
        run->dialogs.keepLettersOpen(true); // no one may answer: the letters are not asked
        ::raise(SIGTERM);
        QTRY_VERIFY(!window().isVisible());
        QVERIFY(QFile::exists(run->appFile(u"MailLists.tlx"_s)));
        QCOMPARE(run->dialogs.letterClosings(), std::vector<bool>{false});
    }

    void aLetterKeptOpenKeepsTheProgramRunning()
    {
        run->dialogs.keepLettersOpen(true);
        window().aBar_Click(u"btnExit"_s);
        QVERIFY(window().isVisible());
        QVERIFY(window().tools().isVisible(u"btnExit"));
        QVERIFY(!QFile::exists(run->appFile(u"MailLists.tlx"_s))); // nothing unloaded yet
        run->dialogs.keepLettersOpen(false);
        QVERIFY(window().close());
        QVERIFY(QFile::exists(run->appFile(u"MailLists.tlx"_s)));
        QCOMPARE(run->dialogs.letterClosings(), (std::vector<bool>{true, true}));
    }

    // A session logout must not wait for someone to press OK: on a signal the reason goes to
    // standard error and to the next start's status bar instead of a message box.
    void aFailedSaveIsABoxOnlyWhenTheUserCloses()
    {
        run.reset(); // its window would take the signal too
        QTemporaryDir root;
        const auto damagedStart = [&root](Run &fresh) {
            QDir().mkpath(fresh.options.appPath);
            QFile damaged(fresh.appFile(u"MailLists.tlx"_s));
            QVERIFY(damaged.open(QIODevice::WriteOnly));
            damaged.write("not a group file");
            damaged.close();
            QVERIFY(fresh.start());
        };
        {
            Run byUser(Session::Ready, root.path());
            damagedStart(byUser);
            byUser.window().close();
            QCOMPARE(byUser.dialogs.asked().size(), 1);
            QVERIFY(byUser.dialogs.asked().front().startsWith(
                u"critical: The mail groups were not saved"_s));
        }
        {
            Run bySignal(Session::Ready, root.path());
            damagedStart(bySignal);
            ::raise(SIGTERM);
            QTRY_VERIFY(!bySignal.window().isVisible());
            QVERIFY2(bySignal.dialogs.asked().isEmpty(),
                     qPrintable(bySignal.dialogs.asked().join(u'\n')));
            QVERIFY(bySignal.settings()
                        .getSetting(u"Parms"_s, u"ShutdownProblem"_s, {})
                        .contains(u"were not saved"_s));
        }
        QVERIFY(QFile::remove(root.filePath(u"app/MailLists.tlx"_s)));
        Run next(Session::Ready, root.path());
        QVERIFY(next.start());
        QVERIFY2(next.window().StatBar().caption(2).startsWith(
                     u"When the program last closed: The mail groups were not saved"_s),
                 qPrintable(next.window().StatBar().caption(2)));
        QCOMPARE(next.settings().getSetting(u"Parms"_s, u"ShutdownProblem"_s, u"said"_s),
                 u"said"_s);
    }
};

QTEST_MAIN(frmMainTest)
#include "frmMainTest.moc"
