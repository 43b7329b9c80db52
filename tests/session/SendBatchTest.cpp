#include "common/LocalSession.h"
#include "message/MaildirFolder.h"
#include "session/LocalMailbox.h"
#include "session/LocalMessageItem.h"
#include "session/OlSendBatch.h"

#include <gtest/gtest.h>

#include <QDir>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

// Send batches over a real store: the Outbox's files, and who is told.
class SendBatchTest : public ::testing::Test, protected test::LocalSession
{
protected:
    int wakes = 0;

    // Counted here instead of starting delivery.
    void SetUp() override
    {
        session->mailbox()->setQueuedListener([this] { ++wakes; });
    }
    std::shared_ptr<OlItem> letter(const QString &to)
    {
        auto item = LocalMessageItem::create(session->mailbox());
        item->setSubject(u"Meeting"_s);
        item->setBody(u"On Friday."_s);
        if (!to.isEmpty())
            item->setTo(to);
        return item;
    }
    QStringList queued() const
    {
        auto entries = MaildirFolder(store + u"/Outbox"_s).entries();
        EXPECT_TRUE(entries.ok());
        QStringList uniques;
        for (const auto &entry : *entries)
            uniques.append(entry.unique);
        return uniques;
    }
    std::unique_ptr<OlSendBatch> batchOfTwo()
    {
        auto batch = session->createSendBatch();
        batch->add(letter(u"one@example.org"_s));
        batch->add(letter(u"two@example.org"_s));
        return batch;
    }
    QStringList leftInTmp() const
    {
        return QDir(store + u"/Outbox/tmp"_s).entryList(QDir::Files | QDir::Hidden);
    }
};

TEST_F(SendBatchTest, MessagesAppearOnlyWhenCommittedAndDeliveryIsWokenOnce)
{
    auto batch = session->createSendBatch();
    std::vector<std::shared_ptr<OlItem>> items;
    for (int i = 1; i <= 3; ++i) {
        items.push_back(letter(u"m%1@example.org"_s.arg(i)));
        batch->add(items.back());
    }
    EXPECT_TRUE(queued().isEmpty());
    EXPECT_EQ(wakes, 0);

    const auto results = batch->commit();
    ASSERT_EQ(results.size(), 3u);
    QStringList ids;
    for (const auto &r : results) {
        EXPECT_TRUE(r.error.isEmpty()) << r.error.toStdString();
        ids.append(r.outboxId);
    }
    EXPECT_EQ(queued(), ids) << "the ids name the Outbox's files, in the order added";
    EXPECT_EQ(wakes, 1);
    EXPECT_TRUE(leftInTmp().isEmpty());
    EXPECT_EQ(batch->size(), 0u);
    EXPECT_THROW(items[0]->Send(), OutlookError) << "a queued message is not queued again";
    EXPECT_TRUE(batch->commit().empty());
    EXPECT_EQ(wakes, 1) << "an empty commit wakes nobody";
}

TEST_F(SendBatchTest, ARefusedMessageFailsAloneAndTheRestIsQueued)
{
    auto batch = session->createSendBatch();
    batch->add(letter(u"one@example.org"_s));
    EXPECT_THROW(batch->add(letter({})), OutlookError) << "no recipient";
    batch->add(letter(u"two@example.org"_s));
    EXPECT_EQ(batch->size(), 2u);
    EXPECT_EQ(batch->commit().size(), 2u);
    EXPECT_EQ(queued().size(), 2);
}

TEST_F(SendBatchTest, ABatchDroppedOrFailingQueuesNothingAndLeavesNothing)
{
    (void)batchOfTwo();
    EXPECT_TRUE(queued().isEmpty());
    EXPECT_TRUE(leftInTmp().isEmpty());

    auto batch = batchOfTwo();
    // The Outbox loses its cur/ under the batch: nothing can be filed.
    ASSERT_TRUE(QDir(store + u"/Outbox/cur"_s).removeRecursively());
    EXPECT_THROW((void)batch->commit(), OutlookError);
    ASSERT_TRUE(QDir().mkpath(store + u"/Outbox/cur"_s));
    EXPECT_TRUE(queued().isEmpty());
    EXPECT_TRUE(leftInTmp().isEmpty());
    EXPECT_EQ(wakes, 0);
}

} // namespace
} // namespace corvel
