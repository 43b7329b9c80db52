#include "support/FieldStrings.h"
#include "support/DelimitedFields.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <tuple>

using namespace Qt::StringLiterals;
using namespace corvel;

TEST(FieldStrings, CountsFieldsAndDelimiters)
{
    const std::tuple<QString, QString, int, int> cases[] = {
        // source, delimiter, fields, delimiters; delimiters never overlap and case counts
        {u""_s, u"^"_s, 0, 0},      {u"a"_s, u"^"_s, 1, 0},
        {u"a^"_s, u"^"_s, 2, 1},    {u"^"_s, u"^"_s, 2, 1},
        {u"a^^b"_s, u"^"_s, 3, 2},  {u"aaa"_s, u"aa"_s, 2, 1},
        {u"aaaa"_s, u"aa"_s, 3, 2}, {u"a; b;c; d"_s, u"; "_s, 3, 2},
        {u"A^a"_s, u"A"_s, 2, 1},   {u"x\\\\y\\z"_s, u"\\\\"_s, 2, 1},
        {u"abc"_s, u""_s, 1, 0},    {u""_s, u""_s, 0, 0},
    };
    for (const auto &[source, dlm, fields, dlms] : cases) {
        SCOPED_TRACE(source.toStdString() + " / " + dlm.toStdString());
        EXPECT_EQ(DS_CountFields(source, dlm), fields);
        EXPECT_EQ(DS_CountDlms(source, dlm), dlms);
    }
}

TEST(FieldStrings, GetsFields)
{
    const std::tuple<QString, QString, int, QString> cases[] = {
        {u"a^b"_s, u"^"_s, 3, u""_s},
        {u"a^^b"_s, u"^"_s, 2, u""_s},
        {u"a^^b"_s, u"^"_s, 3, u"b"_s},
        {u"a^b"_s, u"^"_s, 0, u""_s},
        {u"\"x\",\"y\""_s, u"\",\""_s, 1, u"\"x"_s},
        {u"\"x\",\"y\""_s, u"\",\""_s, 2, u"y\""_s},
        {u"one; two;three"_s, u"; "_s, 2, u"two;three"_s},
        {u"aaab"_s, u"aa"_s, 2, u"ab"_s},
        {u"abc"_s, u""_s, 1, u"abc"_s},
    };
    for (const auto &[source, dlm, n, expected] : cases)
        EXPECT_EQ(DS_GetField(source, dlm, n), expected) << source.toStdString() << " #" << n;
}

TEST(FieldStrings, PutsFields)
{
    const std::tuple<QString, int, QString, QString> cases[] = {
        {u""_s, 1, u"v"_s, u"v"_s},      {u""_s, 1, u""_s, u""_s},
        {u"a"_s, 2, u"v"_s, u"a^v"_s},   {u"a^b"_s, 1, u"v"_s, u"v^b"_s},
        {u"a^b"_s, 2, u""_s, u"a^"_s},   {u"a^^c"_s, 2, u"b"_s, u"a^b^c"_s},
        {u"a^b"_s, 4, u"v"_s, u"a^b"_s}, // beyond count + 1
        {u"a^b"_s, 0, u"v"_s, u"a^b"_s}, {u""_s, 2, u"v"_s, u""_s},
        {u"a"_s, 1, u"x^y"_s, u"x^y"_s},
    };
    for (const auto &[source, n, value, expected] : cases)
        EXPECT_EQ(DS_PutField(source, u"^"_s, n, value), expected) << source.toStdString() << n;
    // A value holding the delimiter becomes several fields.
    EXPECT_EQ(DS_CountFields(DS_PutField(u"a"_s, u"^"_s, 1, u"x^y"_s), u"^"_s), 2);
    EXPECT_EQ(DS_PutField(u"a; b"_s, u"; "_s, 3, u"c"_s), u"a; b; c"_s);
}

TEST(FieldStrings, FindsWholeFields)
{
    // source, first field searched, the field, where it is (0: nowhere); no partial matches
    const std::tuple<QString, int, QString, int> cases[] = {
        {u"a^b^c"_s, 1, u"b"_s, 2}, {u"a^b^c"_s, 1, u"ab"_s, 0}, {u"a^b^c"_s, 1, u"a^b"_s, 0},
        {u"a^b^c"_s, 1, u"B"_s, 0}, {u"ab^b"_s, 1, u"b"_s, 2},   {u"b^a^b"_s, 2, u"b"_s, 3},
        {u"a^^c"_s, 1, u""_s, 2},   {u""_s, 1, u""_s, 0},        {u""_s, 1, u"a"_s, 0},
    };
    for (const auto &[source, start, field, found] : cases)
        EXPECT_EQ(DS_FindField(source, u"^"_s, start, field, 1), found) << source.toStdString();
}

TEST(FieldStrings, FindsAndReplacesDelimiters)
{
    const QString path = u"C:\\Mail\\Groups.txt"_s;
    EXPECT_EQ(DS_FindDlm(path, u"\\"_s, 1), 3);
    EXPECT_EQ(DS_FindDlm(path, u"\\"_s, 2), 8);
    EXPECT_EQ(DS_FindDlm(path, u"\\"_s, 3), 0);
    EXPECT_EQ(DS_FindDlm(path, u"\\"_s, 0), 0);
    EXPECT_EQ(DS_FindDlm(u"aaaaa"_s, u"aa"_s, 2), 3);
    EXPECT_EQ(DS_FindDlm(u"\\\\srv\\\\share"_s, u"\\\\"_s, 2), 6);
    EXPECT_EQ(DS_FindDlm(u"abc"_s, u""_s, 1), 0);

    EXPECT_EQ(DS_ReplaceDlms(u"a; b; c"_s, u"; "_s, u","_s), u"a,b,c"_s);
    EXPECT_EQ(DS_ReplaceDlms(u"a; b; "_s, u"; "_s, u""_s), u"ab"_s);
    EXPECT_EQ(DS_ReplaceDlms(u"aaa"_s, u"aa"_s, u"b"_s), u"ba"_s);
    EXPECT_EQ(DS_ReplaceDlms(u"abc"_s, u""_s, u"x"_s), u"abc"_s);
}

TEST(DelimitedFields, UsesItsOwnDelimiters)
{
    DelimitedFields vx;
    const QString f = QString(QChar(2));
    const QString s = QString(QChar(1));
    const QString list = u"a"_s + f + u"b"_s + s + u"c"_s + f + u"d"_s;
    EXPECT_EQ(vx.CountFields(list), 3);
    EXPECT_EQ(vx.GetField(list, 2), u"b"_s + s + u"c"_s);
    EXPECT_EQ(vx.CountSubFields(vx.GetField(list, 2)), 2);
    EXPECT_EQ(vx.GetSubField(vx.GetField(list, 2), 2), u"c"_s);
    EXPECT_EQ(vx.FindField(list, u"d"_s), 3);
    EXPECT_EQ(vx.FindField(list, u"b"_s), 0);
    EXPECT_EQ(vx.PutSubField(u"x"_s, -1, u"y"_s), u"x"_s + s + u"y"_s);

    vx.SetFieldDelimiter(u'^');
    EXPECT_EQ(vx.CountFields(u""_s), 0);
    EXPECT_EQ(vx.PutField(u""_s, -1, u"v"_s), u"v"_s);
    EXPECT_EQ(vx.PutField(u""_s, -1, u""_s), u""_s);
    EXPECT_EQ(vx.PutField(u"a"_s, -1, u"v"_s), u"a^v"_s);
    EXPECT_EQ(vx.PutField(u"a^b"_s, 1, u"v"_s), u"v^b"_s);
    EXPECT_EQ(vx.PutField(u"a^b"_s, 5, u"v"_s), u"a^b"_s);
}

TEST(DelimitedFields, BuildsAndSearchesLongListsInLinearTime)
{
    DelimitedFields vx;
    vx.SetFieldDelimiter(u'^');
    constexpr int kFields = 100000;
    QString list;
    for (int i = 1; i <= kFields; ++i)
        list += (i > 1 ? u"^"_s : u""_s) + QString::number(i);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(vx.CountFields(list), kFields);
    EXPECT_EQ(vx.FindField(list, QString::number(kFields)), kFields);
    EXPECT_EQ(vx.GetField(list, kFields - 1), QString::number(kFields - 1));
    EXPECT_EQ(vx.CountFields(vx.PutField(list, -1, u"x"_s)), kFields + 1);
    // Quadratic work over this many fields would take minutes.
    EXPECT_LT(timer.elapsed(), 2000);
}
