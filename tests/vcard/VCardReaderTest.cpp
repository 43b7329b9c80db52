#include "vcard/VCardReader.h"
#include "vcard/VCardLineReader.h"
#include "vcard/VCardProperty.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <array>
#include <tuple>
#include <vector>

using namespace Qt::StringLiterals;

namespace corvel {

void PrintTo(const VCardContact &c, std::ostream *os)
{
    *os << '{' << c.fileAs.toStdString() << " | " << c.email1Address.toStdString() << " | "
        << c.categories.toStdString() << (c.isGroup ? " | group" : "") << '}';
}

namespace {

QByteArray dataFile(const char *name)
{
    QFile file(QStringLiteral(CORVEL_TEST_DATA "/vcard/") + QString::fromLatin1(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Each data file and the contacts read from it.
const std::pair<const char *, std::vector<VCardContact>> goldenFiles[] = {
    {"v21-qp-charset.vcf",
     {{u"Müller, Jürgen Karl"_s, u"jm@example.de"_s, u"Geschäftlich, Schützenverein"_s},
      {u"Dvořák, Antonín"_s, u"anton@example.cz"_s, {}},
      {u"Bad\uFFFDByte, Ann"_s, u"ann@example.org"_s, {}}}},
    {"v30-folded-escapes.vcf",
     {{u"O'Neil;Smith, Mary Ann Jo Beth"_s, u"preferred@example.org"_s,
       u"Smith, Jones, Board, Tennis\\Club"_s}}},
    {"v40-pref.vcf", {{u"Ng, Zoë"_s, u"one@example.org"_s, u"Family"_s}}},
    {"bom-crlf.vcf", {{u"Łukasz Żak"_s, u"lukasz@example.pl"_s, {}}}},
    {"multi.vcf",
     {{u"Lee, Ann"_s, u"ann@example.org"_s, {}},
      {u"Ann (work)"_s, u"ann.lee@work.example"_s, {}},
      {u"Acme Widgets, Inc."_s, u"sales@acme.example"_s, {}},
      {u"Lee"_s, {}, {}},
      {u"Ann"_s, {}, {}}}},
    {"missing-end.vcf",
     {{u"Cut Short"_s, u"cut@example.org"_s, {}},
      {u"Agent, Owner"_s, u"owner@example.org"_s, {}},
      {u"Last One"_s, u"last@example.org"_s, {}}}},
    {"broken-lines.vcf", {{u"Quote Person"_s, u"quoted@example.org"_s, u"Solo"_s}}},
    {"garbage.vcf", {}},
};

TEST(VCardGoldenTest, ReadsTheContactsOfEachFile)
{
    for (const auto &[file, expected] : goldenFiles) {
        SCOPED_TRACE(file);
        const QByteArray data = dataFile(file);
        ASSERT_FALSE(data.isEmpty());
        EXPECT_EQ(VCardReader::read(data), expected);
    }
    const QStringList files =
        QDir(QStringLiteral(CORVEL_TEST_DATA "/vcard")).entryList({u"*.vcf"_s}, QDir::Files);
    EXPECT_EQ(files.size(), qsizetype(std::size(goldenFiles))) << "a data file is not in the table";
}

// Values reach mail headers: nothing a card encodes may come out as a line break or NUL.
TEST(VCardReaderTest, EncodedLineBreaksNeverSurviveIntoValues)
{
    const char *const payloads[] = {
        "FN:Ann\\nBcc: evil@example.net",
        "FN:Ann\\NBcc: evil@example.net",
        "FN;ENCODING=QUOTED-PRINTABLE:Ann=0D=0ABcc: evil@example.net",
        "FN;ENCODING=QUOTED-PRINTABLE:Ann=0ABcc:=00evil=0D",
        "FN;ENCODING=B:QW5uDQpCY2M6IGV2aWxAZXhhbXBsZS5uZXQ=",
        "FN;CHARSET=UTF-16LE;ENCODING=QUOTED-PRINTABLE:A=00=0D=00=0A=00B=00",
        "FN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Ann=E2=80=A8Bcc=C2=85x",
        "EMAIL:ann@example.org\\r\\nBcc: evil@example.net",
        "EMAIL;ENCODING=QUOTED-PRINTABLE:ann@example.org=0D=0ABcc: evil@example.net",
        "EMAIL;ENCODING=QUOTED-PRINTABLE:ann@example.org=0D=0A=0D=0Abody",
        "CATEGORIES:A\\nBcc: evil@example.net,B",
        "CATEGORIES;ENCODING=QUOTED-PRINTABLE:A=0D=0ABcc: x,=00",
        "X-EVOLUTION-FILE-AS:Lee\\, Ann\\nTo: evil@example.net",
        "N;ENCODING=QUOTED-PRINTABLE:Lee=0A;Ann=0D;;;",
        "ORG;ENCODING=QUOTED-PRINTABLE:Acme=0D=0AX: y",
    };
    for (const char *payload : payloads) {
        SCOPED_TRACE(payload);
        const std::vector<VCardContact> contacts = VCardReader::read(
            "BEGIN:VCARD\r\nVERSION:2.1\r\n" + QByteArray(payload) + "\r\nEND:VCARD\r\n");
        ASSERT_EQ(contacts.size(), 1u);
        const VCardContact &c = contacts.front();
        const QRegularExpression control(u"[\\x00-\\x1f\\x7f\\x{85}\\x{2028}]"_s);
        for (const QString &value : {c.fileAs, c.email1Address, c.categories})
            EXPECT_FALSE(value.contains(control)) << value.toStdString();
        EXPECT_FALSE(c.fileAs.isEmpty() && c.email1Address.isEmpty() && c.categories.isEmpty());
    }
}

TEST(VCardLineReaderTest, UnfoldsAndSplitsLines)
{
    const std::tuple<const char *, QByteArray, QList<QByteArray>> cases[] = {
        {"lf", "A:1\nB:2\n", {"A:1", "B:2"}},
        {"crlf and lone cr", "A:1\r\nB:2\rC:3", {"A:1", "B:2", "C:3"}},
        {"fold by space or tab", "A:1\r\n 2\r\n\t3\nB:x", {"A:123", "B:x"}},
        {"fold keeps further spaces", "A:one\n  two", {"A:one two"}},
        {"empty lines skipped", "\n\r\n\nA:1\n\n", {"A:1"}},
        {"bom", "\357\273\277A:1", {"A:1"}},
        {"soft break",
         "A;ENCODING=QUOTED-PRINTABLE:x=\r\n y=\r\nz\r\nB:2",
         {"A;ENCODING=QUOTED-PRINTABLE:x yz", "B:2"}},
        {"2.1 bare encoding", "A;quoted-printable:x=\n=41\n", {"A;quoted-printable:x=41"}},
        {"= is data without qp", "A:x=\nB:y", {"A:x=", "B:y"}},
        {"qp marker in the value only", "A:QUOTED-PRINTABLE=\nB:y", {"A:QUOTED-PRINTABLE=", "B:y"}},
        {"soft break last", "A;ENCODING=QUOTED-PRINTABLE:x=", {"A;ENCODING=QUOTED-PRINTABLE:x="}},
        {"leading fold", " A:1", {" A:1"}},
    };
    for (const auto &[name, input, expected] : cases) {
        SCOPED_TRACE(name);
        VCardLineReader reader(input);
        QList<QByteArray> lines;
        QByteArrayView line;
        while (reader.next(line))
            lines.append(line.toByteArray());
        EXPECT_EQ(lines, expected);
    }
}

TEST(VCardPropertyTest, TakesALineApart)
{
    // line, group, name, value, the TYPE values joined by "|"
    const std::array<const char *, 5> cases[] = {
        {"EMAIL:a@b", "", "EMAIL", "a@b", ""},
        {"item1.EMAIL;TYPE=work,pref:a@b", "item1", "EMAIL", "a@b", "work|pref"},
        {"EMAIL;type=\"home,work\";TYPE=x:a@b", "", "EMAIL", "a@b", "home,work|x"},
        {"EMAIL;INTERNET;PREF;QUOTED-PRINTABLE:a=40b", "", "EMAIL", "a=40b", "INTERNET|PREF"},
        {"X-A;P=\"a;b:c\";TYPE=t:v:w", "", "X-A", "v:w", "t"},
        {"FN;X=\"open:rest", "", "FN", "rest", ""},
        {" FN : spaced", "", "FN", " spaced", ""},
        {"FN:", "", "FN", "", ""},
    };
    for (const auto &[line, group, name, value, type] : cases) {
        SCOPED_TRACE(line);
        const auto p = VCardProperty::parse(line);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->group(), QByteArrayView(group));
        EXPECT_EQ(p->name(), QByteArrayView(name));
        EXPECT_EQ(p->rawValue(), QByteArrayView(value));
        QByteArrayList types;
        p->forEachParameterValue("TYPE", [&](QByteArrayView v) {
            types.append(v.toByteArray());
            return true;
        });
        EXPECT_EQ(types.join('|'), QByteArray(type));
    }
    for (const char *notAProperty : {"", "no colon here", ":value", ";X=1:value"}) {
        SCOPED_TRACE(notAProperty);
        EXPECT_FALSE(VCardProperty::parse(notAProperty));
    }
}

// Which cards are distribution lists rather than people, and whom they hold.
TEST(VCardReaderTest, GroupCardsAreMarkedAndTheirMembersRead)
{
    // the lines between BEGIN and END; "group" or "person", the uid and the members, by "|"
    const std::tuple<const char *, QByteArray, QString> cases[] = {
        {"NoKind", "", u"person|"_s},
        {"GroupInCapitals", "KIND:GROUP\n", u"group|"_s},
        {"Individual", "KIND:individual\n", u"person|"_s},
        {"Organisation", "KIND:org\n", u"person|"_s},
        {"GroupInAnotherValue", "NOTE:KIND:group\n", u"person|"_s},
        {"KindGroup", "KIND:group\nUID:urn:uuid:G1\nMEMBER:urn:uuid:ABC-1\nMEMBER:mailto:a@x.org\n",
         u"group|g1|urn:uuid:abc-1|mailto:a@x.org"_s},
        {"AddressBookServerGroup",
         "X-ADDRESSBOOKSERVER-KIND:group\nUID:g2\nX-ADDRESSBOOKSERVER-MEMBER:urn:uuid:def-2\n"
         "item1.X-ADDRESSBOOKSERVER-MEMBER:URN:UUID:Ghi-3\n",
         u"group|g2|urn:uuid:def-2|urn:uuid:ghi-3"_s},
        {"GroupedKindProperty", "item1.X-ADDRESSBOOKSERVER-KIND:group\n", u"group|"_s},
        {"MailtoWithHeadersAndEncoding", "KIND:group\nMEMBER:mailto:b%40example.org?subject=hi\n",
         u"group||mailto:b@example.org"_s},
        {"MalformedMembersIgnored",
         "KIND:group\nMEMBER:\nMEMBER:urn:uuid:\nMEMBER:mailto:nobody\nMEMBER:https://x.org/x\n"
         "MEMBER;VALUE=uri\nMEMBER:Bob\nMEMBER:urn:uuid:ok\n",
         u"group||urn:uuid:ok"_s},
        {"ContactKeepsUidNotMembers", "UID:Person-1\nMEMBER:urn:uuid:x\n", u"person|person-1"_s}};
    for (const auto &[name, lines, expected] : cases) {
        SCOPED_TRACE(name);
        // A second card after it: the kind and members belong to their own card only.
        const std::vector<VCardContact> contacts =
            VCardReader::read("BEGIN:VCARD\nVERSION:4.0\nN:Surname;;;;\nFN:Board\n" + lines +
                              "END:VCARD\nBEGIN:VCARD\nFN:P\nEMAIL:p@x.org\nEND:VCARD\n");
        ASSERT_EQ(contacts.size(), 2u);
        const VCardContact &c = contacts[0];
        const QString kind = c.isGroup ? u"group"_s : u"person"_s;
        EXPECT_EQ((QStringList{kind, c.uid} + c.members).join(u'|'), expected);
        EXPECT_EQ(c.fileAs, c.isGroup ? u"Board"_s : u"Surname"_s);
        EXPECT_FALSE(contacts[1].isGroup);
    }
}

// Inputs built to be slow for a careless reader: each must take linear time, and still be
// read as the rules say.
TEST(VCardReaderTest, PathologicalInputsStayLinear)
{
    const int n = 200000;
    const auto name = &VCardContact::fileAs;
    const std::tuple<QByteArray, QString VCardContact::*, QString> cases[] = {
        // A long folded value is joined, without its folding spaces.
        {"BEGIN:VCARD\nFN:x\n" + QByteArray(" y\n").repeated(n), name, u"x"_s + QString(n, u'y')},
        // Soft line breaks only: an empty name.
        {"BEGIN:VCARD\nFN;ENCODING=QUOTED-PRINTABLE:" + QByteArray("=\n").repeated(n), name, {}},
        {"BEGIN:VCARD\nEMAIL" + QByteArray(";TYPE=a").repeated(n) + ":e\n",
         &VCardContact::email1Address, u"e"_s},
        // Escaped commas do not split the category.
        {"BEGIN:VCARD\nCATEGORIES:" + QByteArray("\\,").repeated(n) + "\n",
         &VCardContact::categories, QString(n, u',')},
        // Bare CR line ends: the first name of many.
        {"BEGIN:VCARD\r" + QByteArray("FN:x\r").repeated(n) + "\n", name, u"x"_s},
        {"BEGIN:VCARD\nFN;ENCODING=QUOTED-PRINTABLE" + QByteArray("=").repeated(n) + "\n", name,
         QString()}};
    for (const auto &[input, field, expected] : cases) {
        const std::vector<VCardContact> contacts = VCardReader::read(input);
        ASSERT_EQ(contacts.size(), 1u);
        EXPECT_EQ(contacts.front().*field, expected);
    }
    // Nested BEGINs make no contacts of their own beyond what the reader bounds.
    EXPECT_LE(VCardReader::read(QByteArray("BEGIN:VCARD\n").repeated(n)).size(),
              static_cast<size_t>(n));
    EXPECT_LE(
        VCardReader::read("BEGIN:VCARD\nAGENT:\n" + QByteArray("BEGIN:VCARD\n").repeated(n)).size(),
        static_cast<size_t>(n + 1));
}

} // namespace
} // namespace corvel
