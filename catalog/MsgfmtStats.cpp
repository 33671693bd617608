#include "catalog/MsgfmtStats.h"

#include "catalog/CatalogRow.h"

#include <QString>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <limits>
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

QByteArray NumberBefore(QByteArrayView line, QByteArrayView word)
{
    QByteArray blankWord(1, ' ');
    blankWord.append(word);
    const qsizetype blank = line.indexOf(blankWord);
    if (blank < 0)
        return {};
    qsizetype start = blank;
    while (start > 0 && line[start - 1] != ' ')
        --start;
    return line.sliced(start, blank - start).toByteArray();
}

bool IsErrorSummaryLine(QByteArrayView line)
{
    // The program name that msgfmt's error() puts first: one word without blanks or colons.
    const qsizetype colon = line.indexOf(": ");
    if (colon > 0) {
        const QByteArrayView name = line.first(colon);
        if (!name.contains(' ') && !name.contains(':') && !name.contains('\t'))
            line = line.sliced(colon + 2);
    }
    if (line == "too many errors, aborting")
        return true;
    if (!line.startsWith("found "))
        return false;
    QByteArrayView rest = line.sliced(6);
    qsizetype digits = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9')
        ++digits;
    if (digits == 0)
        return false;
    rest = rest.sliced(digits);
    return rest == " fatal error" || rest == " fatal errors";
}

bool IsStatisticsLine(QByteArrayView line)
{
    return !NumberBefore(line, "translated").isEmpty() || !NumberBefore(line, "fuzzy").isEmpty()
        || !NumberBefore(line, "untranslated").isEmpty();
}

TMsgfmtStats ParseStatsLine(QByteArrayView line)
{
    TMsgfmtStats stats;
    if (line.contains("many errors")) {
        stats.Failed = true;
        stats.ErrorCount = -1;
    } else if (line.contains("fatal error")) {
        stats.Failed = true;
        stats.ErrorCount = IntFromText(NumberBefore(line, "fatal error"));
    } else {
        stats.Translated = IntFromText(NumberBefore(line, "translated"));
        stats.Fuzzy = IntFromText(NumberBefore(line, "fuzzy"));
        stats.Untranslated = IntFromText(NumberBefore(line, "untranslated"));
    }
    return stats;
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
