#include "common/TreeText.h"
#include "folders/FolderTree.h"
#include "groups/GroupStore.h"
#include "session/LocalApplication.h"
#include "tree/NodeKinds.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace corvel;
using corvel::test::s;
using corvel::test::treeLines;

namespace {

void makeFile(const QString &path, const QByteArray &contents = {})
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

void makeMaildir(const QString &path)
{
    for (const char *sub : {"cur", "new", "tmp"})
        QDir().mkpath(path + QLatin1Char('/') + QString::fromLatin1(sub));
}

} // namespace

// The folder tree over real store directories, as a user's folders lie on disk.
TEST(FolderTreeLocal, BuildsFromStoreDirectories)
{
    QTemporaryDir root;
    const QString personal = root.filePath(s("personal"));
    makeFile(personal + s("/Contacts/ann.vcf"), "BEGIN:VCARD\r\nFN:Ann\r\nEND:VCARD\r\n");
    makeFile(personal + s("/Contacts/Work/.folderclass"), "IPM.Contact\n");
    makeFile(personal + s("/Contacts/Work/displayname"), "  Colleagues \n");
    makeMaildir(personal + s("/Drafts"));
    makeMaildir(personal + s("/Drafts/.Templates"));
    makeMaildir(personal + s("/Drafts/.Templates.Old"));
    makeMaildir(personal + s("/Inbox"));
    makeMaildir(personal + s("/Outbox"));
    makeFile(personal + s("/Calendar/event.ics"), "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
    makeFile(personal + s("/Calendar/Hidden/x.vcf"), "BEGIN:VCARD\r\nFN:X\r\nEND:VCARD\r\n");
    makeFile(personal + s("/.hidden/x.vcf"));
    const QString work = root.filePath(s("work"));
    makeMaildir(work + s("/Drafts"));

    LocalApplication app({{s("Personal Folders"), personal}, {s("Work"), work}}, [] {
        return LocalNamespace::Account{s("Ann Lee,,,"), s("ann")};
    });
    auto session = app.GetNamespace(s("MAPI"));
    GroupStore groups(root.filePath(s("app")), QString());
    TreeList tree;
    FolderTree builder(tree, *session, groups);
    ASSERT_TRUE(builder.loadFolderTree(true).ok());

    EXPECT_EQ(treeLines(tree),
              (QStringList{s("Personal Folders"), s("  Contacts"), s("    Colleagues"),
                           s("  Drafts"), s("    Templates"), s("      Old"), s("Work"),
                           s("  Drafts"), s("Standard Mail Groups"), s("Dynamic Mail Groups")}));
    const NodeHandle templates = tree.findByCaption(s("Templates"));
    EXPECT_EQ(nodeKind(tree, templates), NodeKind::MessageFolder);
    EXPECT_EQ(tree.picture(templates), picMessageFolder);
    EXPECT_EQ(nodeKind(tree, tree.findByCaption(s("Colleagues"))), NodeKind::ContactFolder);

    // Identifiers are stable across sessions and lead back to the same folders.
    LocalApplication again({{s("Personal Folders"), personal}, {s("Work"), work}});
    auto second = again.GetNamespace(s("MAPI"));
    const NodeHandle colleagues = tree.findByCaption(s("Colleagues"));
    auto folder = second->GetFolderFromID(tree.value(colleagues, s("EntryId")).toString(),
                                          tree.value(colleagues, s("StoreId")).toString());
    EXPECT_EQ(folder->Name(), s("Colleagues"));
}
