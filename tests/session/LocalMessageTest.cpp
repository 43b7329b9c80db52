#include "message/MailMessage.h"
#include "session/LocalApplication.h"
#include "session/LocalNamespace.h"
#include "support/CRegSettings.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

// A copy of the committed sample store (its Drafts), in a temporary folder.
class LocalMessageTest : public ::testing::Test
{
protected:
    QTemporaryDir tmp;
    QString store;
    std::unique_ptr<CRegSettings> settings;
    std::unique_ptr<LocalApplication> app;
    std::shared_ptr<OlNamespace> session;

    void SetUp() override
    {
        store = tmp.path() + u"/store"_s;
        copyTree(QStringLiteral(CORVEL_TEST_DATA "/store/Drafts"), store + u"/Drafts"_s);
        settings = std::make_unique<CRegSettings>(tmp.path() + u"/config"_s);
        ASSERT_TRUE(
            settings->saveSetting(u"Transport"_s, u"From"_s, u"Ann Lee <ann@example.org>"_s));
        open();
    }
    void open()
    {
        session.reset();
        app.reset();
        app = std::make_unique<LocalApplication>(
            std::vector<LocalStore>{{u"Personal Folders"_s, store}},
            [] {
                return LocalNamespace::Account{u"Ann Lee,,,"_s, u"ann"_s};
            },
            settings.get());
        session = app->GetNamespace(u"MAPI"_s);
    }
    static void copyTree(const QString &from, const QString &to)
    {
        QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        for (const QString &part : {u"cur"_s, u"new"_s, u"tmp"_s})
            ASSERT_TRUE(QDir().mkpath(to + u'/' + part));
        while (it.hasNext()) {
            const QString file = it.next();
            ASSERT_TRUE(QFile::copy(file, to + file.mid(from.size())));
        }
    }
    std::shared_ptr<OlFolder> folder(const QString &name)
    {
        for (const auto &f : session->Folders().at(0)->Folders())
            if (f->Name() == name)
                return f;
        return nullptr;
    }
    QStringList files(const QString &folderName, const QString &part = u"cur"_s) const
    {
        return QDir(store + u'/' + folderName + u'/' + part).entryList(QDir::Files);
    }
    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray contents(const QString &path)
    {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
};

TEST_F(LocalMessageTest, ListsDraftsInOrderAndFindsThemAgain)
{
    const auto items = folder(u"Drafts"_s)->Items();
    ASSERT_EQ(items.size(), 3u);
    QStringList subjects;
    for (const auto &item : items) {
        EXPECT_EQ(item->Class(), olMailItem);
        subjects << item->Subject();
    }
    EXPECT_EQ(subjects,
              (QStringList{u"Spring newsletter"_s, u"Programme für the autumn"_s, u"Reminder"_s}));
    // The id survives a change of flags (another program marking it seen).
    const QString id = items[0]->EntryID();
    const QString name = files(u"Drafts"_s).filter(u"Q00000001"_s).first();
    ASSERT_TRUE(
        QFile::rename(store + u"/Drafts/cur/"_s + name, store + u"/Drafts/cur/"_s + name + u"S"_s));
    open();
    const auto again = session->GetItemFromID(id);
    EXPECT_EQ(again->Subject(), u"Spring newsletter"_s);
    EXPECT_THROW((void)again->FileAs(), OutlookError);
    EXPECT_THROW((void)session->GetItemFromID(id + u"X"_s), OutlookError);
}

TEST_F(LocalMessageTest, ListingReadsOnlyTheHeaders)
{
    // A draft whose body is unreadable garbage still lists with its subject.
    write(store + u"/Drafts/cur/1800000000.M000001P1Q00000001.x:2,D"_s,
          "Subject: Big one\nContent-Type: multipart/mixed; boundary=b\n\n" +
              QByteArray(8 << 20, 'z'));
    const auto items = folder(u"Drafts"_s)->Items();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items.back()->Subject(), u"Big one"_s);
}

TEST_F(LocalMessageTest, CreateSaveAndSaveAgainOverTheSameFile)
{
    const auto item = app->CreateItem(0);
    EXPECT_EQ(item->EntryID(), QString());
    item->setSubject(u"New letter"_s);
    item->setBody(u"Dear <<Prompt=First Name>>,\nhello.\n"_s);
    item->Save();
    const QStringList saved = files(u"Drafts"_s);
    ASSERT_EQ(saved.size(), 3);
    const QString name =
        saved.filter(u"P"_s + QString::number(QCoreApplication::applicationPid())).value(0);
    ASSERT_TRUE(name.endsWith(u":2,D"_s)) << name.toStdString();
    EXPECT_TRUE(QDir(store + u"/Drafts/tmp"_s).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(
        contents(store + u"/Drafts/cur/"_s + name).contains("From: Ann Lee <ann@example.org>"));

    item->setSubject(u"New letter, revised"_s);
    item->Save();
    EXPECT_EQ(files(u"Drafts"_s).size(), 3);
    EXPECT_EQ(session->GetItemFromID(item->EntryID())->Subject(), u"New letter, revised"_s);

    // Found by the place saveIn gave the catalog, not by listing the stores.
    const auto other = app->CreateItem(0);
    other->setSubject(u"Second"_s);
    other->saveIn(*folder(u"Drafts"_s));
    EXPECT_EQ(session->GetItemFromID(other->EntryID())->Subject(), u"Second"_s);
}

TEST_F(LocalMessageTest, CopyIsIndependentAndSendQueuesACompleteMessage)
{
    const auto letter = folder(u"Drafts"_s)->Items().at(1);
    const auto copy = letter->Copy();
    copy->setBody(u"Hello Bob,\n"_s);
    copy->setTo(u"Bob <bob@example.org>; carol@example.org"_s);
    copy->setCC(u"dave@example.org"_s);
    copy->setBCC(u"hidden@example.org"_s);
    EXPECT_TRUE(letter->Body().contains(u"<<Prompt=First Name>>"_s));

    ASSERT_FALSE(QDir(store + u"/Outbox"_s).exists());
    copy->Send();
    const QStringList queued = files(u"Outbox"_s);
    ASSERT_EQ(queued.size(), 1);
    EXPECT_TRUE(queued[0].endsWith(u":2,"_s));
    const QByteArray bytes = "\n" + contents(store + u"/Outbox/cur/"_s + queued[0]);
    for (const char *header : {"\nMessage-Id: <", "\nDate: ", "\nFrom: Ann Lee <ann@example.org>",
                               "\nCc: dave@example.org", "\nBcc: hidden@example.org"})
        EXPECT_TRUE(bytes.contains(header)) << header << "\n" << bytes.left(600).toStdString();
    // The letter stays a draft; the sent copy can no longer change.
    EXPECT_EQ(files(u"Drafts"_s).size() + files(u"Drafts"_s, u"new"_s).size(), 3);
    EXPECT_THROW(copy->setSubject(u"x"_s), OutlookError);
    EXPECT_THROW(copy->Send(), OutlookError);
}

TEST_F(LocalMessageTest, AttachmentsAreSavedCopiedAndQueuedWithTheLetter)
{
    const QString path = tmp.filePath(u"plan.txt"_s);
    write(path, "the plan\n");
    const auto letter = app->CreateItem(0);
    EXPECT_EQ(letter->From(), u"Ann Lee <ann@example.org>"_s);
    letter->AddAttachment(path);
    EXPECT_THROW(letter->AddAttachment(tmp.filePath(u"missing"_s)), OutlookError);
    letter->Save();
    const auto saved = session->GetItemFromID(letter->EntryID());
    ASSERT_EQ(saved->Attachments().size(), 1u);
    EXPECT_EQ(saved->Attachments()[0].fileName, u"plan.txt"_s);

    // Each generated copy starts from Copy(): the file goes with it to the Outbox.
    const auto copy = saved->Copy();
    copy->setTo(u"bob@example.org"_s);
    copy->Send();
    const QStringList queued = files(u"Outbox"_s);
    ASSERT_EQ(queued.size(), 1);
    const auto inOutbox = MailMessage::parse(contents(store + u"/Outbox/cur/"_s + queued[0]));
    ASSERT_TRUE(inOutbox.ok());
    ASSERT_EQ(inOutbox->attachments().size(), 1u);
    EXPECT_EQ(*inOutbox->attachmentContent(0), QByteArray("the plan\n"));

    saved->RemoveAttachment(0);
    EXPECT_THROW(saved->RemoveAttachment(0), OutlookError);
    saved->Save();
    EXPECT_TRUE(session->GetItemFromID(letter->EntryID())->Attachments().empty());
}

TEST_F(LocalMessageTest, SendRefusesAMessageWithoutRecipientsOrWithUnsafeText)
{
    const auto item = app->CreateItem(0);
    EXPECT_THROW(item->Send(), OutlookError);
    EXPECT_THROW(item->setTo(u"a@example.org\r\nBcc: evil@example.org"_s), OutlookError);
    EXPECT_THROW(item->setSubject(u"=?utf-8?q?x=0D=0ABcc:_evil@example.org?="_s), OutlookError);
    EXPECT_FALSE(QDir(store + u"/Outbox"_s).exists());
}

TEST_F(LocalMessageTest, SenderFallsBackToTheAccount)
{
    ASSERT_TRUE(settings->deleteSetting(u"Transport"_s, u"From"_s));
    const auto item = app->CreateItem(0);
    item->setTo(u"bob@example.org"_s);
    item->Send();
    const QByteArray bytes = contents(store + u"/Outbox/cur/"_s + files(u"Outbox"_s).value(0));
    EXPECT_TRUE(bytes.contains("From: Ann Lee <ann@")) << bytes.toStdString();
}

} // namespace
} // namespace corvel
