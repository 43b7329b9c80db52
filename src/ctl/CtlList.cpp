#include "ctl/CtlContext.h"
#include "folders/FolderRows.h"
#include "groups/GroupStore.h"
#include "workspace/Workspace.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace corvel {

namespace {

// Writes rows as they come, so a large folder's listing is never held a second time as
// text. The JSON is the same indented array a whole document would print.
class RowWriter
{
public:
    explicit RowWriter(bool json)
        : m_json(json)
    {
    }

    void write(const TableRow &row)
    {
        if (m_json)
            writeJson(row.json);
        else
            writeCells(row.cells);
        if (m_buffer.size() >= FlushFrom)
            flush();
    }

    // Ends the output; false when it could not all be written (a full disk, a closed pipe).
    [[nodiscard]] bool finish()
    {
        if (m_json)
            m_buffer += m_rows == 0 ? "[\n]\n" : "\n]\n";
        flush();
        return std::fflush(stdout) == 0 && !m_failed;
    }

private:
    static constexpr qsizetype FlushFrom = 64 * 1024;

    void writeCells(const QStringList &cells)
    {
        m_line.resize(0);
        for (qsizetype i = 0; i < cells.size(); ++i) {
            if (i > 0)
                m_line += QLatin1Char('\t');
            const qsizetype from = m_line.size();
            m_line += cells[i];
            // A value holding a tab or a line break would shift the cells of every line after.
            QChar *c = m_line.data() + from;
            for (QChar *end = m_line.data() + m_line.size(); c != end; ++c) {
                if (*c == QLatin1Char('\t') || *c == QLatin1Char('\n') || *c == QLatin1Char('\r'))
                    *c = QLatin1Char(' ');
            }
        }
        m_line += QLatin1Char('\n');
        m_buffer += m_line.toUtf8();
        ++m_rows;
    }

    void writeJson(const QJsonObject &object)
    {
        m_buffer += m_rows++ == 0 ? "[\n" : ",\n";
        // The object's own indented text, one level deeper as an element of the array.
        const QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Indented);
        qsizetype start = 0;
        while (start < text.size()) {
            qsizetype end = text.indexOf('\n', start);
            if (end < 0)
                end = text.size();
            m_buffer += "    ";
            m_buffer += QByteArrayView(text).sliced(start, end - start);
            if (end + 1 < text.size())
                m_buffer += '\n';
            start = end + 1;
        }
    }

    void flush()
    {
        if (!m_buffer.isEmpty() && std::fwrite(m_buffer.constData(), 1, size_t(m_buffer.size()),
                                               stdout) != size_t(m_buffer.size()))
            m_failed = true;
        m_buffer.resize(0);
    }

    bool m_json;
    qsizetype m_rows = 0;
    bool m_failed = false;
    QString m_line;
    QByteArray m_buffer;
};

} // namespace

int runList(const CtlContext &context)
{
    if (context.args.size() != 1)
        return ExitUsage;
    Workspace::Options options;
    options.appPath = context.appPath;
    options.shippedDir = context.shippedDir;
    Workspace workspace(options);
    const Workspace::Opened opened = workspace.open();
    for (const QString &detail : opened.details)
        printError(QStringLiteral("corvelctl: %1").arg(detail));
    if (!workspace.isSessionOpen()) {
        if (opened.details.isEmpty())
            printError(QStringLiteral("corvelctl: %1").arg(opened.statusText));
        return ExitFailed;
    }
    const bool complete = opened.statusText.isEmpty();

    RowWriter writer(context.json);
    const Status listed = FolderRows::items(
        workspace.tree(), *workspace.session(), workspace.groups().columnSets(), context.args[0],
        context.json, context.find, [&](const TableRow &row) { writer.write(row); });
    if (!listed.ok()) {
        printError(QStringLiteral("corvelctl: %1").arg(listed.error()));
        return ExitFailed;
    }
    if (!writer.finish()) {
        printError(QStringLiteral("corvelctl: the listing could not be written out"));
        return ExitFailed;
    }
    return complete ? ExitOk : ExitFailed;
}

} // namespace corvel
