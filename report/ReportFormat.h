#ifndef QUILLMARK_REPORT_REPORTFORMAT_H
#define QUILLMARK_REPORT_REPORTFORMAT_H

#include "catalog/CatalogRow.h"
#include "catalog/CatalogTotals.h"
#include "catalog/RowGraph.h"
#include "report/ReportOptions.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <array>
#include <optional>

/// The Graph column of a row as the list's painter draws it, in whole cells of a bar width wide.
using ReportBar = RowGraph;

/// Characters of the bar in the table.
inline constexpr int ReportBarWidth = 20;

/// The bar of a row at the given width, computed as the painter computes it.
inline ReportBar reportBar(const CatalogRow& row, int width)
{
    return rowGraph(row, width);
}
/// The bar drawn with '#' translated, '~' fuzzy, '.' untranslated, '!' errors; blanks when there is none.
QString barText(const ReportBar& bar, int width);

/// "complete", "yellow", "red", "errors" for the state icons 0 to 3; "none" for -1 (and anything else).
QString stateWord(int icon);

/// "file status total translated fuzzy untranslated icon", tab-separated, with its newline.
QByteArray tsvHeader();
/// One row in the columns of tsvHeader, with its newline. Backslash, tab, line feed and carriage return in
/// the file name or status are written as \\, \t, \n and \r, so that every row stays one line of seven fields.
QByteArray tsvRow(const CatalogRow& row);

/// One row as a JSON object on one line: file, status, bar, total, translated, fuzzy, untranslated, icon,
/// state. Counts are numbers when the row's text is an integer, null when it is empty. A time that is not
/// empty comes first, as "time".
QByteArray jsonObject(const CatalogRow& row, const QString& time = QString());
/// A JSON array of the rows, one object a line, with a final newline.
QByteArray jsonDocument(const QList<CatalogRow>& rows);

/// A plain-text table of rows: File, Status, Graph, Total, Translated, Fuzzy, Untranslated, State, each
/// column as wide as its widest cell, two blanks between columns. Status and counts are right-aligned, as in
/// the list, and a row with the error bar shows no counts, as in the list. Control characters in names and
/// statuses are shown as '?'.
class ReportTable
{
public:
    static constexpr int ColumnCount = 8;

    /// Fits the columns to the header and these rows.
    explicit ReportTable(const QList<CatalogRow>& rows);

    QByteArray header() const;
    /// One row, with its newline, in this table's column widths; a wider cell pushes the rest on.
    QByteArray line(const CatalogRow& row) const;
    /// A line saying that the row's file was removed: its name in the File column, then "removed".
    QByteArray removedLine(const CatalogRow& row) const;
    /// The header and every row.
    QByteArray text(const QList<CatalogRow>& rows) const;

private:
    QByteArray format(const std::array<QString, ColumnCount>& cells) const;

    std::array<int, ColumnCount> m_widths{};
};

/// What a JUnit document tells about the pass besides its rows; whatever is unset is left out.
struct JUnitPass
{
    /// When the pass started.
    QDateTime Start;
    QString HostName;
    /// Milliseconds the whole pass took; -1: unknown.
    qint64 Milliseconds = -1;
    /// Milliseconds from the start of each row's check to its end, by the row's Name.
    QHash<QByteArray, qint64> CheckMilliseconds;
};

/// JUnit XML as CI servers read it: one test suite named after the folder as given (each byte of it that is
/// not UTF-8 shown as U+FFFD), one test case per row named after its file, with the status as the message of a
/// failure for each row that fails the verdict (errors msgfmt found, a share below failUnder), and of an error
/// for each row whose file was not checked (rowNotChecked, or no result): a fault of the tools, not of the file.
QByteArray junitDocument(const QList<CatalogRow>& rows, const QString& folder,
                         const std::optional<ExactPercent>& failUnder, const JUnitPass& pass = JUnitPass());

/// The totals of the rows as lines: with Recursive, one line per group of files first, then the line of all.
/// Table: "po/: 5 files: ..." and "Total: 12 files: ..."; tsv: a row of the usual columns whose file is
/// "TOTAL" (or "TOTAL po/"), whose status is the files and errors, and whose counts are the sums.
QByteArray totalsLines(ReportFormat format, const QList<CatalogRow>& rows, bool groups);
/// The totals as a JSON object: files, errors, unchecked, translated, fuzzy, untranslated, and the translated
/// share in percent ("percent", null without messages).
QByteArray jsonTotals(const CatalogTotals& totals);

/// The whole output of a first pass in the format the options ask for. With Recursive or Totals the totals
/// follow: lines under the table (and tsv, with Totals); in json an object {"files": [rows], "totals": {...}}
/// with "groups" when Recursive; in junit properties of the test suite.
QByteArray reportText(const ReportOptions& options, const QList<CatalogRow>& rows, const JUnitPass& pass = JUnitPass());

/// A local time as ISO 8601 to the second, without offset: 2024-03-09T14:05:07.
QString watchTimestamp(const QDateTime& time);
/// The line printed when a watched file has been checked again: the time, then the row (tsv: a tab and the
/// row's columns; table: two blanks and the row in the table's widths; json: one object with its time).
QByteArray watchLine(ReportFormat format, const CatalogRow& row, const QString& time, const ReportTable& table);
/// The line printed when a watched file has left the folder and its row is gone: the time, then the file name
/// and "removed" (tsv: in the status field, with empty counts and icon -1; table: in the table's widths; json:
/// an object with its time, file and "removed": true).
QByteArray watchRemovedLine(ReportFormat format, const CatalogRow& row, const QString& time, const ReportTable& table);

#endif // QUILLMARK_REPORT_REPORTFORMAT_H
