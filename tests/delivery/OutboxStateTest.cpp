#include "delivery/OutboxState.h"
#include "common/NamedCases.h"
#include "support/ProcessOwner.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

// Who wrote the batch list: this boot or another, a process alive or gone, with the sync rule
// or without (an earlier version), or a bare list of names (older still).
enum class Writer
{
    DeadThisBoot,
    AliveThisBoot,
    OtherBootSynced,
    OtherBootUnsynced,
    NamesOnly
};

// The journal of a batch of the messages a b c d, as a killed delivery pass left it. In
// `journal`, ">a" stands for "> a", "+c" for "+ c", "=a failed" for an outcome line with that
// state and "~a queued" for one with more to follow; a line with its space is kept as it is.
// `expected` gives, for a b c d, the state each is left in (q: queued or no record, f, h, s) or "-"
// for still in hand.
struct JournalCase
{
    const char *name;
    Writer writer;
    const char *journal;
    const char *expected;
    const char *present = "abcd";
};

CORVEL_PRINT_BY_NAME(JournalCase)

class BatchJournal : public ::testing::TestWithParam<JournalCase>
{
protected:
    static QByteArray expanded(const QByteArray &journal)
    {
        QByteArray out;
        for (const QByteArray &line : journal.split('\n')) {
            if (line.size() < 2 || line[1] == ' ')
                out += line;
            else if (line.startsWith('=') || line.startsWith('~'))
                out += line.left(1) + ' ' + line.mid(1, 1) + R"( {"state":")" + line.mid(3) +
                       R"(","reason":"554 no"})";
            else
                out += line.left(1) + ' ' + line.mid(1);
            out += '\n';
        }
        return out;
    }
    static qint64 deadPid()
    {
        QProcess gone;
        gone.start(u"/bin/true"_s);
        gone.waitForFinished(10000);
        return gone.processId();
    }
    static QByteArray header(Writer writer)
    {
        const auto thisBoot = [](qint64 pid) {
            return "#corvel-batch boot=" + ProcessOwner::currentBootId() +
                   " pid=" + QByteArray::number(pid) + " sync=100\n";
        };
        switch (writer) {
        case Writer::DeadThisBoot:
            return thisBoot(deadPid());
        case Writer::AliveThisBoot:
            return thisBoot(QCoreApplication::applicationPid());
        case Writer::OtherBootSynced:
            return "#corvel-batch boot=another pid=1 sync=100\n";
        case Writer::OtherBootUnsynced:
            return "#corvel-batch boot=another pid=1\n";
        case Writer::NamesOnly:
            return {};
        }
        return {};
    }
};

TEST_P(BatchJournal, EachListedMessageTakesItsRecordedOutcomeOrIsHeldWhenItMayHaveGone)
{
    const JournalCase &c = GetParam();
    QTemporaryDir dir;
    const QString sending = dir.filePath(OutboxState::sendingFileName());
    QFile file(sending);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(header(c.writer) + "a\nb\nc\nd\n" + expanded(c.journal));
    file.close();
    QSet<QString> present;
    for (const char *p = c.present; *p; ++p)
        present.insert(QString(QChar::fromLatin1(*p)));
    const bool live = c.writer == Writer::AliveThisBoot;
    OutboxState state(dir.path());
    using enum OutboxState::Recovery;
    ASSERT_TRUE(state.load(present, live ? Preview : Recover).ok());

    QString actual;
    for (const QString &name : {u"a"_s, u"b"_s, u"c"_s, u"d"_s}) {
        const OutboxState::Record *record = state.find(name);
        actual += state.inHand().contains(name) ? u"-"_s
                  : record                      ? OutboxState::stateName(record->state).left(1)
                                                : u"q"_s;
    }
    EXPECT_EQ(actual, QString::fromLatin1(c.expected));
    // Taken in, the list is gone; a batch still in hand, or only looked at, is left alone.
    EXPECT_EQ(QFile::exists(sending), live);
    if (!live) {
        OutboxState again(dir.path());
        ASSERT_TRUE(again.load(present).ok());
        EXPECT_EQ(again.records().size(), state.records().size()) << "the outcomes were kept";
    }
}

INSTANTIATE_TEST_SUITE_P(
    , BatchJournal,
    ::testing::Values(JournalCase{"AnsweredKeepsItsOutcomeInFlightIsHeldUntouchedGoes",
                                  Writer::DeadThisBoot, ">a\n=a failed\n>b", "fhqq"},
                      JournalCase{"SentIsKeptForFiling", Writer::DeadThisBoot, ">a\n=a sent",
                                  "sqqq"},
                      JournalCase{"DataLeftAgainAfterAPartialOutcomeIsHeld", Writer::DeadThisBoot,
                                  ">a\n~a queued\n>a", "hqqq"},
                      JournalCase{"AnOutcomeLineCutShortIsNoReply", Writer::DeadThisBoot,
                                  ">a\n= a {\"sta", "hqqq"},
                      JournalCase{"MessagesNoLongerInTheOutboxAreForgotten", Writer::DeadThisBoot,
                                  ">a\n=a failed\n>b", "qhqq", "bcd"},
                      JournalCase{"ALiveWriterKeepsWhatIsNotFinal", Writer::AliveThisBoot,
                                  ">a\n=a failed\n>b", "q---"},
                      JournalCase{"AnotherBootHoldsOnlyWithinTheDurableMark",
                                  Writer::OtherBootSynced, "+c\n>a\n=a failed\n>b", "fhhq"},
                      JournalCase{"AnotherBootWithoutADurableMarkSentNothing",
                                  Writer::OtherBootSynced, "", "qqqq"},
                      JournalCase{"AnotherBootWithoutTheSyncRuleHoldsAllUnsettled",
                                  Writer::OtherBootUnsynced, ">a\n=a sent\n>b\n~c queued", "shhh"},
                      JournalCase{"ANamesOnlyListIsHeldWhole", Writer::NamesOnly, "", "hhhh"}),
    corvel::test::ByName());

} // namespace
} // namespace corvel
