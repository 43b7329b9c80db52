#include "delivery/PreparedReadAhead.h"
#include "message/MaildirFolder.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

// A folder of queued messages, every seventh one unusable (no recipient), one without a From.
class PreparedReadAheadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(MaildirFolder::create(tmp.path()).ok());
        MaildirFolder folder(tmp.path());
        for (int i = 0; i < 300; ++i) {
            QByteArray bytes = i == 5 ? "" : "From: Ann <ann@example.org>\n";
            if (i % 7 != 3)
                bytes += "To: m" + QByteArray::number(i) + "@example.org\n";
            bytes += "Subject: Note " + QByteArray::number(i) + "\n\nHello\n";
            Result<MaildirFolder::Entry> added = folder.add(bytes, QString());
            ASSERT_TRUE(added.ok());
            entries.push_back(*added);
        }
    }
    PreparedMessage direct(const MaildirFolder::Entry &entry,
                           MailTransport::LineEnds lineEnds = MailTransport::LineEnds::Crlf) const
    {
        return PreparedMessage::read(entry.path, lineEnds, sender);
    }
    static void expectSame(const PreparedMessage &a, const PreparedMessage &b)
    {
        const auto fields = [](const PreparedMessage &m) {
            return std::tie(m.problem, m.subject, m.envelope.from, m.envelope.recipients, m.bytes);
        };
        EXPECT_EQ(fields(a), fields(b));
    }

    QTemporaryDir tmp;
    QString sender = u"Bob <bob@example.org>"_s;
    std::vector<MaildirFolder::Entry> entries;
};

TEST_F(PreparedReadAheadTest, GivesWhatReadingEachMessageGives)
{
    PreparedReadAhead ahead(entries, MailTransport::LineEnds::Crlf, sender, 8);
    // In order, with gaps, one taken twice, and one not in the list at all.
    for (std::size_t i = 0; i < entries.size(); i += (i % 50 == 49 ? 3 : 1))
        expectSame(ahead.take(entries[i]), direct(entries[i]));
    expectSame(ahead.take(entries[10]), direct(entries[10]));
    MaildirFolder::Entry stranger = entries[0];
    stranger.unique = u"not-listed"_s;
    expectSame(ahead.take(stranger), direct(stranger));

    EXPECT_FALSE(direct(entries[3]).problem.isEmpty());
    EXPECT_EQ(direct(entries[5]).envelope.from, u"bob@example.org"_s);
}

TEST_F(PreparedReadAheadTest, StopsWhenDroppedMidway)
{
    for (int round = 0; round < 20; ++round) {
        PreparedReadAhead ahead(entries, MailTransport::LineEnds::Lf, sender, 4);
        expectSame(ahead.take(entries[1]), direct(entries[1], MailTransport::LineEnds::Lf));
        // Dropped here with the rest unread: the thread ends, nothing waits.
    }
}

} // namespace
} // namespace corvel
