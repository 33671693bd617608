#ifndef QUILLMARK_CATALOG_MSGFMTSTATS_H
#define QUILLMARK_CATALOG_MSGFMTSTATS_H

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

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

/// The word that stands before the first blank followed by word in line (bytes compared exactly): the run of
/// non-blank bytes up to that blank, reaching back to the previous blank or to the start of the line. Only a
/// blank ends it; tabs, colons and commas belong to the word. Empty when there is no such blank or it starts
/// the line.
QByteArray NumberBefore(QByteArrayView line, QByteArrayView word);

/// True for a line msgfmt writes for its error count ("msgfmt: found 2 fatal errors") or when it gives up
/// ("msgfmt: too many errors, aborting"), with or without the program-name prefix and with the count where
/// msgfmt puts it; false for any other line, whatever words it holds (a path can hold "fatal error").
bool IsErrorSummaryLine(QByteArrayView line);

/// True for a line that holds a count before "translated", "fuzzy" or "untranslated": msgfmt's statistics.
bool IsStatisticsLine(QByteArrayView line);

/// Reads the last line of a check: "many errors" (ErrorCount -1) or the count before "fatal error" make it a
/// failure; otherwise the counts before "translated", "fuzzy" and "untranslated" are read. A count that is not
/// a whole 32-bit decimal number reads as 0.
TMsgfmtStats ParseStatsLine(QByteArrayView line);

/// The yellow threshold of a slider position: 4/5, 3/4, 2/3, 1/2, 1/4, 1/6, 1/8 for 0 to 6. Above 6 gives 1/2;
/// below 0 goes on as (4 - position) / (5 - position).
YellowThreshold RatioFromPosition(int position);

/// Writes the row's status, its Total, Translated, Fuzzy and Untranslated texts and its state icon; the caption
/// and the Graph text stay. The icon compares the translated share with yellowNum / yellowDen (yellowDen above
/// 0). Stats with no messages give "Empty file" and no icon, whatever icon the row had.
void EvaluateRow(CatalogRow& row, const TMsgfmtStats& stats, qint32 yellowNum, qint32 yellowDen);

#endif // QUILLMARK_CATALOG_MSGFMTSTATS_H
