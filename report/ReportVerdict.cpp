#include "report/ReportVerdict.h"

#include <QStringList>

namespace {

qint64 countText(const CatalogRow& row, int text)
{
    bool ok = false;
    const qint64 value = row.Texts.at(static_cast<std::size_t>(text)).toLongLong(&ok);
    return ok ? value : 0;
}

QString files(int count)
{
    return count == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(count);
}

} // namespace

QString ReportVerdict::summary(const std::optional<ExactPercent>& failUnder) const
{
    QStringList parts;
    if (Errors > 0)
        parts.append(QStringLiteral("%1 with errors").arg(files(Errors)));
    if (BelowPercent > 0)
        parts.append(QStringLiteral("%1 below %2%").arg(files(BelowPercent), failUnder ? failUnder->Text : QString()));
    if (Unchecked > 0)
        parts.append(QStringLiteral("%1 not checked").arg(files(Unchecked)));
    return parts.join(QLatin1String(", "));
}

bool rowNotChecked(const CatalogRow& row)
{
    return row.StateIcon == CatalogRow::IconErrors && row.Texts[CatalogRow::TextTotal].isEmpty();
}

RowVerdict judgeRow(const CatalogRow& row, const std::optional<ExactPercent>& failUnder)
{
    if (row.StateIcon == CatalogRow::IconErrors)
        return RowVerdict::Error;
    if (row.StateIcon == CatalogRow::IconNone && row.Texts[CatalogRow::TextStatus].isEmpty())
        return RowVerdict::Unchecked;
    if (!failUnder)
        return RowVerdict::Passed;
    // Evaluation leaves the icon out only for an "Empty file": no translated message. Only a percentage of 0
    // lets it pass.
    if (row.StateIcon == CatalogRow::IconNone)
        return failUnder->Millionths > 0 ? RowVerdict::BelowPercent : RowVerdict::Passed;
    const qint64 total = countText(row, CatalogRow::TextTotal);
    const qint64 translated = countText(row, CatalogRow::TextTranslated);
    // translated x 100 x 10^6 against millionths x total: counts are 32-bit each and the millionths at most
    // 10^8, so both products stay below 2^63.
    if (total > 0 && translated * 100000000 < failUnder->Millionths * total)
        return RowVerdict::BelowPercent;
    return RowVerdict::Passed;
}

ReportVerdict judgeRows(const QList<CatalogRow>& rows, const std::optional<ExactPercent>& failUnder)
{
    ReportVerdict verdict;
    for (const CatalogRow& row : rows) {
        switch (judgeRow(row, failUnder)) {
        case RowVerdict::Error:
            ++verdict.Errors;
            break;
        case RowVerdict::BelowPercent:
            ++verdict.BelowPercent;
            break;
        case RowVerdict::Unchecked:
            ++verdict.Unchecked;
            break;
        case RowVerdict::Passed:
            break;
        }
    }
    return verdict;
}
