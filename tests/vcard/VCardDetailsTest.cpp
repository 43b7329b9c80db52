#include "vcard/VCardDetails.h"

#include <gtest/gtest.h>

using namespace corvel;
using Kind = VCardDetail::Kind;

namespace {

std::vector<VCardDetail> details(const char *card)
{
    return VCardDetails::read(QByteArrayView(card));
}

VCardDetail detail(Kind kind, const char *type, const char *value)
{
    return VCardDetail{kind, QString::fromUtf8(type), QString::fromUtf8(value)};
}

} // namespace

TEST(VCardDetails, EveryReadableValueOfTheFirstCardInOrder)
{
    const auto read = details("BEGIN:VCARD\r\n"
                              "VERSION:3.0\r\n"
                              "FN:Dr. Ana Ruiz\r\n"
                              "N:Ruiz;Ana;María;Dr.;PhD\r\n"
                              "EMAIL;TYPE=INTERNET,WORK,pref:ana@example.org\r\n"
                              "TEL;TYPE=cell:+34 600 000 000\r\n"
                              "ADR;TYPE=home:;;Calle Mayor 1\\, 2º;Madrid;;28013;Spain\r\n"
                              "ORG:Tessary;Research\r\n"
                              "X-UNKNOWN:ignored\r\n"
                              "CATEGORIES:Friends,,Work\r\n"
                              "NOTE:first line\\nsecond\\, with comma\r\n"
                              "END:VCARD\r\n"
                              "BEGIN:VCARD\r\nFN:Second card\r\nEND:VCARD\r\n");
    const std::vector<VCardDetail> expected{
        detail(Kind::Name, "", "Dr. Ana Ruiz"),
        detail(Kind::Name, "", "Dr. Ana María Ruiz PhD"),
        detail(Kind::Email, "work", "ana@example.org"),
        detail(Kind::Phone, "cell", "+34 600 000 000"),
        detail(Kind::Address, "home", "Calle Mayor 1, 2º, Madrid, 28013, Spain"),
        detail(Kind::Organisation, "", "Tessary, Research"),
        detail(Kind::Categories, "", "Friends, Work"),
        detail(Kind::Note, "", "first line\nsecond, with comma"),
    };
    EXPECT_EQ(read, expected);
}

TEST(VCardDetails, VersionTwoBareTypesAndEncodingsAreRead)
{
    const auto read =
        details("BEGIN:VCARD\nVERSION:2.1\nTEL;WORK;VOICE:123\n"
                "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:caf=C3=A9\nEND:VCARD\n");
    const std::vector<VCardDetail> expected{detail(Kind::Phone, "work, voice", "123"),
                                            detail(Kind::Note, "", "café")};
    EXPECT_EQ(read, expected);
}

TEST(VCardDetails, NoCardGivesNothing)
{
    EXPECT_TRUE(details("").empty());
    EXPECT_TRUE(details("FN:outside any card\n").empty());
}
