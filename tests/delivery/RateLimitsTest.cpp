#include "delivery/RateLimits.h"
#include "common/NamedCases.h"
#include "delivery/SendsLog.h"
#include "delivery/TransportSettings.h"
#include "support/CRegSettings.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <ostream>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

constexpr qint64 T = 1'700'000'000'000; // any time will do
constexpr qint64 Second = 1000;
constexpr qint64 Minute = 60 * Second;

struct LimitCase
{
    const char *name;
    RateLimits limits;
    std::vector<qint64> sentAgo; // seconds before now each earlier message went
    qint64 wait;                 // seconds from now until the next may go
    const char *why;
};

CORVEL_PRINT_BY_NAME(LimitCase)

class Limits : public ::testing::TestWithParam<LimitCase>
{
};

TEST_P(Limits, TheNextMessageWaitsForTheOldestToLeaveTheWindow)
{
    const LimitCase &c = GetParam();
    std::vector<qint64> sent;
    for (const qint64 ago : c.sentAgo)
        sent.push_back(T - ago * Second);
    QString why;
    EXPECT_EQ(c.limits.nextAllowedMs(sent, T, &why) - T, c.wait * Second);
    EXPECT_EQ(why, QString::fromUtf8(c.why));
}

INSTANTIATE_TEST_SUITE_P(
    , Limits,
    ::testing::Values(
        LimitCase{"NoLimit", {0, 0}, {0, 0, 0, 0}, 0, ""},
        LimitCase{"BelowTheMinuteLimit", {3, 0}, {10, 5}, 0, ""},
        LimitCase{"MinuteLimitReached", {3, 0}, {5, 50, 20}, 10, "limit 3 per minute"},
        // Exactly a minute old: out of the window.
        LimitCase{"OldestJustOutOfTheMinute", {2, 0}, {60, 1}, 0, ""},
        // Sends beyond the limit (another program, a lowered limit): wait for the surplus too.
        LimitCase{
            "OverTheLimitWaitsForTheSurplus", {2, 0}, {50, 40, 30, 20}, 30, "limit 2 per minute"},
        LimitCase{"HourLimitOutlastsTheMinute", {10, 3}, {3540, 1800, 10}, 60, "limit 3 per hour"},
        LimitCase{"MinuteLimitOutlastsTheHour", {2, 3}, {3590, 20, 10}, 40, "limit 2 per minute"}),
    corvel::test::ByName());

constexpr qint64 Hour = 60 * Minute;

struct DayCase
{
    const char *name;
    std::vector<std::pair<qint64, int>> sentAgo; // how long ago, to how many recipients
    int recipients;                              // of the next message
    qint64 waitMs;
};

CORVEL_PRINT_BY_NAME(DayCase)

class DayLimit : public ::testing::TestWithParam<DayCase>
{
};

// Recipients, not messages, over a sliding day: the next waits until enough of them leave it.
TEST_P(DayLimit, TheNextMessageWaitsUntilItsRecipientsFitTheDay)
{
    const DayCase &c = GetParam();
    std::vector<RateLimits::Send> sends;
    for (const auto &[ago, recipients] : c.sentAgo)
        sends.push_back({T - ago, recipients});
    std::sort(sends.begin(), sends.end());
    QString why;
    const RateLimits limits{0, 0, 10};
    EXPECT_EQ(limits.nextAllowedMs({}, sends, T, c.recipients, &why) - T, c.waitMs);
    EXPECT_EQ(why, c.waitMs > 0 ? u"limit 10 recipients per day"_s : QString());
}

INSTANTIATE_TEST_SUITE_P(
    , DayLimit,
    ::testing::Values(
        DayCase{"Fits", {{Hour, 6}}, 4, 0},
        DayCase{"OneTooMany", {{Hour, 6}, {2 * Hour, 1}}, 4, 22 * Hour},
        DayCase{"OldestLeavingIsNotEnough", {{20 * Hour, 5}, {Hour, 5}}, 6, 23 * Hour},
        DayCase{"ADayOldIsOutOfTheWindow", {{24 * Hour, 10}}, 10, 0},
        DayCase{"MoreThanADayAllowsWaitsForAnEmptyDay", {{3 * Hour, 1}, {Hour, 1}}, 25, 23 * Hour}),
    corvel::test::ByName());

struct SettingCase
{
    const char *name;
    const char *perMinute;
    const char *perHour;
    int minute;
    int hour;
    bool problem;
};

CORVEL_PRINT_BY_NAME(SettingCase)

class LimitSettings : public ::testing::TestWithParam<SettingCase>
{
};

// A value that is no count stops sending: sending unlimited could get the account blocked.
TEST_P(LimitSettings, AreCountsOrStopSendingWithTheKeyNamed)
{
    const SettingCase &c = GetParam();
    QTemporaryDir dir;
    CRegSettings settings(dir.path());
    for (const auto &[key, value] : {std::pair{u"Kind"_s, "sendmail"},
                                     {u"MaxPerMinute"_s, c.perMinute},
                                     {u"MaxPerHour"_s, c.perHour}})
        ASSERT_TRUE(settings.saveSetting(u"Transport"_s, key, QString::fromUtf8(value)));
    const TransportSettings read = TransportSettings::read(settings);
    EXPECT_EQ(std::pair(read.limits.perMinute, read.limits.perHour), std::pair(c.minute, c.hour));
    EXPECT_EQ(read.problem.contains(u"MaxPer"_s), c.problem) << read.problem.toStdString();
    EXPECT_EQ(read.problem.isEmpty(), !c.problem) << read.problem.toStdString();
}

INSTANTIATE_TEST_SUITE_P(, LimitSettings,
                         ::testing::Values(SettingCase{"Empty", "", "", 0, 0, false},
                                           SettingCase{"Zero", "0", "0", 0, 0, false},
                                           SettingCase{"Both", "30", "500", 30, 500, false},
                                           SettingCase{"Negative", "-1", "", 0, 0, true},
                                           SettingCase{"Words", "", "ten", 0, 0, true},
                                           SettingCase{"Fraction", "2.5", "", 0, 0, true}),
                         corvel::test::ByName());

class SendsLogTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path() const { return dir.path() + u'/' + SendsLog::fileName(); }
    void write(const QByteArray &bytes) const
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QByteArray contents() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

TEST_F(SendsLogTest, SendsAreReadBackAndTheHourBeforeIsDroppedOnRewrite)
{
    {
        SendsLog log(dir.path());
        ASSERT_TRUE(log.load(T).ok());
        EXPECT_TRUE(log.sentMs().empty());
        ASSERT_TRUE(log.record(T - 2 * Minute).ok());
        ASSERT_TRUE(log.record(T).ok());
        ASSERT_TRUE(log.sync().ok());
    }
    SendsLog again(dir.path());
    ASSERT_TRUE(again.load(T + 57 * Minute).ok());
    EXPECT_EQ(again.sentMs(), (std::vector<qint64>{T - 2 * Minute, T}));
    ASSERT_TRUE(again.load(T + 58 * Minute).ok());
    EXPECT_EQ(again.sentMs(), std::vector<qint64>{T});
    ASSERT_TRUE(again.load(T + 60 * Minute).ok());
    EXPECT_TRUE(again.sentMs().empty());

    // Old lines go only when they are worth a rewrite.
    QByteArray many = "#corvel-sends 1\n";
    for (int i = 0; i < 600; ++i)
        many += QByteArray::number(T - 2 * 60 * Minute + i) + " 1\n";
    many += QByteArray::number(T) + " 1\n";
    write(many);
    ASSERT_TRUE(again.load(T).ok());
    ASSERT_TRUE(again.compact().ok());
    EXPECT_EQ(contents(), "#corvel-sends 1\n" + QByteArray::number(T) + " 1\n");
}

// A crash while a line was appended leaves it cut short (or, after a machine crash, zeros): it
// is dropped, and the file is written afresh before the next line so they do not run together.
TEST_F(SendsLogTest, ALineCutShortByACrashIsDroppedAndMended)
{
    for (const QByteArray &tail : {QByteArray("17000"), QByteArray(8, '\0') + "\n"}) {
        write("#corvel-sends 1\n" + QByteArray::number(T) + " 1\n" + tail);
        SendsLog log(dir.path());
        ASSERT_TRUE(log.load(T).ok());
        EXPECT_EQ(log.sentMs(), std::vector<qint64>{T});
        ASSERT_TRUE(log.record(T + 1).ok());
        EXPECT_EQ(contents(), "#corvel-sends 1\n" + QByteArray::number(T) + " 1\n" +
                                  QByteArray::number(T + 1) + " 1\n");
    }
}

TEST_F(SendsLogTest, AFileThatIsNotASendsLogIsReportedAndNeverWritten)
{
    const QByteArray good = "#corvel-sends 1\n" + QByteArray::number(T) + " 1\n";
    for (const QByteArray &bad : {QByteArray("something else\n"), good + "12 x\n" + good.mid(16),
                                  good + "-5 1\n" + good.mid(16),
                                  good + QByteArray::number(T) + " 5000\n" + good.mid(16)}) {
        write(bad);
        SendsLog log(dir.path());
        const Status read = log.load(T);
        ASSERT_FALSE(read.ok()) << bad.toStdString();
        EXPECT_TRUE(read.error().contains(path())) << read.error().toStdString();
        EXPECT_FALSE(log.record(T).ok());
        EXPECT_FALSE(log.compact().ok());
        EXPECT_EQ(contents(), bad);
    }
}

} // namespace
} // namespace corvel
