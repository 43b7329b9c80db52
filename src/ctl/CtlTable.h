#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

namespace corvel {

// The rows a verb prints: tab-separated lines, or with --json an array of objects.
class CtlTable
{
public:
    explicit CtlTable(bool json)
        : m_json(json)
    {
    }
    void add(const QJsonObject &row, const QStringList &cells);
    void print() const;

private:
    bool m_json;
    QJsonArray m_rows;
    QString m_text;
};

} // namespace corvel
