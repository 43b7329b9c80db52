#include "directory/LdapLocation.h"
#include "common/NamedCases.h"

#include <gtest/gtest.h>

using namespace corvel;
using namespace Qt::StringLiterals;
using Scope = LdapLocation::Scope;

namespace {

struct Row
{
    const char *name;
    QString url;
    LdapLocation expected; // when error is empty
    QString error{};
};
CORVEL_PRINT_BY_NAME(Row)

class LdapLocationParse : public ::testing::TestWithParam<Row>
{
};

TEST_P(LdapLocationParse, GivesPartsOrReason)
{
    const Row &row = GetParam();
    const Result<LdapLocation> parsed = LdapLocation::parse(row.url);
    ASSERT_EQ(parsed.ok(), row.error.isEmpty()) << parsed.error().toStdString();
    if (parsed)
        EXPECT_EQ(*parsed, row.expected);
    else
        EXPECT_TRUE(parsed.error().contains(row.error)) << parsed.error().toStdString();
}

const LdapLocation Defaults{false, u"h"_s, 389, u"dc=x"_s, Scope::Subtree, u"(objectClass=*)"_s};

INSTANTIATE_TEST_SUITE_P(
    Urls, LdapLocationParse,
    ::testing::Values(
        Row{"Defaults", u"ldap://h/dc=x"_s, Defaults},
        Row{"NoPath",
            u"LDAP://h"_s,
            {false, u"h"_s, 389, {}, Scope::Subtree, u"(objectClass=*)"_s}},
        Row{"Decoded",
            u"ldaps://h:1636/o=A%20B,c=D%c3%bc?cn?one?(cn=J%C3%BCrgen%29)?x-ext"_s,
            {true, u"h"_s, 1636, u"o=A B,c=Dü"_s, Scope::OneLevel, u"(cn=Jürgen))"_s}},
        Row{"Ipv6BareFilter",
            u"ldap://[::1]:10389/??BASE?uid=x"_s,
            {false, u"::1"_s, 10389, {}, Scope::Base, u"(uid=x)"_s}},
        Row{"NotLdap", u"http://h/"_s, {}, u"ldap:// or ldaps://"_s},
        Row{"NoHost", u"ldap:///dc=x"_s, {}, u"no server"_s},
        Row{"SpaceInHost", u"ldap://a b:389/"_s, {}, u"holds a space"_s},
        Row{"PortZero", u"ldap://h:0/"_s, {}, u"port"_s},
        Row{"Ipv6Open", u"ldap://[::1/"_s, {}, u"closing ]"_s},
        Row{"Scope", u"ldap://h/??wide"_s, {}, u"scope \"wide\""_s},
        Row{"BadEscape", u"ldap://h/dc=%zz"_s, {}, u"%-escape in the base DN"_s},
        Row{"ShortEscape", u"ldap://h/??sub?(cn=%4"_s, {}, u"%-escape in the filter"_s},
        Row{"NotUtf8", u"ldap://h/cn=%ff"_s, {}, u"UTF-8"_s},
        Row{"Critical", u"ldap://h/??sub?(x)?!e-bindname=x"_s, {}, u"critical extension"_s},
        Row{"TooManyParts", u"ldap://h/?a?b?c?d?e"_s, {}, u"too many"_s}),
    test::ByName());

TEST(LdapLocation, NarrowsToMailAndNamesTheServer)
{
    EXPECT_EQ(Defaults.searchFilter(), u"(&(objectClass=*)(mail=*))"_s);
    EXPECT_EQ(LdapLocation::parse(u"ldaps://[::1]/"_s)->serverUri(), u"ldaps://[::1]:636"_s);
}

} // namespace
