#include "tree/TreeBranchFile.h"

#include "tree/TreeList.h"
#include "tree/TreeSnapshot.h"

#include <QIODevice>
#include <QStringDecoder>
#include <QtEndian>

#include <zlib.h>

#include <cstring>
#include <string>

namespace corvel {

namespace {

constexpr char Magic[8] = {'C', 'o', 'r', 'v', 'e', 'l', 'T', 'B'};
constexpr qsizetype HeaderSize = 8 + 2 + 2 + 4 + 4;
// Far beyond any real group file; refuses a forged length before allocating for it.
constexpr quint32 MaxPayload = 1u << 30;
constexpr quint8 ValueNumber = 1;
constexpr quint8 ValueText = 2;
constexpr quint8 FlagExpanded = 1;

quint32 crc32Of(QByteArrayView data)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    const auto *bytes = reinterpret_cast<const Bytef *>(data.data());
    qsizetype left = data.size();
    while (left > 0) {
        const uInt chunk = static_cast<uInt>(std::min<qsizetype>(left, 1 << 30));
        crc = crc32(crc, bytes, chunk);
        bytes += chunk;
        left -= chunk;
    }
    return static_cast<quint32>(crc);
}

// Writes into a buffer it grows itself, so the many small writes cost no more than a copy.
class Writer
{
public:
    explicit Writer(QByteArray &out, qsizetype expected = 256)
        : m_out(out)
        , m_pos(out.size())
    {
        m_out.resize(m_pos + expected);
    }
    ~Writer() { m_out.resize(m_pos); }
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    [[nodiscard]] qsizetype position() const { return m_pos; }

    template<typename T>
    void put(T value)
    {
        qToLittleEndian(value, room(sizeof(T)));
        m_pos += static_cast<qsizetype>(sizeof(T));
    }
    void putText(const QString &text)
    {
        const qsizetype size = text.size();
        const ushort *chars = text.utf16();
        char *out = room(4 + size);
        qsizetype i = 0;
        for (; i < size && chars[i] < 0x80; ++i) // ASCII, the common case, is copied directly
            out[4 + i] = static_cast<char>(chars[i]);
        if (i == size) {
            qToLittleEndian(static_cast<quint32>(size), out);
            m_pos += 4 + size;
            return;
        }
        const QByteArray utf8 = text.toUtf8();
        out = room(4 + utf8.size());
        qToLittleEndian(static_cast<quint32>(utf8.size()), out);
        std::memcpy(out + 4, utf8.constData(), static_cast<size_t>(utf8.size()));
        m_pos += 4 + utf8.size();
    }

private:
    char *room(qsizetype bytes)
    {
        if (m_pos + bytes > m_out.size())
            m_out.resize(std::max(m_out.size() * 2, m_pos + bytes));
        return m_out.data() + m_pos;
    }

    QByteArray &m_out;
    qsizetype m_pos;
};

class Reader
{
public:
    explicit Reader(QByteArrayView data)
        : m_data(data)
    {
    }
    [[nodiscard]] bool failed() const { return m_failed; }
    [[nodiscard]] qsizetype left() const { return m_data.size() - m_pos; }

    template<typename T>
    T get()
    {
        if (left() < static_cast<qsizetype>(sizeof(T))) {
            m_failed = true;
            return T{};
        }
        const T value = qFromLittleEndian<T>(m_data.data() + m_pos);
        m_pos += static_cast<qsizetype>(sizeof(T));
        return value;
    }
    QString getText()
    {
        const quint32 size = get<quint32>();
        if (m_failed || static_cast<qsizetype>(size) > left()) {
            m_failed = true;
            return {};
        }
        const QByteArrayView bytes = m_data.sliced(m_pos, size);
        m_pos += size;
        const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
        qsizetype i = 0;
        while (i < bytes.size() && data[i] < 0x80)
            ++i;
        if (i == bytes.size())
            return QString::fromLatin1(bytes);
        QString text = m_decoder(bytes);
        if (m_decoder.hasError())
            m_failed = true; // invalid UTF-8: the record is damaged
        return text;
    }

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
    bool m_failed = false;
    QStringDecoder m_decoder{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
};

QString damaged(const QString &what)
{
    return QStringLiteral("the group data is damaged (%1)").arg(what);
}

// A node's grid; names are the branch's value names, to which columns are bound.
Result<ColumnLayout> readLayout(Reader &in, const QStringList &names, quint32 node)
{
    const auto failed = [node] {
        return Result<ColumnLayout>::failure(
            damaged(QStringLiteral("columns of node %1").arg(node)));
    };
    ColumnLayout layout;
    layout.gridColour = in.get<quint32>();
    const quint16 columns = in.get<quint16>();
    if (in.failed() || columns > in.left() / 12)
        return failed();
    layout.columns.resize(columns);
    for (ColumnLayout::Column &column : layout.columns) {
        column.storedTwips = in.get<qint32>();
        column.width = ColumnLayout::Column::pixelsOf(column.storedTwips);
        const qint32 bound = in.get<qint32>();
        column.heading = in.getText();
        if (in.failed() || bound < -1 || bound >= names.size())
            return failed();
        if (bound >= 0)
            column.boundValue = names.at(bound);
    }
    return layout;
}

Status readValues(Reader &in, quint32 nameCount, TreeBranch::Node &node, quint32 index)
{
    const Status failed = Status::failure(damaged(QStringLiteral("values of node %1").arg(index)));
    const quint16 valueCount = in.get<quint16>();
    if (in.failed() || valueCount > in.left() / 5)
        return failed;
    node.values.reserve(valueCount);
    for (quint16 v = 0; v < valueCount; ++v) {
        const quint32 name = in.get<quint32>();
        const quint8 type = in.get<quint8>();
        if (in.failed() || name >= nameCount)
            return failed;
        if (type == ValueNumber)
            node.values.emplace_back(name, NodeValue(in.get<qint64>()));
        else if (type == ValueText)
            node.values.emplace_back(name, NodeValue(in.getText()));
        else
            return failed;
    }
    return {};
}

Result<TreeBranch> decodePayload(QByteArrayView payload)
{
    Reader in(payload);
    TreeBranch branch;

    const quint32 nameCount = in.get<quint32>();
    if (in.failed() || nameCount > static_cast<quint32>(in.left() / 4))
        return Result<TreeBranch>::failure(damaged(QStringLiteral("name table")));
    for (quint32 i = 0; i < nameCount; ++i) {
        QString name = in.getText();
        if (in.failed() || name.isEmpty())
            return Result<TreeBranch>::failure(damaged(QStringLiteral("value name %1").arg(i)));
        branch.names().append(std::move(name));
    }
    auto validName = [&](qint32 index) { return index >= -1 && index < qint32(nameCount); };

    // The smallest node record: level, caption length, picture, colour, state, flags,
    // child order, order name, layout flag, value count.
    constexpr qsizetype MinNodeSize = 4 + 4 + 4 + 4 + 4 + 1 + 1 + 4 + 1 + 2;
    const quint32 nodeCount = in.get<quint32>();
    if (in.failed() || nodeCount > static_cast<quint32>(in.left() / MinNodeSize))
        return Result<TreeBranch>::failure(damaged(QStringLiteral("node count")));
    branch.nodes().reserve(nodeCount);
    int previousLevel = -1;
    for (quint32 i = 0; i < nodeCount; ++i) {
        TreeBranch::Node node;
        const quint32 level = in.get<quint32>();
        if (in.failed() || level > quint32(previousLevel + 1) || (i == 0 && level != 0))
            return Result<TreeBranch>::failure(damaged(QStringLiteral("level of node %1").arg(i)));
        node.level = static_cast<int>(level);
        previousLevel = node.level;
        node.caption = in.getText();
        node.picture = in.get<qint32>();
        node.colour = in.get<quint32>();
        node.state = in.get<qint32>();
        node.expanded = (in.get<quint8>() & FlagExpanded) != 0;
        node.childOrder = in.get<quint8>();
        node.childOrderName = in.get<qint32>();
        if (in.failed() || node.childOrder > 2 || !validName(node.childOrderName))
            return Result<TreeBranch>::failure(damaged(QStringLiteral("node %1").arg(i)));
        if (in.get<quint8>() != 0) {
            Result<ColumnLayout> layout = readLayout(in, branch.names(), i);
            if (!layout.ok())
                return Result<TreeBranch>::failure(layout.error());
            node.layout = std::move(*layout);
        }
        if (const Status values = readValues(in, nameCount, node, i); !values.ok())
            return Result<TreeBranch>::failure(values.error());
        if (in.failed())
            return Result<TreeBranch>::failure(damaged(QStringLiteral("node %1").arg(i)));
        branch.nodes().push_back(std::move(node));
    }
    if (in.left() != 0)
        return Result<TreeBranch>::failure(
            damaged(QStringLiteral("unexpected bytes after the last node")));
    return branch;
}

} // namespace

namespace {

template<typename BoundIndex>
void writeNode(Writer &out, const BranchNodeView &node, BoundIndex &boundIndex)
{
    out.put<quint32>(static_cast<quint32>(node.level));
    out.putText(node.caption);
    out.put<qint32>(node.picture);
    out.put<quint32>(node.colour);
    out.put<qint32>(node.state);
    out.put<quint8>(node.expanded ? FlagExpanded : 0);
    out.put<quint8>(static_cast<quint8>(node.childOrder));
    out.put<qint32>(node.childOrderName);
    out.put<quint8>(node.layout ? 1 : 0);
    if (node.layout) {
        out.put<quint32>(node.layout->gridColour);
        out.put<quint16>(static_cast<quint16>(node.layout->columns.size()));
        for (const ColumnLayout::Column &column : node.layout->columns) {
            out.put<qint32>(column.twips());
            out.put<qint32>(boundIndex(column.boundValue));
            out.putText(column.heading);
        }
    }
    out.put<quint16>(static_cast<quint16>(node.values.size()));
    for (const auto &[name, value] : node.values) {
        out.put<quint32>(static_cast<quint32>(name));
        if (value.isNumber()) {
            out.put<quint8>(ValueNumber);
            out.put<qint64>(value.number());
        } else {
            out.put<quint8>(ValueText);
            out.putText(value.text());
        }
    }
}

// Encodes the nodes a visit shows. Names are numbered as the source numbers them; a column
// bound to a name no value uses gets a number of its own, so the binding survives.
QByteArray
encodeRecord(const std::vector<QString> &names, size_t nodeCount,
             const std::function<void(const std::function<void(const BranchNodeView &)> &)> &visit)
{
    std::vector<QString> extraNames;
    auto boundIndex = [&](const QString &bound) -> qint32 {
        if (bound.isEmpty())
            return -1;
        for (size_t i = 0; i < names.size(); ++i) {
            if (names[i] == bound)
                return static_cast<qint32>(i);
        }
        for (size_t i = 0; i < extraNames.size(); ++i) {
            if (extraNames[i] == bound)
                return static_cast<qint32>(names.size() + i);
        }
        extraNames.push_back(bound);
        return static_cast<qint32>(names.size() + extraNames.size() - 1);
    };

    QByteArray record;
    qsizetype tableStart = 0;
    qsizetype tableEnd = 0;
    {
        Writer out(record, HeaderSize + static_cast<qsizetype>(nodeCount) * 192 + 256);
        out.put<quint64>(0); // the header, filled in below
        out.put<quint64>(0);
        out.put<quint32>(0);
        tableStart = out.position();
        out.put<quint32>(static_cast<quint32>(names.size()));
        for (const QString &name : names)
            out.putText(name);
        tableEnd = out.position();
        out.put<quint32>(static_cast<quint32>(nodeCount));
        visit([&](const BranchNodeView &node) { writeNode(out, node, boundIndex); });
    }
    if (!extraNames.empty()) { // rare: rewrite the name table with the bound names added
        QByteArray table;
        {
            Writer out(table);
            out.put<quint32>(static_cast<quint32>(names.size() + extraNames.size()));
            for (const QString &name : names)
                out.putText(name);
            for (const QString &name : extraNames)
                out.putText(name);
        }
        record.replace(tableStart, tableEnd - tableStart, table);
    }

    char *header = record.data();
    const QByteArrayView payload =
        QByteArrayView(record.constData(), record.size()).sliced(HeaderSize);
    std::memcpy(header, Magic, sizeof Magic);
    qToLittleEndian<quint16>(TreeBranchFile::FormatVersion, header + 8);
    qToLittleEndian<quint16>(0, header + 10);
    qToLittleEndian<quint32>(static_cast<quint32>(payload.size()), header + 12);
    qToLittleEndian<quint32>(crc32Of(payload), header + 16);
    return record;
}

} // namespace

QByteArray TreeBranchFile::encode(const TreeBranch &branch)
{
    return encodeRecord({branch.names().cbegin(), branch.names().cend()}, branch.size(),
                        [&](const auto &visitor) { branch.visit(visitor); });
}

QByteArray TreeBranchFile::encode(const TreeList &tree, NodeHandle node)
{
    return encodeRecord(
        tree.valueNames(),
        static_cast<size_t>(tree.isValid(node) ? tree.descendantCount(node) + 1 : 0),
        [&](const auto &visitor) { tree.visitBranch(node, false, visitor); });
}

QByteArray TreeBranchFile::encode(const TreeSnapshot &snapshot)
{
    return encodeRecord(snapshot.names(), snapshot.size(),
                        [&](const auto &visitor) { snapshot.visit(visitor); });
}

Status TreeBranchFile::write(QIODevice &device, const TreeBranch &branch)
{
    const QByteArray record = encode(branch);
    if (device.write(record) != record.size())
        return Status::failure(
            QStringLiteral("cannot write the group data: %1").arg(device.errorString()));
    return {};
}

Result<TreeBranch> TreeBranchFile::decode(QByteArrayView record, qsizetype *used)
{
    if (record.isEmpty())
        return Result<TreeBranch>::failure(QStringLiteral("the group data ends before the branch"));
    if (record.size() < HeaderSize)
        return Result<TreeBranch>::failure(QStringLiteral("the group data is truncated (header)"));
    if (std::memcmp(record.data(), Magic, sizeof Magic) != 0)
        return Result<TreeBranch>::failure(QStringLiteral("this is not a Corvel group file"));
    const auto *header = record.data() + sizeof Magic;
    const quint16 version = qFromLittleEndian<quint16>(header);
    const quint16 flags = qFromLittleEndian<quint16>(header + 2);
    const quint32 length = qFromLittleEndian<quint32>(header + 4);
    const quint32 crc = qFromLittleEndian<quint32>(header + 8);
    if (version > FormatVersion || flags != 0)
        return Result<TreeBranch>::failure(
            QStringLiteral("the group data was written by a newer version of Corvel (format %1)")
                .arg(version));
    if (version == 0 || length > MaxPayload)
        return Result<TreeBranch>::failure(damaged(QStringLiteral("header")));
    if (record.size() - HeaderSize < static_cast<qsizetype>(length))
        return Result<TreeBranch>::failure(QStringLiteral("the group data is truncated"));
    const QByteArrayView payload = record.sliced(HeaderSize, length);
    if (crc32Of(payload) != crc)
        return Result<TreeBranch>::failure(damaged(QStringLiteral("checksum mismatch")));
    if (used)
        *used = HeaderSize + length;
    return decodePayload(payload);
}

Result<TreeBranch> TreeBranchFile::read(QIODevice &device)
{
    const QByteArray header = device.read(HeaderSize);
    if (header.size() < HeaderSize || std::memcmp(header.data(), Magic, sizeof Magic) != 0)
        return decode(header);
    const quint32 length = qFromLittleEndian<quint32>(header.data() + 12);
    if (length > MaxPayload)
        return decode(header);
    // Read in pieces: a forged length must not make us set aside a gigabyte for a short file.
    QByteArray record = header;
    constexpr qint64 Piece = 1 << 20;
    qint64 left = length;
    while (left > 0) {
        const QByteArray piece = device.read(std::min(left, Piece));
        if (piece.isEmpty())
            break;
        record.append(piece);
        left -= piece.size();
    }
    return decode(record);
}

} // namespace corvel
