#include "message/RecipientCopies.h"
#include "common/NamedCases.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

using Recipients = MailMessage::Recipients;

const QDateTime Now = QDateTime::fromSecsSinceEpoch(1796000000);

MailMessage plainLetter()
{
    MailMessage letter = MailMessage::blank();
    EXPECT_TRUE(letter.setFrom(u"Club <club@example.org>"_s).ok());
    EXPECT_TRUE(letter.setSubject(u"Spring meeting"_s).ok());
    letter.setBody(u"Dear member,\n\nthe spring meeting is on Friday.\n"_s);
    EXPECT_TRUE(letter.setRecipients(Recipients::To, u"Owner <owner@example.org>"_s).ok());
    return letter;
}

// 8-bit text, a long line, an attachment, and recipients of every kind already set.
MailMessage richLetter()
{
    MailMessage letter = MailMessage::blank();
    EXPECT_TRUE(letter.setSubject(u"Café für alle, wie jedes Jahr im Frühling"_s).ok());
    letter.setBody(u"Grüße,\n"_s + QString(300, u'x') + u"\n<<Prompt=Room>>\n"_s);
    EXPECT_TRUE(letter.addAttachment(u"plan.pdf"_s, QByteArray(5000, '\x7f')).ok());
    EXPECT_TRUE(letter.setRecipients(Recipients::To, u"Owner <owner@example.org>"_s).ok());
    EXPECT_TRUE(letter.setRecipients(Recipients::Cc, u"Zoë <zoe@example.org>"_s).ok());
    EXPECT_TRUE(letter.setRecipients(Recipients::Bcc, u"archive@example.org"_s).ok());
    return letter;
}

MailMessage sampleDraft()
{
    const QDir cur(QStringLiteral(CORVEL_TEST_DATA "/store/Drafts/cur"));
    const QStringList names = cur.entryList({u"*Q00000001*"_s}, QDir::Files);
    QFile file(cur.filePath(names.value(0)));
    EXPECT_TRUE(!names.isEmpty() && file.open(QIODevice::ReadOnly)) << "no sample draft";
    Result<MailMessage> parsed = MailMessage::parse(file.readAll());
    EXPECT_TRUE(parsed.ok());
    return parsed.ok() ? std::move(*parsed) : MailMessage::blank();
}

// As a file from elsewhere may be: the headers each copy gets its own of, twice.
MailMessage twiceStamped()
{
    Result<MailMessage> letter = MailMessage::parse(
        "From: club@example.org\nTo: a@example.org\nTo: b@example.org\nDate: x\nDate: y\n"
        "Message-ID: <1@x>\nMessage-ID: <2@x>\nSubject: Twice\n\nHi\n");
    EXPECT_TRUE(letter.ok());
    return letter.ok() ? std::move(*letter) : MailMessage::blank();
}

QString hundredAddresses()
{
    QStringList list;
    for (int i = 0; i < 100; ++i)
        list << u"Member Number %1 <member%1@example.org>"_s.arg(i);
    return list.join(u"; "_s);
}

// The two stamps differ between any two copies; everything else must not.
QByteArray withoutStamps(QByteArray bytes)
{
    static const QRegularExpression stamps(u"^(Message-Id|Date): [^\n]*$"_s,
                                           QRegularExpression::MultilineOption |
                                               QRegularExpression::CaseInsensitiveOption);
    return QString::fromLatin1(bytes).replace(stamps, u"\\1: stamped"_s).toLatin1();
}

QByteArray copiedAsAWhole(const MailMessage &letter, Recipients which, const QString &addresses)
{
    Result<MailMessage> copy = letter.copy();
    EXPECT_TRUE(copy.ok());
    EXPECT_TRUE(copy->setRecipients(which, addresses).ok());
    copy->stampForSending(Now, u"example.org"_s);
    Result<QByteArray> bytes = copy->fileBytes();
    EXPECT_TRUE(bytes.ok()) << bytes.error().toStdString();
    return bytes.ok() ? *bytes : QByteArray();
}

struct Case
{
    const char *name;
    MailMessage (*letter)();
    Recipients which;
    QString addresses;
};

class RecipientCopiesSameAsWholeCopies : public testing::TestWithParam<Case>
{
};

TEST_P(RecipientCopiesSameAsWholeCopies, ByteForByteButTheStamps)
{
    const Case &c = GetParam();
    const MailMessage letter = c.letter();
    Result<RecipientCopies> copies = RecipientCopies::of(letter, c.which, u"example.org"_s);
    ASSERT_TRUE(copies.ok()) << copies.error().toStdString();
    Result<MailAddressList> recipients = MailAddressList::parse(c.addresses);
    ASSERT_TRUE(recipients.ok());
    Result<QByteArray> fast = copies->fileBytes(*recipients, Now);
    ASSERT_TRUE(fast.ok()) << fast.error().toStdString();
    EXPECT_EQ(withoutStamps(*fast).toStdString(),
              withoutStamps(copiedAsAWhole(letter, c.which, c.addresses)).toStdString());

    // Each copy is a message of its own, readable, with its own Message-ID.
    Result<MailMessage> first = MailMessage::parse(*fast);
    Result<MailMessage> second = MailMessage::parse(*copies->fileBytes(*recipients, Now));
    ASSERT_TRUE(first.ok() && second.ok());
    EXPECT_FALSE(first->messageId().isEmpty());
    EXPECT_NE(first->messageId(), second->messageId());
    EXPECT_TRUE(first->messageId().endsWith(u"@example.org"_s)) << first->messageId().toStdString();
    EXPECT_EQ(first->addresses(c.which)->addresses(), recipients->addresses());
}

INSTANTIATE_TEST_SUITE_P(
    Letters, RecipientCopiesSameAsWholeCopies,
    testing::Values(
        Case{"PlainTo", plainLetter, Recipients::To, u"member0@example.org"_s},
        Case{"PlainToEncodedName", plainLetter, Recipients::To, u"Jörg Müller <j@example.org>"_s},
        Case{"PlainToIdnDomain", plainLetter, Recipients::To, u"leser@bücher.example"_s},
        Case{"PlainBccFolded", plainLetter, Recipients::Bcc, hundredAddresses()},
        Case{"RichTo", richLetter, Recipients::To, u"member0@example.org"_s},
        Case{"RichCcFolded", richLetter, Recipients::Cc, hundredAddresses()},
        Case{"RichBccReplaced", richLetter, Recipients::Bcc, u"Ann <ann@example.org>"_s},
        Case{"HeadersTwiceTo", twiceStamped, Recipients::To, u"ann@example.org"_s},
        Case{"SampleDraftTo", sampleDraft, Recipients::To, u"Ann <ann@example.org>"_s}),
    corvel::test::ByName());

TEST(RecipientCopiesTest, NoRecipientsLeavesTheHeaderOut)
{
    Result<RecipientCopies> copies = RecipientCopies::of(richLetter(), Recipients::Cc, u"x.org"_s);
    ASSERT_TRUE(copies.ok());
    Result<QByteArray> bytes = copies->fileBytes(MailAddressList(), Now);
    ASSERT_TRUE(bytes.ok());
    EXPECT_FALSE(bytes->contains("\nCc:"));
    EXPECT_TRUE(bytes->contains("\nTo: Owner <owner@example.org>\n"));
}

} // namespace
} // namespace corvel
