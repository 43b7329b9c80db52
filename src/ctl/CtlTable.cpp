#include "ctl/CtlTable.h"

#include "ctl/CtlContext.h"

#include <QJsonDocument>

namespace corvel {

void CtlTable::add(const QJsonObject &row, const QStringList &cells)
{
    if (m_json)
        m_rows.append(row);
    else
        m_text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
}

void CtlTable::print() const
{
    if (m_json)
        printOut(QString::fromUtf8(QJsonDocument(m_rows).toJson(QJsonDocument::Indented)));
    else if (!m_text.isEmpty())
        printOut(m_text);
}

} // namespace corvel
