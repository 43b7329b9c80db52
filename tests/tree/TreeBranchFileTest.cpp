#include "tree/TreeBranchFile.h"
#include "tree/TreeList.h"

#include <QBuffer>

#include <gtest/gtest.h>

using namespace corvel;

namespace {

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

TreeBranch sampleBranch(const char *rootCaption, int olType)
{
    TreeList tree;
    const NodeHandle root = tree.addNode(s(rootCaption));
    tree.setValue(root, s("olType"), olType);
    tree.setValue(root, s("EntryId"), s("STDMG"));
    tree.setExpanded(root, true);
    const NodeHandle group = tree.addNode(s("Ünïcode group ^~"), root);
    tree.setValue(group, s("GUID"), s("{01234567-89AB-CDEF-0123-456789ABCDEF}"));
    tree.setValue(group, s("LastLoaded"), QString());
    ColumnLayout layout;
    layout.setColumnCount(3);
    layout.columns[1] = {150, s("FileAs"), s("Contact Name")};
    tree.setColumnLayout(group, layout);
    tree.setChildOrder(group, ChildOrder::ByValue, s("FileAs"));
    const NodeHandle row = tree.addNode(QString(), group);
    tree.setValue(row, s("FileAs"), s("Lee, Ann"));
    tree.setValue(row, s("Email1Address"), s("ann@example.org"));
    tree.setValue(row, s("olType"), -37);
    tree.setColour(row, 0x80);
    tree.setState(row, 1);
    return tree.copyBranch(root);
}

void expectSame(const TreeBranch &a, const TreeBranch &b)
{
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        const auto &x = a.nodes()[i];
        const auto &y = b.nodes()[i];
        EXPECT_EQ(x.level, y.level);
        EXPECT_EQ(x.caption, y.caption);
        EXPECT_EQ(x.picture, y.picture);
        EXPECT_EQ(x.colour, y.colour);
        EXPECT_EQ(x.state, y.state);
        EXPECT_EQ(x.expanded, y.expanded);
        EXPECT_EQ(x.childOrder, y.childOrder);
        EXPECT_EQ(x.layout, y.layout);
        ASSERT_EQ(x.values.size(), y.values.size());
        for (size_t v = 0; v < x.values.size(); ++v) {
            EXPECT_EQ(a.names()[x.values[v].first], b.names()[y.values[v].first]);
            EXPECT_EQ(x.values[v].second, y.values[v].second);
        }
    }
}

QByteArray twoBranchFile()
{
    return TreeBranchFile::encode(sampleBranch("Standard Mail Groups", 7)) +
           TreeBranchFile::encode(sampleBranch("Dynamic Mail Groups", 8));
}

} // namespace

TEST(TreeBranchFile, TwoBranchesReadBackInTurnThenTheEndIsReported)
{
    QByteArray bytes = twoBranchFile() + QByteArray("trailing bytes are never read");
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    auto first = TreeBranchFile::read(buffer);
    auto second = TreeBranchFile::read(buffer);
    ASSERT_TRUE(first.ok()) << first.error().toStdString();
    ASSERT_TRUE(second.ok()) << second.error().toStdString();
    expectSame(*first, sampleBranch("Standard Mail Groups", 7));
    expectSame(*second, sampleBranch("Dynamic Mail Groups", 8));
    EXPECT_TRUE(second->value(0, s("olType")).isNumber());
    EXPECT_TRUE(second->value(0, s("EntryId")).isText());

    QBuffer empty;
    ASSERT_TRUE(empty.open(QIODevice::ReadOnly));
    EXPECT_FALSE(TreeBranchFile::read(empty).ok());
}

TEST(TreeBranchFile, EveryTruncationIsRefused)
{
    const QByteArray record = TreeBranchFile::encode(sampleBranch("Standard Mail Groups", 7));
    for (qsizetype size = 0; size < record.size(); ++size) {
        const auto result = TreeBranchFile::decode(QByteArrayView(record).first(size));
        ASSERT_FALSE(result.ok()) << "accepted a record cut to " << size << " bytes";
        EXPECT_FALSE(result.error().isEmpty());
    }
}

TEST(TreeBranchFile, DamagedForeignAndNewerRecordsAreRefusedWithTheirReason)
{
    const QByteArray record = TreeBranchFile::encode(sampleBranch("Standard Mail Groups", 7));
    struct Case
    {
        const char *name;
        std::function<void(QByteArray &)> damage;
        const char *reason;
    };
    const std::vector<Case> cases = {
        {"flipped payload byte",
         [](QByteArray &b) { b[b.size() - 3] = char(b[b.size() - 3] ^ 0x40); }, "checksum"},
        {"foreign file", [](QByteArray &b) { b.replace(0, 8, "PK\x03\x04zipx"); }, "not a Corvel"},
        {"newer format", [](QByteArray &b) { b[8] = 2; }, "newer version"},
        {"absurd length", [](QByteArray &b) { b[15] = char(0x7f); }, "damaged"},
    };
    for (const Case &c : cases) {
        QByteArray bytes = record;
        c.damage(bytes);
        const auto result = TreeBranchFile::decode(bytes);
        ASSERT_FALSE(result.ok()) << c.name;
        EXPECT_TRUE(result.error().contains(QString::fromUtf8(c.reason)))
            << c.name << ": " << result.error().toStdString();
    }
}

TEST(TreeBranchFile, EverySingleByteCorruptionIsRefused)
{
    // The header fields are checked and CRC-32 catches any single changed payload byte, so
    // no corruption can come back as a different tree.
    const QByteArray record = TreeBranchFile::encode(sampleBranch("Standard Mail Groups", 7));
    for (qsizetype i = 0; i < record.size(); ++i) {
        QByteArray bytes = record;
        bytes[i] = char(bytes[i] ^ 0x5a);
        EXPECT_FALSE(TreeBranchFile::decode(bytes).ok()) << "byte " << i;
    }
}

TEST(TreeBranchFile, AColumnBoundToAnUnusedNameKeepsItsBinding)
{
    // An empty group has its grid but no member values yet: the binding must still come back.
    TreeList tree;
    const NodeHandle group = tree.addNode(s("New group"));
    ColumnLayout layout;
    layout.setColumnCount(3);
    layout.columns[1] = {150, s("FileAs"), s("Contact Name")};
    layout.columns[2] = {150, s("Email1Address"), s("eMail Address")};
    tree.setColumnLayout(group, layout);
    tree.setValue(group, s("olType"), 9);
    for (const QByteArray &record :
         {TreeBranchFile::encode(tree, group), TreeBranchFile::encode(tree.copyBranch(group))}) {
        const auto back = TreeBranchFile::decode(record);
        ASSERT_TRUE(back.ok()) << back.error().toStdString();
        EXPECT_EQ(back->nodes()[0].layout, layout);
        EXPECT_EQ(back->value(0, s("OLTYPE")), NodeValue(9));
    }
}

TEST(TreeBranchFile, ColumnWidthsAreStoredInTwips)
{
    struct Case
    {
        int width;
        int storedTwips;
        int written;
    };
    // 1812 twips came from a screen of 12 twips a pixel: kept while the column is not resized.
    for (const Case c : {Case{150, 0, 2250}, Case{121, 1812, 1812}, Case{130, 1812, 1950}}) {
        TreeList tree;
        const NodeHandle group = tree.addNode(s("Group"));
        ColumnLayout layout;
        layout.setColumnCount(2);
        layout.columns[1].width = c.width;
        layout.columns[1].storedTwips = c.storedTwips;
        tree.setColumnLayout(group, layout);
        const auto back = TreeBranchFile::decode(TreeBranchFile::encode(tree, group));
        ASSERT_TRUE(back.ok()) << back.error().toStdString();
        const ColumnLayout::Column &column = back->nodes()[0].layout->columns[1];
        EXPECT_EQ(column.storedTwips, c.written) << c.width;
        EXPECT_EQ(column.width, c.width);
    }
}

TEST(TreeBranchFile, AForgedLengthIsRefusedWithoutReservingIt)
{
    // A header claiming a 1 GiB payload in front of a few bytes: refused as truncated, and
    // without first reserving the gigabyte.
    QByteArray bytes = QByteArray::fromBase64(
        "Q29ydmVsVEIBAAAAAAAAQAAAAAAQAVUA7QAAAFvP410BAAAABgAAAFdvqaqqqqqqqgI=");
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    const auto result = TreeBranchFile::read(buffer);
    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(result.error().contains(s("truncated"))) << result.error().toStdString();
}
