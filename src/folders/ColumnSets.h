#pragma once

#include <QString>

#include <array>
#include <vector>

namespace corvel {

// The columns an item list shows: per folder (keyed by its EntryID) and per item class
// (keyed by the class name, from the shipped defaults).
struct ColumnSet
{
    enum Field
    {
        Key = 1,
        DisplayName,
        Reserved,
        Properties,
        Headings,
        Widths
    };

    std::array<QString, 6> fields;

    [[nodiscard]] const QString &field(int n) const
    {
        return fields.at(static_cast<size_t>(n - 1));
    }
    [[nodiscard]] QString &field(int n) { return fields.at(static_cast<size_t>(n - 1)); }
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
    [[nodiscard]] int FindColumnSet(const QString &key) const;
    // Appends a copy of record n; returns the new record's number, 0 when n is out of range.
    int CopyColumnSet(int n);

    // Folder settings: one record per line, six fields joined by "^"; empty lines ignored,
    // missing fields empty, fields past the sixth ignored.
    void readFolderSettings(const QString &text);
    // Why a folder settings text cannot be one this program wrote (empty, cut short in a
    // line, control characters in a line); empty when it can. Missing fields are not damage:
    // older files have them.
    [[nodiscard]] static QString checkFolderSettings(const QString &text);
    [[nodiscard]] static QString formatLine(const ColumnSet &record);

    // Class defaults: a line starting "IPM." opens the section of that class (replacing the
    // columns of a record already loaded for it); each following line is one column,
    // "<indent>property;heading;width".
    void readClassDefaults(const QString &text);

private:
    std::vector<ColumnSet> m_records;
};

} // namespace corvel
