#include "tree/TreeBranchFile.h"
#include "common/TreeText.h"
#include "tree/TreeList.h"
#include "tree/TreeSnapshot.h"

#include <QBuffer>

#include <array>
#include <functional>

#include <gtest/gtest.h>

using namespace corvel;
using corvel::test::s;

namespace {

TreeBranch sampleBranch(const char *rootCaption, int olType)
{
    TreeList tree;
    const NodeHandle root = tree.addNode(s(rootCaption));
    tree.setValue(root, s("olType"), olType);
    tree.setValue(root, s("EntryId"), s("STDMG"));
    tree.setExpanded(root, true);
    const NodeHandle group = tree.addNode(s("Ünïcode group ^~"), root);
    tree.setValue(group, s("LastLoaded"), QString());
    ColumnLayout layout;
    layout.columns = {{}, {150, s("FileAs"), s("Contact Name")}, {}};
    tree.setColumnLayout(group, layout);
    tree.setChildOrder(group, ChildOrder::ByValue, s("FileAs"));
    const NodeHandle row = tree.addNode(QString(), group);
    tree.setValue(row, s("FileAs"), s("Lee, Ann"));
    tree.setValue(row, s("olType"), -37);
    tree.setColour(row, 0x80);
    tree.setState(row, 1);
    return tree.copyBranch(root);
}

const QByteArray sampleRecord = TreeBranchFile::encode(sampleBranch("Standard Mail Groups", 7));

} // namespace

// Read back, a branch encodes to the same bytes: nothing of it was lost or changed.
TEST(TreeBranchFile, TwoBranchesReadBackInTurnThenTheEndIsReported)
{
    const QByteArray second = TreeBranchFile::encode(sampleBranch("Dynamic Mail Groups", 8));
    QByteArray bytes = sampleRecord + second + QByteArray("trailing bytes are never read");
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    for (const QByteArray &expected : {sampleRecord, second}) {
        const auto branch = TreeBranchFile::read(buffer);
        ASSERT_TRUE(branch.ok()) << branch.error().toStdString();
        EXPECT_EQ(TreeBranchFile::encode(*branch), expected);
        EXPECT_TRUE(branch->value(0, s("olType")).isNumber());
        EXPECT_TRUE(branch->value(0, s("EntryId")).isText());
    }
    QBuffer empty;
    ASSERT_TRUE(empty.open(QIODevice::ReadOnly));
    EXPECT_FALSE(TreeBranchFile::read(empty).ok());
}

// The header fields are checked and CRC-32 catches any single changed payload byte, so no
// cut or corruption can come back as a different tree.
TEST(TreeBranchFile, EveryTruncationAndSingleByteCorruptionIsRefused)
{
    for (qsizetype i = 0; i < sampleRecord.size(); ++i) {
        const auto cut = TreeBranchFile::decode(QByteArrayView(sampleRecord).first(i));
        ASSERT_FALSE(cut.ok()) << "accepted a record cut to " << i << " bytes";
        EXPECT_FALSE(cut.error().isEmpty());
        QByteArray bytes = sampleRecord;
        bytes[i] = char(bytes[i] ^ 0x5a);
        EXPECT_FALSE(TreeBranchFile::decode(bytes).ok()) << "byte " << i;
    }
}

TEST(TreeBranchFile, DamagedForeignAndNewerRecordsAreRefusedWithTheirReason)
{
    const std::vector<std::pair<std::function<void(QByteArray &)>, const char *>> cases = {
        {[](QByteArray &b) { b[b.size() - 3] = char(b[b.size() - 3] ^ 0x40); }, "checksum"},
        {[](QByteArray &b) { b.replace(0, 8, "PK\x03\x04zipx"); }, "not a Corvel"},
        {[](QByteArray &b) { b[8] = 2; }, "newer version"},
        {[](QByteArray &b) { b[15] = char(0x7f); }, "damaged"},
    };
    for (const auto &[damage, reason] : cases) {
        QByteArray bytes = sampleRecord;
        damage(bytes);
        const auto result = TreeBranchFile::decode(bytes);
        ASSERT_FALSE(result.ok()) << reason;
        EXPECT_TRUE(result.error().contains(s(reason))) << result.error().toStdString();
    }
}

// An empty group has its grid but no member values yet: the binding must still come back.
// 1812 twips came from a screen of 12 twips a pixel: kept while the column is not resized.
TEST(TreeBranchFile, ColumnsKeepTheirBindingAndTheirWidthInTwips)
{
    for (const auto [width, storedTwips, written] :
         {std::array{150, 0, 2250}, std::array{121, 1812, 1812}, std::array{130, 1812, 1950}}) {
        TreeList tree;
        const NodeHandle group = tree.addNode(s("Group"));
        ColumnLayout layout;
        layout.columns = {{}, {width, s("Email1Address"), s("eMail Address"), storedTwips}};
        tree.setColumnLayout(group, layout);
        for (const QByteArray &record :
             {TreeBranchFile::encode(tree, group), TreeBranchFile::encode(tree.copyBranch(group)),
              TreeBranchFile::encode(TreeSnapshot(tree, group))}) {
            const auto back = TreeBranchFile::decode(record);
            ASSERT_TRUE(back.ok()) << back.error().toStdString();
            EXPECT_EQ(back->nodes()[0].layout, layout);
            EXPECT_EQ(back->nodes()[0].layout->columns[1].storedTwips, written) << width;
        }
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
