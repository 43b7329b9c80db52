#include "workspace/Workspace.h"
#include "common/TreeText.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace corvel;
using corvel::test::s;

namespace {

int filesIn(const QString &folder)
{
    int count = 0;
    for (const char *sub : {"/cur", "/new"})
        count +=
            static_cast<int>(QDir(folder + QString::fromLatin1(sub)).entryList(QDir::Files).size());
    return count;
}

} // namespace

// A message another program left in the Outbox goes out once a window run starts delivery,
// with nothing sent by hand in that run.
TEST(Workspace, StartingDeliverySendsWhatWaitsInTheOutbox)
{
    QTemporaryDir tmp;
    Workspace::Options options;
    options.appPath = tmp.filePath(s("app"));
    options.configRoot = tmp.filePath(s("config"));
    options.dataRoot = tmp.filePath(s("data"));
    QDir().mkpath(options.appPath);
    const QString records = tmp.filePath(s("sendmail"));
    QDir().mkpath(records);

    Workspace workspace(options);
    ASSERT_TRUE(workspace.settings().saveSetting(s("Transport"), s("Kind"), s("sendmail")));
    ASSERT_TRUE(workspace.settings().saveSetting(
        s("Transport"), s("SendmailCommand"),
        s("\"%1/fake_sendmail.sh\" \"%2\" -oi")
            .arg(QString::fromUtf8(CORVEL_TEST_DATA "/../tools"), records)));
    ASSERT_TRUE(workspace.open().statusText.isEmpty());

    const QString store = tmp.filePath(s("data/Tessary/Corvel/Personal Folders"));
    QFile queued(store + s("/Outbox/new/1700000000.left-behind.host"));
    ASSERT_TRUE(queued.open(QIODevice::WriteOnly));
    queued.write("From: Ann Lee <ann@example.org>\r\nTo: bob@example.org\r\n"
                 "Subject: Left behind\r\nMessage-ID: <left@example.org>\r\n"
                 "Date: Mon, 7 Dec 2026 00:00:00 +0000\r\n\r\nHello\r\n");
    queued.close();

    workspace.startDelivery();
    QElapsedTimer waited;
    waited.start();
    while (filesIn(store + s("/Sent Items")) == 0 && waited.elapsed() < 20000)
        QThread::msleep(50);
    EXPECT_EQ(filesIn(store + s("/Sent Items")), 1);
    EXPECT_EQ(filesIn(store + s("/Outbox")), 0);
    EXPECT_TRUE(QFile::exists(records + s("/1.msg")));
}

// One bad byte in a section header must not cost the user their stores: the run goes on
// with what could be read, says which line is bad, and writes nothing over the file.
TEST(Workspace, ASettingsFileThatDoesNotReadWholeIsUsedButNeverReplaced)
{
    QTemporaryDir root;
    Workspace::Options options;
    options.appPath = root.filePath(s("app"));
    options.configRoot = root.filePath(s("config"));
    options.dataRoot = root.filePath(s("data"));
    const QString conf = root.filePath(s("config/Tessary/Corvel.conf"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(conf).path()));
    const QByteArray damaged = "[Parms]\nLoadAll=0\n[Sto\xffres]\nMine=/home/x/mail\n";
    {
        QFile file(conf);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
    }
    Workspace workspace(options);
    const Workspace::Opened opened = workspace.open();
    EXPECT_TRUE(workspace.isSessionOpen());
    EXPECT_TRUE(opened.statusText.contains(s("line 3 cannot be read")))
        << opened.statusText.toStdString();
    EXPECT_FALSE(workspace.includeAllFolders()) << "the keys that could be read are used";
    EXPECT_FALSE(workspace.setIncludeAllFolders(true).ok());
    EXPECT_FALSE(workspace.keepShutdownProblems({s("anything")}));
    (void)workspace.save();

    QFile file(conf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), damaged);
    EXPECT_FALSE(QFileInfo::exists(root.filePath(s("data/Tessary/Corvel/Personal Folders"))));
}
