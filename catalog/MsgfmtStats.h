#ifndef QUILLMARK_CATALOG_MSGFMTSTATS_H
#define QUILLMARK_CATALOG_MSGFMTSTATS_H

#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

struct CatalogRow;

/// The statistics of one line of msgfmt output.
struct TMsgfmtStats
{
    qint32 Translated = 0;
    qint32 Fuzzy = 0;
    qint32 Untranslated = 0;
    /// The line reports errors.
    bool Failed = false;
    /// Fatal errors reported; -1 for "too many errors".
    qint32 ErrorCount = 0;

    friend bool operator==(const TMsgfmtStats&, const TMsgfmtStats&) = default;
};

/// The yellow threshold: a row that is not complete shows yellow when its translated share is strictly above
/// Num / Den. Den is always above 0.
struct YellowThreshold
{
    qint32 Num = 1;
    qint32 Den = 2;

    friend bool operator==(const YellowThreshold&, const YellowThreshold&) = default;
};

/// The whole text as a signed decimal 32-bit integer, an optional "+" or "-" first; 0 for an empty text,
/// anything else ("5," or "msgfmt:"), or a number beyond 32 bits.
qint32 IntFromText(QByteArrayView text);

/// Reads one of msgfmt's summary lines, exactly as msgfmt writes it under the C locale the checks run in:
/// - its statistics, the whole line: "N translated message(s)", then ", N fuzzy translation(s)" and
///   ", N untranslated message(s)" when those counts are above 0, then "." (the singular for 1 only);
/// - its error count, "found N fatal error(s)", or its give-up, "too many errors, aborting" (ErrorCount -1),
///   each with or without the program-name prefix ("msgfmt: "). A count beyond 32 bits reads as 0.
/// Nothing for any other line, whatever words and numbers it holds: an error line quoting the path
/// "po 3 translated/de.po" is no statistics, and neither is a statistics line inside a longer line.
std::optional<TMsgfmtStats> ParseStatsLine(QByteArrayView line);

/// The yellow threshold of a slider position: 4/5, 3/4, 2/3, 1/2, 1/4, 1/6, 1/8 for 0 to 6. Above 6 gives 1/2;
/// below 0 goes on as (4 - position) / (5 - position).
YellowThreshold RatioFromPosition(int position);

/// Writes the row's status, its Total, Translated, Fuzzy and Untranslated texts and its state icon; the caption
/// and the Graph text stay. The icon compares the translated share with yellowNum / yellowDen (yellowDen above
/// 0). Stats with no messages give "Empty file" and no icon, whatever icon the row had.
void EvaluateRow(CatalogRow& row, const TMsgfmtStats& stats, qint32 yellowNum, qint32 yellowDen);

#endif // QUILLMARK_CATALOG_MSGFMTSTATS_H
