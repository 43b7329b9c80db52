#include "groups/MailGroups.h"
#include "groups/GroupStore.h"
#include "groups/MemberVerification.h"
#include "tree/NodeKinds.h"
#include "tree/TreeList.h"

#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <tuple>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace corvel;

namespace {

// The committed group file, opened as start-up opens it.
struct SampleGroups
{
    SampleGroups()
        : store(dir.path(), QString())
    {
        QFile::copy(QString::fromUtf8(CORVEL_TEST_DATA "/groups/MailLists.tlx"),
                    dir.filePath(u"MailLists.tlx"_s));
        status = store.addGroupRoots(tree, {});
    }
    GroupId id(const QString &caption) const { return *groups.find(caption); }
    GroupId friends() const { return id(u"Friends"_s); }

    QTemporaryDir dir;
    GroupStore store;
    TreeList tree;
    MailGroups groups{tree, store};
    Status status;
};

TEST(MailGroups, TheSampleFileReadsAsTypedValues)
{
    SampleGroups sample;
    ASSERT_TRUE(sample.status.ok()) << sample.status.error().toStdString();
    const std::vector<MailGroup> all = sample.groups.all();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].caption, u"Empty group"_s);
    EXPECT_TRUE(all[0].members.empty());
    const MailGroup &friends = all[1];
    EXPECT_EQ(friends.kind, MailGroup::Kind::Standard);
    ASSERT_EQ(friends.members.size(), 3u);
    EXPECT_EQ(friends.members[2].name, u"Ørsted, Åse"_s);
    EXPECT_EQ(friends.members[2].origin, GroupMember::Origin::TypedIn);
    const MailGroup &team = all[2];
    EXPECT_EQ(team.kind, MailGroup::Kind::Dynamic);
    ASSERT_TRUE(team.definition.has_value());
    ASSERT_EQ(team.definition->folders.size(), 2u);
    EXPECT_EQ(team.definition->folders[1].name, u"Work"_s);
    EXPECT_EQ(team.members.front().origin, GroupMember::Origin::Loaded);
}

TEST(MailGroups, ADefinitionReadsBackAsGivenWithItsNamesMadeListSafe)
{
    SampleGroups sample;
    const DynamicDefinition given{
        {{u"A"_s, u"S1"_s, u"Con^tacts"_s}, {u"B"_s, u"S2"_s, u"Work"_s}}, u"Board,T*"_s, {}};
    const Result<GroupId> made = sample.groups.createDynamic(u"Board"_s, given);
    ASSERT_TRUE(made.ok());
    DynamicDefinition expected = given;
    expected.folders[0].name = u"Con\u02C6tacts"_s;
    EXPECT_EQ(sample.groups.group(*made)->definition, expected);
}

template<typename T>
Status statusOf(const Result<T> &result)
{
    return result.ok() ? Status() : Status::failure(result.error());
}

// Each operation refused, with its reason, and nothing changed.
TEST(MailGroups, RefusalsSayWhyAndChangeNothing)
{
    const std::tuple<const char *, const char *, std::function<Status(SampleGroups &)>> cases[] = {
        {"NewGroupWithoutName", "needs a name",
         [](auto &g) { return statusOf(g.groups.createStandard(QString())); }},
        {"RenameToNothing", "needs a name",
         [](auto &g) { return g.groups.rename(g.friends(), QString()); }},
        {"StaleGroup", "no longer exists",
         [](auto &g) {
             const GroupId gone = *g.groups.createStandard(u"Gone"_s);
             (void)g.groups.remove(gone);
             return g.groups.rename(gone, u"Back"_s);
         }},
        {"UnknownCaption", "no mail group named",
         [](auto &g) { return statusOf(g.groups.find(u"friends"_s)); }},
        {"CaptionOfTwoGroups", "names 2 mail groups",
         [](auto &g) {
             (void)g.groups.createStandard(u"Team"_s);
             const Status found = statusOf(g.groups.find(u"Team"_s));
             (void)g.groups.remove(g.groups.all()[2].id);
             return found;
         }},
        {"WrongKind", "is not a Standard Mail Group",
         [](auto &g) { return statusOf(g.groups.find(u"Team"_s, MailGroup::Kind::Standard)); }},
        {"TypedMemberInDynamicGroup", "is not a Standard Mail Group",
         [](auto &g) { return g.groups.addMember(g.id(u"Team"_s), u"A"_s, u"a@example.org"_s); }},
        {"AddressHeldInOtherCase", "already exists on file",
         [](auto &g) {
             const auto friends = g.groups.group(g.friends());
             return g.groups.addMember(friends->id, u"A"_s, friends->members[0].address.toUpper());
         }},
        {"EditUnknownMember", "has no member nobody@example.org",
         [](auto &g) {
             return g.groups.editMember(g.friends(), u"nobody@example.org"_s, u"N"_s, std::nullopt);
         }},
        {"EditToBadAddress", "A <a@example.org>",
         [](auto &g) {
             const auto friends = g.groups.group(g.friends());
             return g.groups.editMember(friends->id, friends->members[2].address, std::nullopt,
                                        u"A <a@example.org>"_s);
         }},
        {"RemoveUnknownMember", "has no member nobody@example.org",
         [](auto &g) { return g.groups.removeMember(g.friends(), u"nobody@example.org"_s); }},
        {"LoadWithoutSession", "is not available",
         [](auto &g) { return statusOf(g.groups.load(g.id(u"Team"_s), u"now"_s)); }}};
    for (const auto &[name, reason, operation] : cases) {
        SCOPED_TRACE(name);
        SampleGroups sample;
        ASSERT_TRUE(sample.status.ok());
        const std::vector<MailGroup> before = sample.groups.all();
        const Status status = operation(sample);
        ASSERT_FALSE(status.ok());
        EXPECT_TRUE(status.error().contains(QString::fromUtf8(reason)))
            << status.error().toStdString();
        const std::vector<MailGroup> after = sample.groups.all();
        ASSERT_EQ(after.size(), before.size());
        for (size_t i = 0; i < after.size(); ++i) {
            EXPECT_EQ(after[i].caption, before[i].caption);
            EXPECT_EQ(after[i].members, before[i].members);
        }
    }
}

} // namespace

// The window rewrites the group file after Verify only when a member changed, so apply must
// tell. Each row starts from where the row before left the member.
TEST(MemberVerification, ApplyTellsWhetherAnyMemberChanged)
{
    TreeList tree;
    const NodeHandle member = tree.addNode(QString());
    tree.setValue(member, NodeValueName::FileAs(), u"Lee, Ann"_s);
    tree.setValue(member, NodeValueName::Email1Address(), u"ann@example.org"_s);
    tree.setColour(member, NodeColour::WindowText);
    const struct
    {
        bool found;
        QString fileAs;
        bool changed;
    } rows[] = {{true, u"Lee, Ann"_s, false},
                {true, u"Lee-Smith, Ann"_s, true},
                {true, u"Lee-Smith, Ann"_s, false},
                {false, {}, true},
                {false, {}, false}};
    for (const auto &row : rows) {
        const MemberVerification::Outcome outcome{member, row.found, row.found, row.fileAs,
                                                  u"ann@example.org"_s};
        EXPECT_EQ(MemberVerification::apply(tree, {outcome}), row.changed)
            << qPrintable(row.fileAs) << row.found;
    }
}
