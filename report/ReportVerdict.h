#ifndef QUILLMARK_REPORT_REPORTVERDICT_H
#define QUILLMARK_REPORT_REPORTVERDICT_H

#include "catalog/CatalogRow.h"
#include "report/ReportOptions.h"

#include <QList>
#include <QString>

#include <optional>

/// What the rows of a finished first pass say about the folder, for the exit status.
struct ReportVerdict
{
    /// Rows with the error icon: files that do not compile, or whose check could not start.
    int Errors = 0;
    /// Rows that compiled with a translated share below the --fail-under percentage.
    int BelowPercent = 0;
    /// Rows left without any result.
    int Unchecked = 0;

    /// 0 when nothing failed, else 1.
    int exitStatus() const { return Errors + BelowPercent + Unchecked == 0 ? 0 : 1; }
    /// One line on what failed, such as "2 files with errors, 1 file below 80%"; empty when nothing did.
    QString summary(const std::optional<ExactPercent>& failUnder) const;
};

/// What one row counts as in a verdict.
enum class RowVerdict
{
    Passed,
    Error,
    BelowPercent,
    Unchecked,
};

/// The row's error is no verdict on the file: its check did not check it (msgfmt could not start, could not read
/// it, was ended by a signal or at the time limit; the entry is no regular file; the folder went). Such an error
/// row has no counts, whereas msgfmt's own error count leaves them at 0.
bool rowNotChecked(const CatalogRow& row);

/// Judges one row as judgeRows does.
RowVerdict judgeRow(const CatalogRow& row, const std::optional<ExactPercent>& failUnder);

/// Judges the rows. With a percentage, a row that compiled passes when translated / total x 100 reaches it,
/// compared exactly (not the truncated status, so 799 of 1000 reach 79.9 but not 79.91). An "Empty file" counts
/// as 0%: it has no translated message, and a file that msgfmt could not open or read shows the same way. Without
/// a percentage it passes, having no error.
ReportVerdict judgeRows(const QList<CatalogRow>& rows, const std::optional<ExactPercent>& failUnder);

#endif // QUILLMARK_REPORT_REPORTVERDICT_H
