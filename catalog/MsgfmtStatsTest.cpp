#include "catalog/MsgfmtStats.h"

#include "catalog/CatalogRow.h"
#include "catalog/TestPrinters.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

namespace {

constexpr qint32 Max32 = std::numeric_limits<qint32>::max();
constexpr qint32 Min32 = std::numeric_limits<qint32>::min();

TEST(NumberBeforeTest, TakesTheNonBlanksBeforeTheFirstBlankAndWord)
{
    struct Case
    {
        const char* line;
        const char* word;
        const char* expected;
    };
    const Case cases[] = {
        {"12 translated messages, 3 fuzzy translations, 5 untranslated messages.", "fuzzy", "3"},
        {"b translated", "translated", "b"},
        {"file.po:9: 4 translated", "translated", "4"},
        {"file.po:9:\t4 translated", "translated", "file.po:9:\t4"},
        {"12 translated messages, 3 fuzzy", "3", "messages,"},
        {"3 fuzzy, 4 fuzzy", "fuzzy", "3"},
        {" translated messages", "translated", ""},
        {"x  translated", "translated", ""},
        {"7translated", "translated", ""},
        {"7 Translated", "translated", ""},
        {"5 untranslated", "translated", ""},
        {"", "translated", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(NumberBefore(c.line, c.word), QByteArray(c.expected));
    }
}

TEST(IsErrorSummaryLineTest, TakesOnlyMsgfmtsOwnCountAndGiveUpLines)
{
    for (const char* line : {"msgfmt: found 1 fatal error", "msgfmt: found 12 fatal errors", "found 2 fatal errors",
                             "/usr/bin/msgfmt: found 1 fatal error", "msgfmt: too many errors, aborting",
                             "too many errors, aborting", "x: too many errors, aborting"}) {
        SCOPED_TRACE(line);
        EXPECT_TRUE(IsErrorSummaryLine(line));
    }
    for (const char* line :
         {"/po/fatal error dir/de.po:3: warning: header field 'Language' missing in header",
          "/po/how many errors.po:2: warning: header field 'Language' missing in header", "fatal error",
          "msgfmt: found fatal errors", "msgfmt: found 1 fatal error in x", "a b: found 1 fatal error",
          "x:y: found 1 fatal error", "msgfmt: found 1 fatal error.", "msgfmt: too many errors",
          "1 translated message.", "found -1 fatal errors", "found 1 Fatal Error", ""}) {
        SCOPED_TRACE(line);
        EXPECT_FALSE(IsErrorSummaryLine(line));
    }
}

TEST(ParseStatsLineTest, ReadsWholeDecimalCountsAndErrorsFirst)
{
    struct Case
    {
        const char* line;
        TMsgfmtStats expected;
    };
    const Case cases[] = {
        {"2147483647 translated, -2147483648 fuzzy, +5 untranslated", {Max32, Min32, 5, false, 0}},
        {"2147483648 translated, -2147483649 fuzzy, 1e3 untranslated", {}},
        {"5, translated, - fuzzy, ++5 untranslated", {}},
        {"9 Translated messages, 2 Fuzzy, found 4 Fatal Errors, 2 Many Errors", {}},
        {"3 translated messages, found 12 fatal errors", {0, 0, 0, true, 12}},
        {"fatal error, no count", {0, 0, 0, true, 0}},
        {"msgfmt: 4 fatal errors, too many errors", {0, 0, 0, true, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(ParseStatsLine(c.line), c.expected);
    }
}

TEST(RatioFromPositionTest, MapsSliderPositionsAndAnyOther)
{
    const std::pair<int, YellowThreshold> cases[] = {
        {0, {4, 5}}, {1, {3, 4}}, {2, {2, 3}},     {3, {1, 2}},  {4, {1, 4}},     {5, {1, 6}},
        {6, {1, 8}}, {7, {1, 2}}, {Max32, {1, 2}}, {-1, {5, 6}}, {-10, {14, 15}}, {Min32, {Max32 - 1, Max32}},
    };
    for (const auto& [position, expected] : cases) {
        SCOPED_TRACE(position);
        EXPECT_EQ(RatioFromPosition(position), expected);
    }
}

struct EvaluateCase
{
    const char* line;
    int position;
    const char* status;
    std::array<const char*, 4> counts; // Total, Translated, Fuzzy, Untranslated
    int icon;
};

void PrintTo(const EvaluateCase& c, std::ostream* os)
{
    *os << '"' << c.line << "\" at position " << c.position;
}

class EvaluateRowTest : public testing::TestWithParam<EvaluateCase>
{
};

TEST_P(EvaluateRowTest, WritesStatusCountsAndIcon)
{
    const EvaluateCase& c = GetParam();
    const auto [num, den] = RatioFromPosition(c.position);
    const CatalogRow expected{"de.po", {c.status, "", c.counts[0], c.counts[1], c.counts[2], c.counts[3]}, c.icon, {}};
    // A newly listed row, and one that a former check left complete.
    const CatalogRow before[] = {{"de.po", {}, CatalogRow::IconNone, {}},
                                 {"de.po", {"100%", "", "3", "3", "0", "0"}, CatalogRow::IconComplete, {}}};
    for (CatalogRow row : before) {
        EvaluateRow(row, ParseStatsLine(c.line), num, den);
        EXPECT_EQ(row, expected);
    }
}

const char* const Mixed = "12 translated messages, 3 fuzzy translations, 5 untranslated messages.";
const char* const WithFuzzy = "4 translated messages, 1 fuzzy translation.";
const char* const MaxCounts = "2147483647 translated, 2147483647 fuzzy, 2147483647 untranslated";

const EvaluateCase EvaluateCases[] = {
    {Mixed, 0, "60%", {"20", "12", "3", "5"}, 2},
    {Mixed, 3, "60%", {"20", "12", "3", "5"}, 1},
    {"7 translated messages.", 0, "100%", {"7", "7", "0", "0"}, 0},
    {"file.po:9: 4 translated messages.", 0, "100%", {"4", "4", "0", "0"}, 0},
    {"2 translated messages, 1 untranslated message.", 0, "66%", {"3", "2", "0", "1"}, 2},
    {"5 translated messages, 5 untranslated messages.", 3, "50%", {"10", "5", "0", "5"}, 2},
    {"6 translated messages, 4 untranslated messages.", 3, "60%", {"10", "6", "0", "4"}, 1},
    {WithFuzzy, 0, "80%", {"5", "4", "1", "0"}, 2},
    {WithFuzzy, 3, "80%", {"5", "4", "1", "0"}, 1},
    {"msgfmt: found 1 fatal error", 0, "1 error", {"0", "0", "0", "0"}, 3},
    {"msgfmt: found 2 fatal errors", 0, "2 errors", {"0", "0", "0", "0"}, 3},
    {"fatal error, no count", 0, "0 error", {"0", "0", "0", "0"}, 3},
    {"msgfmt: 2 fatal errors, too many errors", 0, "Too many errors", {"0", "0", "0", "0"}, 3},
    {"", 0, "Empty file", {"0", "0", "0", "0"}, -1},
    {"msgfmt: no input file given", 0, "Empty file", {"0", "0", "0", "0"}, -1},
    {"-5 translated messages, 2 untranslated messages.", 0, "Empty file", {"-3", "-5", "0", "2"}, -1},
    // Sums and products beyond 32 bits, and a numerator near 2^31 against three maximal counts.
    {"2147483647 translated messages, 1 untranslated message.", 3, "99%", {"2147483648", "2147483647", "0", "1"}, 1},
    {MaxCounts, Min32, "33%", {"6442450941", "2147483647", "2147483647", "2147483647"}, 2},
};

INSTANTIATE_TEST_SUITE_P(Lines, EvaluateRowTest, testing::ValuesIn(EvaluateCases));

} // namespace
