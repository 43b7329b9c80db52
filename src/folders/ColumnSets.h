#pragma once

#include "support/Result.h"

#include <QString>

#include <vector>

namespace corvel {

// The columns an item list shows: per folder (keyed by its EntryID) and per item class
// (keyed by the class name, from the shipped defaults).
struct ColumnSet
{
    struct Column
    {
        QString property; // the item property it shows
        QString heading;
        QString width; // in pixels, as stored; text that is no number gets a default

        friend bool operator==(const Column &, const Column &) = default;
    };

    QString key;
    QString displayName;
    QString reserved;
    std::vector<Column> columns;

    friend bool operator==(const ColumnSet &, const ColumnSet &) = default;
};

// The table of column sets of one run, numbered from 1 in the order they were added.
// Parses and formats the two text files it is kept in; knows nothing of the tree.
class ColumnSets
{
public:
    [[nodiscard]] int count() const { return static_cast<int>(m_records.size()); }
    // n from 1 to count().
    [[nodiscard]] const ColumnSet &record(int n) const
    {
        return m_records.at(static_cast<size_t>(n - 1));
    }
    [[nodiscard]] ColumnSet &record(int n) { return m_records.at(static_cast<size_t>(n - 1)); }
    int add(const ColumnSet &record);

    // The first record whose key equals `key` exactly; 0 when none.
    [[nodiscard]] int findColumnSet(const QString &key) const;
    // Appends a copy of record n; returns the new record's number, 0 when n is out of range.
    int copyColumnSet(int n);

    // Folder settings: one record per line, six fields joined by "^" (key, display name,
    // reserved, then the columns' properties, headings and widths, each joined by "~");
    // empty lines ignored, missing fields empty, fields past the sixth ignored. The longest
    // of the three lists gives the columns; the shorter ones are padded when written.
    void readFolderSettings(const QString &text);
    // Fails, saying why, when a folder settings text cannot be one this program wrote (empty,
    // cut short in a line, control characters in a line). Missing fields are not damage:
    // older files have them.
    [[nodiscard]] static Status checkFolderSettings(const QString &text);
    [[nodiscard]] static QString formatLine(const ColumnSet &record);
    [[nodiscard]] static ColumnSet parseLine(const QString &line);

    // Class defaults: a line starting "IPM." opens the section of that class (replacing the
    // columns of a record already loaded for it); each following line is one column,
    // "<indent>property;heading;width".
    void readClassDefaults(const QString &text);

private:
    std::vector<ColumnSet> m_records;
};

} // namespace corvel
