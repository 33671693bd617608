#include "catalog/RowGraph.h"

#include "catalog/MsgfmtStats.h"

#include <QByteArray>

#include <algorithm>
#include <cmath>

namespace {

/// The integer nearest to value, an exact half going to the even neighbour, whatever rounding mode is set.
int roundHalfToEven(double value)
{
    const double down = std::floor(value);
    const double fraction = value - down;
    if (fraction < 0.5)
        return static_cast<int>(down);
    if (fraction > 0.5)
        return static_cast<int>(down) + 1;
    return static_cast<int>(std::fmod(down, 2.0) == 0 ? down : down + 1);
}

} // namespace

int textToInt(const QString& text)
{
    // toLatin1 turns any other character into '?', which is no digit, so such a text gives 0 as well.
    return IntFromText(text.toLatin1());
}

RowGraph rowGraph(const CatalogRow& row, int width)
{
    RowGraph graph;
    if (row.Texts[CatalogRow::TextStatus].contains(QLatin1String("error"))) {
        graph.BarKind = RowGraph::Kind::Error;
        return graph;
    }
    const qint64 translated = textToInt(row.Texts[CatalogRow::TextTranslated]);
    const qint64 fuzzy = textToInt(row.Texts[CatalogRow::TextFuzzy]);
    const qint64 untranslated = textToInt(row.Texts[CatalogRow::TextUntranslated]);
    // Shares of negative counts mean nothing and could sum to 0; the check never writes such counts.
    if (translated < 0 || fuzzy < 0 || untranslated < 0)
        return graph;
    const qint64 total = translated + fuzzy + untranslated;
    if (total == 0)
        return graph;
    const double n = static_cast<double>(total);
    graph.BarKind = RowGraph::Kind::Counts;
    graph.Translated = roundHalfToEven(width * (static_cast<double>(translated) / n));
    // Two halves rounded up can pass the column's edge by one unit when nothing is untranslated; the bar stays
    // inside its column.
    const int end = std::min(width, graph.Translated + roundHalfToEven(width * (static_cast<double>(fuzzy) / n)));
    graph.Fuzzy = end - graph.Translated;
    graph.Untranslated = width - end;
    return graph;
}
