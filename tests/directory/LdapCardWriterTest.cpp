#include "directory/LdapCardWriter.h"
#include "common/NamedCases.h"
#include "vcard/VCardReader.h"

#include <gtest/gtest.h>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

const QString Dn = u"uid=p1,ou=people,dc=example,dc=org"_s;
const QString DnUuid = u"3826cf64-fe25-5a27-9b50-b718b4c6e1d9"_s; // Python's uuid5 agrees
const QByteArray LongName = QByteArray("Ünïcødé ").repeated(12).trimmed();

// What the vCard reader reads back from the card written for an entry.
struct Row
{
    const char *name;
    QHash<QByteArray, QByteArrayList> attributes;
    QString fileAs;
    QString email1;
    QString categories{};
    QString uid = DnUuid;
};
CORVEL_PRINT_BY_NAME(Row)

class LdapCardWriterRoundTrip : public ::testing::TestWithParam<Row>
{
};

TEST_P(LdapCardWriterRoundTrip, ReadsBackAsTheContact)
{
    const Row &row = GetParam();
    const auto card = LdapCardWriter(u"businessCategory"_s).write({Dn, row.attributes});
    ASSERT_TRUE(card.has_value());
    for (const QByteArray &line : card->vcard.split('\n'))
        EXPECT_LE(line.size(), 76) << line.toStdString(); // 75 octets and the CR
    const std::vector<VCardContact> read = VCardReader::read(card->vcard);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0], (VCardContact{row.fileAs, row.email1, row.categories, false, row.uid}));
    EXPECT_EQ(card->uid, row.uid);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, LdapCardWriterRoundTrip,
    ::testing::Values(
        Row{"NameFromSnAndGivenName",
            {{"sn", {"Doe"}},
             {"givenname", {"Jane"}},
             {"mail", {" ", "j@x.org", "d@x.org"}},
             {"businesscategory", {"A,B", "C"}},
             {"entryuuid", {"0A1B2C3D-0000-4000-8000-00000000000F"}}},
            u"Doe, Jane"_s,
            u"j@x.org"_s,
            u"A,B, C"_s,
            u"0a1b2c3d-0000-4000-8000-00000000000f"_s},
        Row{"EscapedCnAndNotAUuid",
            {{"cn", {"Smith; John \\ Jr\r\nII"}}, {"mail", {"s@x.org"}}, {"entryuuid", {"x"}}},
            u"Smith; John \\ Jr II"_s,
            u"s@x.org"_s},
        Row{"LongUtf8NameFolded",
            {{"displayname", {LongName}}, {"cn", {"x"}}, {"mail", {"u@x.org"}}},
            QString::fromUtf8(LongName),
            u"u@x.org"_s},
        Row{"OnlyMail", {{"mail", {"m@x.org"}}}, u"m@x.org"_s, u"m@x.org"_s}),
    test::ByName());

TEST(LdapCardWriter, WritesEveryFieldInOneFixedForm)
{
    const LdapEntry entry{Dn,
                          {{"displayname", {"Dr. Jane Doe"}},
                           {"sn", {"Doe"}},
                           {"givenname", {"Jane"}},
                           {"mail", {"jane@x.org", "jd@x.org"}},
                           {"o", {"Acme, Inc."}},
                           {"title", {"Chief"}},
                           {"dept", {"R&D"}}}};
    EXPECT_EQ(LdapCardWriter(u"dept"_s).write(entry)->vcard,
              "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:3826cf64-fe25-5a27-9b50-b718b4c6e1d9\r\n"
              "FN:Dr. Jane Doe\r\nN:Doe;Jane;;;\r\nEMAIL;TYPE=INTERNET,PREF:jane@x.org\r\n"
              "EMAIL;TYPE=INTERNET:jd@x.org\r\nORG:Acme\\, Inc.\r\nTITLE:Chief\r\n"
              "CATEGORIES:R&D\r\nEND:VCARD\r\n");
    EXPECT_FALSE(LdapCardWriter(u"dept"_s).write({Dn, {{"cn", {"No Mail"}}}}).has_value());
}

} // namespace
