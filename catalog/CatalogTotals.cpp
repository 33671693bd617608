#include "catalog/CatalogTotals.h"

#include "catalog/RowGraph.h"

#include <QHash>
#include <QRegularExpression>

namespace {

bool isLanguageName(const QString& name)
{
    static const QRegularExpression language(QRegularExpression::anchoredPattern(
        QStringLiteral("[a-z]{2,3}(?:[_-](?:[A-Za-z]{2}|[A-Z][a-z]{3}|[0-9]{3}))*(?:@[A-Za-z0-9]+)?")));
    return language.match(name).hasMatch();
}

QString baseName(const QString& file)
{
    const qsizetype dot = file.lastIndexOf(u'.');
    return dot > 0 ? file.left(dot) : file;
}

} // namespace

QString CatalogTotals::TranslatedShare() const
{
    if (Messages() == 0)
        return {};
    const qint64 tenths = Translated * 1000 / Messages();
    return QStringLiteral("%1.%2%").arg(tenths / 10).arg(tenths % 10);
}

QString CatalogTotals::Text() const
{
    QString text = Files == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(Files);
    if (Errors > 0)
        text += QStringLiteral(", %1 with errors").arg(Errors);
    if (Unchecked > 0)
        text += QStringLiteral(", %1 not checked").arg(Unchecked);
    text += QStringLiteral(": %1 translated, %2 fuzzy, %3 untranslated").arg(Translated).arg(Fuzzy).arg(Untranslated);
    if (const QString share = TranslatedShare(); !share.isEmpty())
        text += QStringLiteral(" (%1 translated)").arg(share);
    return text;
}

void CatalogTotals::add(const CatalogRow& row)
{
    ++Files;
    switch (row.StateIcon) {
    case CatalogRow::IconErrors:
        ++Errors;
        break;
    case CatalogRow::IconComplete:
    case CatalogRow::IconAboveThreshold:
    case CatalogRow::IconAtOrBelowThreshold:
        Translated += textToInt(row.Texts[CatalogRow::TextTranslated]);
        Fuzzy += textToInt(row.Texts[CatalogRow::TextFuzzy]);
        Untranslated += textToInt(row.Texts[CatalogRow::TextUntranslated]);
        break;
    default:
        if (row.Texts[CatalogRow::TextStatus].isEmpty())
            ++Unchecked;
        break;
    }
}

CatalogTotals catalogTotals(const QList<CatalogRow>& rows)
{
    CatalogTotals totals;
    for (const CatalogRow& row : rows)
        totals.add(row);
    return totals;
}

QString catalogGroup(const QString& relativePath)
{
    QStringList parts = relativePath.split(u'/', Qt::SkipEmptyParts);
    // An unreadable folder's row stands for the files in it.
    if (relativePath.endsWith(u'/') || parts.isEmpty())
        return relativePath.isEmpty() ? QStringLiteral("./") : relativePath;
    const QString file = parts.takeLast();
    if (!parts.isEmpty() && parts.last() == QLatin1String("LC_MESSAGES")) {
        parts.removeLast();
        if (!parts.isEmpty())
            parts.last() = QStringLiteral("*");
        parts << QStringLiteral("LC_MESSAGES") << file;
        return parts.join(u'/');
    }
    if (parts.size() >= 1 && parts.last() == baseName(file) && isLanguageName(parts.last()))
        parts.removeLast();
    else if (parts.size() >= 1 && isLanguageName(parts.last()) && !isLanguageName(baseName(file)))
        return (parts.mid(0, parts.size() - 1) << QStringLiteral("*") << file).join(u'/');
    return parts.isEmpty() ? QStringLiteral("./") : parts.join(u'/') + u'/';
}

QList<CatalogGroupTotals> catalogGroupTotals(const QList<CatalogRow>& rows)
{
    QList<CatalogGroupTotals> groups;
    QHash<QString, qsizetype> indexOf;
    for (const CatalogRow& row : rows) {
        const QString group = catalogGroup(row.Caption);
        auto found = indexOf.constFind(group);
        if (found == indexOf.cend()) {
            found = indexOf.insert(group, groups.size());
            groups.append({group, {}});
        }
        groups[*found].Totals.add(row);
    }
    return groups;
}
