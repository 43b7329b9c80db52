// Feeds arbitrary bytes to the branch record reader. Whatever it accepts must survive
// insertion into a tree, a walk in display order and an encode/decode round trip with
// the same number of nodes.
//
// Run with `--write-seeds DIR` to write a few small valid records to DIR and exit.

#include "tree/TreeBranchFile.h"
#include "tree/TreeList.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QtEndian>

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace corvel;

namespace {

constexpr char Magic[8] = {'C', 'o', 'r', 'v', 'e', 'l', 'T', 'B'};
constexpr qsizetype HeaderSize = 20;

[[noreturn]] void fail(const char *what, size_t expected, size_t actual)
{
    std::fprintf(stderr, "tree_branch_fuzz: %s (expected %zu, got %zu)\n", what, expected, actual);
    std::abort();
}

// The checksum would stop almost every mutation of the payload at the header; this gives
// the payload parser inputs that pass it.
QByteArray withValidHeader(QByteArrayView input)
{
    QByteArrayView payload = input;
    if (input.size() >= HeaderSize && std::memcmp(input.data(), Magic, sizeof Magic) == 0)
        payload = input.sliced(HeaderSize);
    QByteArray record(Magic, sizeof Magic);
    char field[4];
    qToLittleEndian<quint16>(TreeBranchFile::FormatVersion, field);
    record.append(field, 2);
    qToLittleEndian<quint16>(0, field);
    record.append(field, 2);
    qToLittleEndian<quint32>(static_cast<quint32>(payload.size()), field);
    record.append(field, 4);
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef *>(payload.data()),
                            static_cast<uInt>(payload.size()));
    qToLittleEndian<quint32>(static_cast<quint32>(crc), field);
    record.append(field, 4);
    record.append(payload.data(), payload.size());
    return record;
}

void exercise(QByteArrayView record)
{
    qsizetype used = 0;
    Result<TreeBranch> decoded = TreeBranchFile::decode(record, &used);

    // The device reader takes the same bytes and must agree, whatever length the header
    // claims (fuzz/regressions/tree_branch_read_claimed_length_oom.bin once made it reserve
    // 1 GiB for 50 bytes).
    {
        QByteArray copy(record.data(), record.size());
        QBuffer buffer(&copy);
        buffer.open(QIODevice::ReadOnly);
        const Result<TreeBranch> read = TreeBranchFile::read(buffer);
        if (read.ok() != decoded.ok())
            fail("read and decode disagree", decoded.ok(), read.ok());
        if (read && read->size() != decoded->size())
            fail("read and decode give different node counts", decoded->size(), read->size());
    }
    if (!decoded)
        return;
    if (used < HeaderSize || used > record.size())
        fail("decode used a length outside the record", static_cast<size_t>(record.size()),
             static_cast<size_t>(used));

    // Under a holder node, so a branch with several top nodes copies back as one.
    TreeList tree;
    const NodeHandle holder = tree.addNode(QStringLiteral("holder"));
    tree.insertBranch(*decoded, holder);
    const size_t expected = decoded->size();

    const std::vector<NodeHandle> order = tree.displayOrder();
    if (order.size() != expected + 1)
        fail("display order size", expected + 1, order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        const NodeHandle node = order[i];
        if (tree.indexOf(node) != static_cast<int>(i))
            fail("indexOf does not match display order", i,
                 static_cast<size_t>(tree.indexOf(node)));
        if (i > 0 && tree.level(node) > tree.level(order[i - 1]) + 1)
            fail("a node is deeper than one below its predecessor",
                 static_cast<size_t>(tree.level(order[i - 1]) + 1),
                 static_cast<size_t>(tree.level(node)));
        // Reading every property and value must be safe for whatever was decoded.
        (void)tree.caption(node);
        (void)tree.values(node);
        (void)tree.columnLayout(node);
        (void)tree.children(node);
    }
    if (tree.descendantCount(holder) != static_cast<int>(expected))
        fail("descendant count of the holder", expected,
             static_cast<size_t>(tree.descendantCount(holder)));

    const TreeBranch again = tree.copyBranch(holder, true);
    if (again.size() != expected)
        fail("copied branch size", expected, again.size());
    const QByteArray encoded = TreeBranchFile::encode(again);
    const Result<TreeBranch> redecoded = TreeBranchFile::decode(encoded);
    if (!redecoded)
        fail("a re-encoded branch does not decode", expected, 0);
    if (redecoded->size() != expected)
        fail("node count after re-encoding", expected, redecoded->size());

    // The decoded branch itself must round-trip too, before any tree has touched it.
    const Result<TreeBranch> direct = TreeBranchFile::decode(TreeBranchFile::encode(*decoded));
    if (!direct || direct->size() != expected)
        fail("node count after encoding the decoded branch", expected, direct ? direct->size() : 0);
}

// --- Seeds -------------------------------------------------------------------------------

QByteArray seedOfChildren(const TreeList &tree, NodeHandle holder)
{
    return TreeBranchFile::encode(tree.copyBranch(holder, true));
}

bool writeSeed(const QDir &dir, const char *name, const QByteArray &record)
{
    QFile file(dir.filePath(QString::fromUtf8(name)));
    return file.open(QIODevice::WriteOnly) && file.write(record) == record.size();
}

// A group of members sorted by a value, as saved by the application.
QByteArray groupByValueSeed()
{
    const QString olType = QStringLiteral("olType");
    const QString fileAs = QStringLiteral("FileAs");
    const QString email = QStringLiteral("Email1Address");
    TreeList tree;
    const NodeHandle group = tree.addNode(QStringLiteral("Sales"));
    tree.setChildOrder(group, ChildOrder::ByValue, fileAs);
    tree.setExpanded(group, true);
    const char *names[] = {"Weber, Anna", "Abbott, Ben", "Müller, Zoë"};
    int i = 0;
    for (const char *name : names) {
        const NodeHandle row = tree.addNode(QString::fromUtf8(name), group);
        tree.setValue(row, olType, NodeValue(37));
        tree.setValue(row, fileAs, NodeValue(QString::fromUtf8(name)));
        tree.setValue(row, email, NodeValue(QStringLiteral("m%1@example.org").arg(i++)));
    }
    return TreeBranchFile::encode(tree.copyBranch(group));
}

// A column layout bound to value names, and a node with a picture, colour and state.
QByteArray columnLayoutSeed()
{
    const QString olType = QStringLiteral("olType");
    const QString email = QStringLiteral("Email1Address");
    TreeList tree;
    const NodeHandle group = tree.addNode(QStringLiteral("Grid"));
    ColumnLayout layout;
    layout.columns = {{2000, QString(), QStringLiteral("Name")},
                      {3000, email, QStringLiteral("Address")},
                      {800, olType, QStringLiteral("Type")}};
    tree.setColumnLayout(group, layout);
    const NodeHandle row = tree.addNode(QStringLiteral("Row"), group);
    tree.setPicture(row, 3);
    tree.setColour(row, 0x00ff8000);
    tree.setState(row, 2);
    tree.setValue(row, email, NodeValue(QStringLiteral("row@example.org")));
    tree.setValue(row, olType, NodeValue(-5));
    return TreeBranchFile::encode(tree.copyBranch(group));
}

// Several top nodes, nesting, natural order with "SortMe".
QByteArray nestedNaturalSeed()
{
    TreeList tree;
    const NodeHandle holder = tree.addNode(QStringLiteral("holder"));
    const NodeHandle store = tree.addNode(QStringLiteral("Store"), holder);
    tree.setChildOrder(store, ChildOrder::Natural);
    const NodeHandle b = tree.addNode(QStringLiteral("b"), store);
    tree.setValue(b, QStringLiteral("SortMe"), NodeValue(2));
    const NodeHandle a = tree.addNode(QStringLiteral("a"), store);
    tree.setValue(a, QStringLiteral("SortMe"), NodeValue(QStringLiteral("1")));
    const NodeHandle deep = tree.addNode(QStringLiteral("deep"), a);
    tree.addNode(QStringLiteral("deeper"), deep);
    tree.addNode(QStringLiteral("Second top"), holder);
    return seedOfChildren(tree, holder);
}

// Children sorted by a value that is a number on some and a text on others.
QByteArray mixedSortKeysSeed()
{
    TreeList tree;
    const NodeHandle group = tree.addNode(QStringLiteral("Mixed"));
    const QString key = QStringLiteral("Key");
    tree.setChildOrder(group, ChildOrder::ByValue, key);
    for (int i = 0; i < 20; ++i) {
        const NodeHandle row = tree.addNode(QString(), group);
        if (i % 3 == 0)
            tree.setValue(row, key, NodeValue(QString::number(i * 7 % 11)));
        else
            tree.setValue(row, key, NodeValue(i * 5 % 13));
    }
    return TreeBranchFile::encode(tree.copyBranch(group));
}

// One bare node.
QByteArray singleNodeSeed()
{
    TreeList tree;
    const NodeHandle node = tree.addNode(QString());
    return TreeBranchFile::encode(tree.copyBranch(node));
}

int writeSeeds(const char *path)
{
    const QDir dir(QString::fromUtf8(path));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", path);
        return 1;
    }
    const struct
    {
        const char *name;
        QByteArray (*record)();
    } seeds[] = {{"group_by_value.bin", groupByValueSeed},
                 {"column_layout.bin", columnLayoutSeed},
                 {"nested_natural.bin", nestedNaturalSeed},
                 {"mixed_sort_keys.bin", mixedSortKeysSeed},
                 {"single_node.bin", singleNodeSeed}};
    for (const auto &seed : seeds) {
        if (!writeSeed(dir, seed.name, seed.record())) {
            std::fprintf(stderr, "cannot write the seeds to %s\n", path);
            return 1;
        }
    }
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    for (int i = 1; i + 1 < *argc; ++i) {
        if (std::strcmp((*argv)[i], "--write-seeds") == 0)
            std::exit(writeSeeds((*argv)[i + 1]));
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    // As found on disk: header, length and checksum checks.
    exercise(input);
    // Past the checksum, into the payload.
    exercise(withValidHeader(input));
    return 0;
}
