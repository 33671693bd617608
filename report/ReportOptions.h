#ifndef QUILLMARK_REPORT_REPORTOPTIONS_H
#define QUILLMARK_REPORT_REPORTOPTIONS_H

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <limits>
#include <optional>

enum class ReportFormat
{
    Table,
    Tsv,
    Json,
    JUnit,
};

/// A percentage as typed, held exactly: "79.9" is 79 900 000 millionths, so that a file with exactly 79.9%
/// translated reaches it.
struct ExactPercent
{
    /// Millionths of a percent, 0 to 100 000 000.
    qint64 Millionths = 0;
    /// As typed, for messages.
    QString Text;
};

/// The longest --timeout: the check's timer counts milliseconds in an int.
inline constexpr int MaxTimeoutSeconds = std::numeric_limits<int>::max() / 1000;

/// What the command line of quillmark-report asks for.
struct ReportOptions
{
    /// The yellow threshold's slider position, 0 to 6.
    int RatioPosition = 3;
    ReportFormat Format = ReportFormat::Table;
    /// Every file's translated share must reach it.
    std::optional<ExactPercent> FailUnder;
    bool Watch = false;
    /// A folder with no PO file passes instead of failing.
    bool AllowEmpty = false;
    /// Every PO file below the folder, at any depth, named by its path relative to it; totals follow the
    /// rows, per group of files too.
    bool Recursive = false;
    /// The totals under the rows also without Recursive, and in tsv, where they are otherwise left out.
    bool Totals = false;
    /// Seconds a file's check may take, 1 to MaxTimeoutSeconds.
    int TimeoutSeconds = 60;
    /// Checks that run at once, 1 to MaxJobs; without --jobs, one per processor available.
    int Jobs = 1;
    bool Help = false;
    bool Version = false;
    /// As given; its existence is the catalog's to decide.
    QString Folder;
};

/// Reads the arguments that follow the program name. Options may come before or after the folder, values
/// as the next argument or after "="; "--" ends the options. --help wins over everything after it. On a
/// usage error returns false and sets error to a one-line message without the program name, in which no
/// control character stands as itself. A value is taken whole: one with anything around it, a line feed
/// too, is a usage error.
bool parseReportOptions(const QStringList& arguments, ReportOptions& options, QString& error);

/// An argument as a message quotes it, on one line: tab, line feed and carriage return as \t, \n and \r,
/// other control characters as \xHH (C1 controls and the line and paragraph separators as \uHHHH), and each
/// byte that is not UTF-8 (kept as decodeLocalPath keeps it) as \xHH.
QString shownArgument(const QString& text);

/// The text of --help, ending in a newline.
QString reportUsage();

#endif // QUILLMARK_REPORT_REPORTOPTIONS_H
