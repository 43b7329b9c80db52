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
    const auto read = details(
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Dr. Ana Ruiz\r\nN:Ruiz;Ana;María;Dr.;PhD\r\n"
        "EMAIL;TYPE=INTERNET,WORK,pref:ana@example.org\r\nTEL;TYPE=cell:+34 600 000 000\r\n"
        "ADR;TYPE=home:;;Calle Mayor 1\\, 2º;Madrid;;28013;Spain\r\nORG:Tessary;Research\r\n"
        "X-UNKNOWN:ignored\r\nCATEGORIES:Friends,,Work\r\n"
        "NOTE:first line\\nsecond\\, with comma\r\n"
        "END:VCARD\r\nBEGIN:VCARD\r\nFN:Second card\r\nEND:VCARD\r\n");
    EXPECT_EQ(read, (std::vector<VCardDetail>{
                        detail(Kind::Name, "", "Dr. Ana Ruiz"),
                        detail(Kind::Name, "", "Dr. Ana María Ruiz PhD"),
                        detail(Kind::Email, "work", "ana@example.org"),
                        detail(Kind::Phone, "cell", "+34 600 000 000"),
                        detail(Kind::Address, "home", "Calle Mayor 1, 2º, Madrid, 28013, Spain"),
                        detail(Kind::Organisation, "", "Tessary, Research"),
                        detail(Kind::Categories, "", "Friends, Work"),
                        detail(Kind::Note, "", "first line\nsecond, with comma"),
                    }));
}

TEST(VCardDetails, VersionTwoBareTypesAndEncodingsAreRead)
{
    EXPECT_EQ(details("BEGIN:VCARD\nVERSION:2.1\nTEL;WORK;VOICE:123\n"
                      "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:caf=C3=A9\nEND:VCARD\n"),
              (std::vector<VCardDetail>{detail(Kind::Phone, "work, voice", "123"),
                                        detail(Kind::Note, "", "café")}));
}

TEST(VCardDetails, NoCardGivesNothing)
{
    EXPECT_TRUE(details("").empty());
    EXPECT_TRUE(details("FN:outside any card\n").empty());
}
