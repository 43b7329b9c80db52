#include "presentation/PublishGroupCommand.h"
#include "common/LocalSession.h"
#include "fakes/ScriptedDialogHost.h"
#include "groups/MailGroups.h"
#include "workspace/Workspace.h"

#include <QCoreApplication>
#include <QDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace corvel;

namespace {

// The window's publish over a real local folder: the upload's end comes back to the window's
// thread, the card's version is kept with the group, and the group file is saved.
TEST(PublishGroupCommand, PublishesOffTheWindowThreadAndKeepsTheCardsVersion)
{
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    test::LocalSession local;
    QDir().mkpath(local.store + u"/Contacts"_s);
    local.writeFile(u"store/Contacts/ann.vcf"_s,
                    "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:ann\r\nFN:Ann\r\nEMAIL:ann@example.org\r\n"
                    "END:VCARD\r\n");
    Workspace::Options options;
    options.appPath = local.tmp.filePath(u"app"_s);
    options.configRoot = local.tmp.filePath(u"config"_s);
    options.dataRoot = local.tmp.filePath(u"data"_s);
    QDir().mkpath(options.appPath);
    Workspace workspace(options, [&](CRegSettings &) {
        return std::shared_ptr<OlApplication>(std::move(local.application));
    });
    ASSERT_TRUE(workspace.open().statusText.isEmpty());
    MailGroups groups(workspace.tree(), workspace.groups(), workspace.session());
    const GroupId team = *groups.createStandard(u"Team"_s);
    ASSERT_TRUE(groups.addMember(team, u"Zed"_s, u"zed@example.org"_s).ok());

    ScriptedDialogHost dialogs;
    int saves = 0;
    PublishGroupCommand command({&workspace, &dialogs, nullptr,
                                 [&] { return workspace.tree().indexOf(groups.nodeOf(team)); },
                                 [&] { ++saves; }});
    dialogs.choosePublishTarget(0);
    command.publishSelectedGroup();
    while (command.running())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);

    const PublishedCard card = *groups.publishedCard(team);
    EXPECT_TRUE(QFile::exists(local.store + u"/Contacts/"_s + card.uid + u".vcf"_s));
    EXPECT_TRUE(card.tag.startsWith(u"sha256:"_s));
    EXPECT_EQ(saves, 1);
}

} // namespace
