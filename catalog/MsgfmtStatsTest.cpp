#include "catalog/MsgfmtStats.h"

#include "catalog/CatalogRow.h"
#include "catalog/TestPrinters.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <optional>
#include <utility>

namespace {

constexpr qint32 Max32 = std::numeric_limits<qint32>::max();
constexpr qint32 Min32 = std::numeric_limits<qint32>::min();

TMsgfmtStats counts(qint32 translated, qint32 fuzzy = 0, qint32 untranslated = 0)
{
    return {translated, fuzzy, untranslated, false, 0};
}

TMsgfmtStats errors(qint32 count)
{
    return {0, 0, 0, true, count};
}

const char* const HeaderWarning = ":2: warning: header field 'Language' missing in header";

TEST(ParseStatsLineTest, ReadsOnlyMsgfmtsOwnWholeSummaryLines)
{
    const std::pair<QByteArray, std::optional<TMsgfmtStats>> cases[] = {
        // msgfmt -v under the C locale: the translated count always, the other two only above 0.
        {"0 translated messages.", counts(0)},
        {"1 translated message.", counts(1)},
        {"0 translated messages, 1 fuzzy translation.", counts(0, 1)},
        {"0 translated messages, 2 untranslated messages.", counts(0, 0, 2)},
        {"1 translated message, 1 fuzzy translation, 1 untranslated message.", counts(1, 1, 1)},
        {"12 translated messages, 3 fuzzy translations, 5 untranslated messages.", counts(12, 3, 5)},
        {"2147483647 translated messages, 2147483647 fuzzy translations, 2147483647 untranslated messages.",
         counts(Max32, Max32, Max32)},
        {"msgfmt: found 1 fatal error", errors(1)},
        {"msgfmt: found 12 fatal errors", errors(12)},
        {"/usr/bin/msgfmt: found 1 fatal error", errors(1)},
        {"found 2 fatal errors", errors(2)},
        {"msgfmt: too many errors, aborting", errors(-1)},
        {"x: too many errors, aborting", errors(-1)},
        {"too many errors, aborting", errors(-1)},
        // Lines that quote a path holding the words.
        {R"(msgfmt: error while opening "po 3 translated/de.po" for reading: Permission denied)", std::nullopt},
        {R"(msgfmt: error while opening "not translated/de.po" for reading: Permission denied)", std::nullopt},
        {QByteArray("po 3 translated/de.po") + HeaderWarning, std::nullopt},
        {QByteArray("1 translated message.po") + HeaderWarning, std::nullopt},
        {QByteArray("/po/fatal error dir/de.po") + HeaderWarning, std::nullopt},
        {QByteArray("/po/how many errors.po") + HeaderWarning, std::nullopt},
        {"po/found dir/x.po: found 1 fatal error", std::nullopt},
        // A statistics line inside a longer one, as msgfmt -v -v writes it, or cut short.
        {"de.po: 2 translated messages, 1 fuzzy translation, 1 untranslated message.", std::nullopt},
        {"1 translated message. ", std::nullopt},
        {"1 translated message", std::nullopt},
        {"1 translated message..", std::nullopt},
        {"1 translated message, 1 fuzzy translation", std::nullopt},
        // Words, numbers, order and separators msgfmt does not write.
        {"1 translated messages.", std::nullopt},
        {"2 translated message.", std::nullopt},
        {"0 translated message.", std::nullopt},
        {"1 translated message, 2 fuzzy translation.", std::nullopt},
        {"1 translated message, 1 untranslated messages.", std::nullopt},
        {"1 translated message, 0 fuzzy translations.", std::nullopt},
        {"1 translated message, 1 untranslated message, 1 fuzzy translation.", std::nullopt},
        {"1 fuzzy translation.", std::nullopt},
        {"2 untranslated messages.", std::nullopt},
        {"1 translated message,1 fuzzy translation.", std::nullopt},
        {"1 translated message; 1 fuzzy translation.", std::nullopt},
        {"1  translated message.", std::nullopt},
        {"01 translated message.", std::nullopt},
        {"+1 translated message.", std::nullopt},
        {"-5 translated messages.", std::nullopt},
        {"2147483648 translated messages.", std::nullopt},
        {"1 Translated message.", std::nullopt},
        {"2 übersetzte Meldungen, 1 ungenaue Übersetzung.", std::nullopt},
        // Error lines that are not msgfmt's count or give-up.
        {"fatal error, no count", std::nullopt},
        {"msgfmt: found fatal errors", std::nullopt},
        {"msgfmt: found 1 fatal error in x", std::nullopt},
        {"msgfmt: found 1 fatal error.", std::nullopt},
        {"a b: found 1 fatal error", std::nullopt},
        {"x:y: found 1 fatal error", std::nullopt},
        {"found -1 fatal errors", std::nullopt},
        {"found 1 Fatal Error", std::nullopt},
        {"msgfmt: too many errors", std::nullopt},
        {"msgfmt: 4 fatal errors, too many errors", std::nullopt},
        {"msgfmt: no input file given", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [line, expected] : cases) {
        SCOPED_TRACE(line.toStdString());
        EXPECT_EQ(ParseStatsLine(line), expected);
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
    TMsgfmtStats stats;
    int position;
    const char* status;
    std::array<const char*, 4> counts; // Total, Translated, Fuzzy, Untranslated
    int icon;
};

void PrintTo(const EvaluateCase& c, std::ostream* os)
{
    PrintTo(c.stats, os);
    *os << " at position " << c.position;
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
        EvaluateRow(row, c.stats, num, den);
        EXPECT_EQ(row, expected);
    }
}

const EvaluateCase EvaluateCases[] = {
    {counts(12, 3, 5), 0, "60%", {"20", "12", "3", "5"}, 2},
    {counts(12, 3, 5), 3, "60%", {"20", "12", "3", "5"}, 1},
    {counts(7), 0, "100%", {"7", "7", "0", "0"}, 0},
    {counts(2, 0, 1), 0, "66%", {"3", "2", "0", "1"}, 2},
    {counts(5, 0, 5), 3, "50%", {"10", "5", "0", "5"}, 2},
    {counts(6, 0, 4), 3, "60%", {"10", "6", "0", "4"}, 1},
    {counts(4, 1), 0, "80%", {"5", "4", "1", "0"}, 2},
    {counts(4, 1), 3, "80%", {"5", "4", "1", "0"}, 1},
    {errors(1), 0, "1 error", {"0", "0", "0", "0"}, 3},
    {errors(2), 0, "2 errors", {"0", "0", "0", "0"}, 3},
    {errors(0), 0, "0 error", {"0", "0", "0", "0"}, 3},
    {errors(-1), 0, "Too many errors", {"0", "0", "0", "0"}, 3},
    {counts(0), 0, "Empty file", {"0", "0", "0", "0"}, -1},
    {counts(-5, 0, 2), 0, "Empty file", {"-3", "-5", "0", "2"}, -1},
    // Sums and products beyond 32 bits, and a numerator near 2^31 against three maximal counts.
    {counts(Max32, 0, 1), 3, "99%", {"2147483648", "2147483647", "0", "1"}, 1},
    {counts(Max32, Max32, Max32), Min32, "33%", {"6442450941", "2147483647", "2147483647", "2147483647"}, 2},
};

INSTANTIATE_TEST_SUITE_P(Lines, EvaluateRowTest, testing::ValuesIn(EvaluateCases));

} // namespace
