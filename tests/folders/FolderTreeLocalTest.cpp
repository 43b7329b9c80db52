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

// The folder tree over real store directories, as a user's folders lie on disk. How a store
// reads its directories is the session's to test; here: the tree makes sense of what it reads.
TEST(FolderTreeLocal, BuildsFromStoreDirectories)
{
    QTemporaryDir root;
    const QString personal = root.filePath(s("personal"));
    makeFile(personal + s("/Contacts/ann.vcf"), "BEGIN:VCARD\r\nFN:Ann\r\nEND:VCARD\r\n");
    makeFile(personal + s("/Contacts/Work/.folderclass"), "IPM.Contact\n");
    makeFile(personal + s("/Contacts/Work/displayname"), "Colleagues\n");
    makeMaildir(personal + s("/Drafts"));
    makeMaildir(personal + s("/Drafts/.Templates"));
    makeMaildir(personal + s("/Inbox"));
    makeFile(personal + s("/Calendar/Hidden/x.vcf"), "BEGIN:VCARD\r\nFN:X\r\nEND:VCARD\r\n");

    LocalApplication app({{s("Personal Folders"), personal}});
    GroupStore groups(root.filePath(s("app")), QString());
    TreeList tree;
    ASSERT_TRUE(FolderTree(tree, *app.GetNamespace(s("MAPI")), groups).loadFolderTree(true).ok());
    EXPECT_EQ(treeLines(tree), (QStringList{s("Personal Folders"), s("  Contacts"),
                                            s("    Colleagues"), s("  Drafts"), s("    Templates"),
                                            s("Standard Mail Groups"), s("Dynamic Mail Groups")}));
    EXPECT_EQ(nodeKind(tree, tree.findByCaption(s("Templates"))), NodeKind::MessageFolder);
    EXPECT_EQ(nodeKind(tree, tree.findByCaption(s("Colleagues"))), NodeKind::ContactFolder);
}
