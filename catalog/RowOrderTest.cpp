#include "catalog/RowOrder.h"

#include "catalog/TestPrinters.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

QStringList sorted(QStringList names)
{
    std::stable_sort(names.begin(), names.end(),
                     [](const QString& a, const QString& b) { return compareRowCaptions(a, b) < 0; });
    return names;
}

TEST(RowOrderTest, GivesTheWordSortOrder)
{
    struct Case
    {
        QStringList input;
        QStringList expected;
    };
    const Case cases[] = {
        {{"zz.po", "ab.po", "Ma.po"}, {"ab.po", "Ma.po", "zz.po"}},
        {{"en_GB.po", "en.po"}, {"en.po", "en_GB.po"}},
        {{"pt_BR.po", "pt.po"}, {"pt.po", "pt_BR.po"}},
        {{"aB.po", "ab.po", "Ab.po"}, {"ab.po", "aB.po", "Ab.po"}},
        // Symbols before digits before letters, in the symbols' own order.
        {{"a.po", "1.po", "_.po", "~.po", "+.po", " .po", "!.po"},
         {" .po", "!.po", "_.po", "~.po", "+.po", "1.po", "a.po"}},
        {{"9", "10", "1"}, {"1", "10", "9"}},
        // Hyphens and apostrophes only break a final tie.
        {{"co-op", "coop", "cop", "con"}, {"con", "coop", "co-op", "cop"}},
        {{"ab-c.po", "abd.po", "abb.po"}, {"abb.po", "ab-c.po", "abd.po"}},
        {{"it's", "its", "itz"}, {"its", "it's", "itz"}},
        // Beyond ASCII after the letters.
        {{"é.po", "z.po", "e.po"}, {"e.po", "z.po", "é.po"}},
        // Case decides only after the letters themselves.
        {{"Ab", "aa", "AA", "ac"}, {"aa", "AA", "Ab", "ac"}},
        {{"a", "A", "a"}, {"a", "a", "A"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(sorted(c.input), c.expected);
    }
}

TEST(RowOrderTest, IsAConsistentTotalOrder)
{
    const QStringList names
        = {"",  "a", "A",  "a-",  "-a",  "'a", "ab",  "aB",  "Ab", "AB", "a b", "a_b", "a.b", "a1",    "a10", "a9",
           "é", "ü", "zz", "z-z", "z'z", "Z",  "[x]", "{x}", "x~", "x+", "x=",  "=",   "\t",  "co-op", "coop"};
    for (const QString& a : names) {
        EXPECT_EQ(compareRowCaptions(a, a), 0) << a.toStdString();
        for (const QString& b : names) {
            const int ab = compareRowCaptions(a, b);
            EXPECT_EQ((ab > 0) - (ab < 0), -((compareRowCaptions(b, a) > 0) - (compareRowCaptions(b, a) < 0)))
                << a.toStdString() << " / " << b.toStdString();
            if (a != b) {
                EXPECT_NE(ab, 0) << a.toStdString() << " / " << b.toStdString();
            }
            for (const QString& c : names) {
                if (ab < 0 && compareRowCaptions(b, c) < 0) {
                    EXPECT_LT(compareRowCaptions(a, c), 0)
                        << a.toStdString() << " < " << b.toStdString() << " < " << c.toStdString();
                }
            }
        }
    }
}

TEST(RowOrderTest, SortsTheCorpusAsItsExpectedRows)
{
    QFile expected(QStringLiteral(QUILLMARK_CORPUS "/thunar.expected.tsv"));
    if (!expected.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "no corpus";
    QStringList rows;
    for (const QByteArray& line : expected.readAll().split('\n').mid(1)) {
        if (!line.isEmpty())
            rows.append(QString::fromUtf8(line.left(line.indexOf('\t'))));
    }
    const QStringList listed = QDir(QStringLiteral(QUILLMARK_CORPUS "/thunar"))
                                   .entryList({QStringLiteral("*.po")}, QDir::Files, QDir::Reversed);
    EXPECT_EQ(sorted(listed), rows);
}

} // namespace
