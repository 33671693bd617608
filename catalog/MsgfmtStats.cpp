#include "catalog/MsgfmtStats.h"

#include "catalog/CatalogRow.h"

#include <QString>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <optional>
#include <system_error>

namespace {

// translated / total > num / den, as translated * den > num * total (total and den above 0). The left product
// stays below 2^62, but three 32-bit counts times a numerator near 2^31 pass 2^63; a product that large is
// beyond the left one, so its sign decides.
bool shareAbove(qint32 translated, qint64 total, qint32 num, qint32 den)
{
    if (num != 0 && total > std::numeric_limits<qint64>::max() / std::abs(qint64{num}))
        return num < 0;
    return qint64{translated} * den > qint64{num} * total;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

/// Takes prefix off the front of text; false, text untouched, when text does not start with it.
bool skip(QByteArrayView& text, QByteArrayView prefix)
{
    if (!text.startsWith(prefix))
        return false;
    text = text.sliced(prefix.size());
    return true;
}

/// Takes a count off the front of text as msgfmt's "%d" writes one that is not negative: digits, no leading
/// zero, within 32 bits.
std::optional<qint32> takeCount(QByteArrayView& text)
{
    qsizetype digits = 0;
    while (digits < text.size() && isDigit(text[digits]))
        ++digits;
    if (digits == 0 || (digits > 1 && text[0] == '0'))
        return std::nullopt;
    qint32 count = 0;
    if (std::from_chars(text.data(), text.data() + digits, count).ec != std::errc())
        return std::nullopt;
    text = text.sliced(digits);
    return count;
}

/// One count of the statistics line, with the words msgfmt puts after it.
struct StatisticsPart
{
    QByteArrayView Singular;
    QByteArrayView Plural;
    qint32 TMsgfmtStats::*Count;
};

// In msgfmt's order. The translated count always comes; the other two only when above 0.
const StatisticsPart StatisticsParts[] = {
    {"translated message", "translated messages", &TMsgfmtStats::Translated},
    {"fuzzy translation", "fuzzy translations", &TMsgfmtStats::Fuzzy},
    {"untranslated message", "untranslated messages", &TMsgfmtStats::Untranslated},
};

std::optional<TMsgfmtStats> parseStatistics(QByteArrayView line)
{
    TMsgfmtStats stats;
    for (const StatisticsPart& part : StatisticsParts) {
        const bool first = &part == StatisticsParts;
        QByteArrayView rest = line;
        std::optional<qint32> count;
        if (first || skip(rest, ", "))
            count = takeCount(rest);
        // The C locale's plural rule: the singular for 1, the plural for any other count, 0 too.
        if (count && (first || *count > 0) && skip(rest, " ")
            && skip(rest, *count == 1 ? part.Singular : part.Plural)) {
            stats.*part.Count = *count;
            line = rest;
        } else if (first) {
            return std::nullopt;
        }
    }
    if (line != ".")
        return std::nullopt;
    return stats;
}

/// The ErrorCount of msgfmt's error count or give-up line; nothing for any other line.
std::optional<qint32> errorSummaryCount(QByteArrayView line)
{
    // The program name that msgfmt's error() puts first: one word without blanks or colons. A path with
    // blanks cannot pass for it ("po/found dir/x.po: found 1 fatal error" is no summary).
    const qsizetype colon = line.indexOf(": ");
    if (colon > 0) {
        const QByteArrayView name = line.first(colon);
        if (!name.contains(' ') && !name.contains(':') && !name.contains('\t'))
            line = line.sliced(colon + 2);
    }
    if (line == "too many errors, aborting")
        return -1;
    if (!skip(line, "found "))
        return std::nullopt;
    qsizetype digits = 0;
    while (digits < line.size() && isDigit(line[digits]))
        ++digits;
    if (digits == 0)
        return std::nullopt;
    const QByteArrayView rest = line.sliced(digits);
    if (rest != " fatal error" && rest != " fatal errors")
        return std::nullopt;
    return IntFromText(line.first(digits));
}

} // namespace

qint32 IntFromText(QByteArrayView text)
{
    const char* first = text.data();
    const char* const last = first + text.size();
    // from_chars knows no plus sign.
    if (last - first > 1 && first[0] == '+' && first[1] != '-')
        ++first;
    qint32 value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last ? value : 0;
}

std::optional<TMsgfmtStats> ParseStatsLine(QByteArrayView line)
{
    if (const std::optional<qint32> errors = errorSummaryCount(line)) {
        TMsgfmtStats stats;
        stats.Failed = true;
        stats.ErrorCount = *errors;
        return stats;
    }
    return parseStatistics(line);
}

YellowThreshold RatioFromPosition(int position)
{
    if (position > 6)
        position = 3;
    // A stored position can be any integer; far below the slider's range 5 - position would leave 32 bits,
    // and the ratio there is within 2^-31 of one anyway.
    position = std::max(position, std::numeric_limits<qint32>::min() + 6);
    const qint32 num = position >= 3 ? 1 : 4 - position;
    const qint32 den = position <= 3 ? 5 - position : 2 * position - 4;
    return {num, den};
}

void EvaluateRow(CatalogRow& row, const TMsgfmtStats& stats, qint32 yellowNum, qint32 yellowDen)
{
    Q_ASSERT(yellowDen > 0);
    // Counts are 32-bit each; their sum, and a count times 100 or times the denominator, need not be.
    const qint64 total = qint64{stats.Translated} + stats.Fuzzy + stats.Untranslated;
    QString& status = row.Texts[CatalogRow::TextStatus];
    if (stats.Failed) {
        if (stats.ErrorCount == -1)
            status = QStringLiteral("Too many errors");
        else
            status = QString::number(stats.ErrorCount)
                + (stats.ErrorCount > 1 ? QStringLiteral(" errors") : QStringLiteral(" error"));
        row.StateIcon = CatalogRow::IconErrors;
    } else if (total <= 0) {
        status = QStringLiteral("Empty file");
        // A file emptied since its last check must not keep the icon of what it held then.
        row.StateIcon = CatalogRow::IconNone;
    } else {
        status = QString::number(qint64{stats.Translated} * 100 / total) + u'%';
        if (stats.Fuzzy == 0 && stats.Untranslated == 0)
            row.StateIcon = CatalogRow::IconComplete;
        else if (shareAbove(stats.Translated, total, yellowNum, yellowDen))
            row.StateIcon = CatalogRow::IconAboveThreshold;
        else
            row.StateIcon = CatalogRow::IconAtOrBelowThreshold;
    }
    row.Texts[CatalogRow::TextTotal] = QString::number(total);
    row.Texts[CatalogRow::TextTranslated] = QString::number(stats.Translated);
    row.Texts[CatalogRow::TextFuzzy] = QString::number(stats.Fuzzy);
    row.Texts[CatalogRow::TextUntranslated] = QString::number(stats.Untranslated);
}
