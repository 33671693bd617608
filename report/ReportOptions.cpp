#include "report/ReportOptions.h"

#include "runner/Processors.h"

#include <QRegularExpression>

namespace {

/// The whole text matches the pattern: no line break or other byte may trail or lead a value.
bool matchesWhole(const QString& text, const QString& pattern)
{
    const QRegularExpression expression(QRegularExpression::anchoredPattern(pattern));
    return expression.match(text).hasMatch();
}

bool parseRatio(const QString& text, int& position)
{
    if (!matchesWhole(text, QStringLiteral("[0-9]{1,2}")))
        return false;
    position = text.toInt();
    return position <= 6;
}

bool parsePercent(const QString& text, ExactPercent& percent)
{
    // Plain decimals only: no sign, exponent, "inf" or "nan", and no locale's decimal comma.
    const QRegularExpression decimal(
        QRegularExpression::anchoredPattern(QStringLiteral("([0-9]{1,3})(?:\\.([0-9]{1,6}))?")));
    const QRegularExpressionMatch match = decimal.match(text);
    if (!match.hasMatch())
        return false;
    const QString fraction = match.captured(2).leftJustified(6, QLatin1Char('0'));
    percent.Millionths = match.captured(1).toLongLong() * 1000000 + fraction.toLongLong();
    percent.Text = text;
    return percent.Millionths <= 100000000;
}

bool parseTimeout(const QString& text, int& seconds)
{
    if (!matchesWhole(text, QStringLiteral("[0-9]{1,10}")))
        return false;
    const qint64 value = text.toLongLong();
    if (value < 1 || value > MaxTimeoutSeconds)
        return false;
    seconds = static_cast<int>(value);
    return true;
}

bool parseJobs(const QString& text, int& jobs)
{
    if (!matchesWhole(text, QStringLiteral("[0-9]{1,3}")))
        return false;
    jobs = text.toInt();
    return jobs > 0 && jobs <= MaxJobs;
}

bool parseFormat(const QString& text, ReportFormat& format)
{
    if (text == QLatin1String("table"))
        format = ReportFormat::Table;
    else if (text == QLatin1String("tsv"))
        format = ReportFormat::Tsv;
    else if (text == QLatin1String("json"))
        format = ReportFormat::Json;
    else if (text == QLatin1String("junit"))
        format = ReportFormat::JUnit;
    else
        return false;
    return true;
}

} // namespace

QString shownArgument(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            shown += text[i];
            shown += text[++i];
            continue;
        }
        switch (c) {
        case u'\t':
            shown += QLatin1String("\\t");
            continue;
        case u'\n':
            shown += QLatin1String("\\n");
            continue;
        case u'\r':
            shown += QLatin1String("\\r");
            continue;
        default:
            break;
        }
        // \x stands for a byte and \u for a character, so that a byte that is not UTF-8 and a C1 control of
        // the same value read apart.
        if (c < 0x20 || c == 0x7f)
            shown += QStringLiteral("\\x%1").arg(int(c), 2, 16, QLatin1Char('0'));
        else if (c >= 0xDC80 && c <= 0xDCFF)
            shown += QStringLiteral("\\x%1").arg(int(c - 0xDC00), 2, 16, QLatin1Char('0'));
        else if ((c >= 0x80 && c <= 0x9f) || c == 0x2028 || c == 0x2029 || QChar::isSurrogate(c))
            shown += QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0'));
        else
            shown += text[i];
    }
    return shown;
}

bool parseReportOptions(const QStringList& arguments, ReportOptions& options, QString& error)
{
    options = ReportOptions();
    options.Jobs = availableProcessors();
    QStringList folders;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        // A lone "-" is a name, as elsewhere on the command line.
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            folders.append(argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.Help = true;
            return true;
        }
        if (argument == QLatin1String("--version")) {
            options.Version = true;
            return true;
        }
        if (argument == QLatin1String("--watch")) {
            options.Watch = true;
            continue;
        }
        if (argument == QLatin1String("--allow-empty")) {
            options.AllowEmpty = true;
            continue;
        }
        if (argument == QLatin1String("--recursive") || argument == QLatin1String("-r")) {
            options.Recursive = true;
            continue;
        }
        if (argument == QLatin1String("--totals")) {
            options.Totals = true;
            continue;
        }

        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? argument : argument.left(equals);
        if (name == QLatin1String("--watch") || name == QLatin1String("--allow-empty")
            || name == QLatin1String("--help") || name == QLatin1String("--version")
            || name == QLatin1String("--recursive") || name == QLatin1String("--totals")) {
            error = QStringLiteral("option '%1' takes no value").arg(shownArgument(name));
            return false;
        }
        if (name != QLatin1String("--ratio") && name != QLatin1String("--format")
            && name != QLatin1String("--fail-under") && name != QLatin1String("--timeout")
            && name != QLatin1String("--jobs")) {
            error = QStringLiteral("unknown option '%1'").arg(shownArgument(name));
            return false;
        }
        QString value;
        if (equals >= 0) {
            value = argument.mid(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments.at(++i);
        } else {
            error = QStringLiteral("option '%1' needs a value").arg(shownArgument(name));
            return false;
        }

        if (name == QLatin1String("--ratio")) {
            if (!parseRatio(value, options.RatioPosition)) {
                error = QStringLiteral("invalid ratio position '%1' (expected 0 to 6)").arg(shownArgument(value));
                return false;
            }
        } else if (name == QLatin1String("--format")) {
            if (!parseFormat(value, options.Format)) {
                error = QStringLiteral("unknown format '%1' (expected table, tsv, json or junit)").arg(shownArgument(value));
                return false;
            }
        } else if (name == QLatin1String("--timeout")) {
            if (!parseTimeout(value, options.TimeoutSeconds)) {
                error = QStringLiteral("invalid timeout '%1' (expected whole seconds, 1 to %2)")
                            .arg(shownArgument(value), QString::number(MaxTimeoutSeconds));
                return false;
            }
        } else if (name == QLatin1String("--jobs")) {
            if (!parseJobs(value, options.Jobs)) {
                error = QStringLiteral("invalid number of jobs '%1' (expected 1 to %2)")
                            .arg(shownArgument(value), QString::number(MaxJobs));
                return false;
            }
        } else {
            ExactPercent percent;
            if (!parsePercent(value, percent)) {
                error = QStringLiteral("invalid percentage '%1' (expected 0 to 100, at most 6 decimals)")
                            .arg(shownArgument(value));
                return false;
            }
            options.FailUnder = percent;
        }
    }

    if (folders.isEmpty()) {
        error = QStringLiteral("missing FOLDER argument");
        return false;
    }
    if (folders.size() > 1) {
        error = QStringLiteral("unexpected argument '%1' (only one FOLDER)").arg(shownArgument(folders.at(1)));
        return false;
    }
    if (options.Watch && options.Format == ReportFormat::JUnit) {
        error = QStringLiteral("--watch cannot be used with --format junit (a document has no place for later rows)");
        return false;
    }
    options.Folder = folders.first();
    return true;
}

QString reportUsage()
{
    return QStringLiteral(
        "Usage: quillmark-report [--ratio POS] [--format table|tsv|json|junit] [--fail-under PERCENT]\n"
        "                        [--timeout SECONDS] [--jobs N] [--allow-empty] [--watch] [-r] [--totals] FOLDER\n"
        "\n"
        "Checks every *.po file in FOLDER with msgfmt as the Quillmark window does, and prints one row per\n"
        "file in the window's order.\n"
        "\n"
        "Options:\n"
        "  --ratio POS           yellow threshold as the preferences slider's position: 0 to 6 for 4/5, 3/4,\n"
        "                        2/3, 1/2, 1/4, 1/6, 1/8 (default 3, one half)\n"
        "  --format FORMAT       table (default), tsv, json, or junit (JUnit XML: one test case per file with\n"
        "                        its check's time; a failure for a file with errors or below PERCENT, an\n"
        "                        error for a file that could not be checked; not with --watch)\n"
        "  --fail-under PERCENT  also fail when a file's translated share (translated / total x 100) is below\n"
        "                        PERCENT (0 to 100, at most 6 decimals); an \"Empty file\" counts as 0%\n"
        "  --timeout SECONDS     stop a file's check after SECONDS, 1 to %1 (default 60), and show it as an\n"
        "                        error\n"
        "  --jobs N              run up to N checks at once, 1 to 256 (default: one per processor available);\n"
        "                        1 restores one check at a time\n"
        "  --allow-empty         pass a FOLDER with no PO file (without it, that fails: a wrong path checks\n"
        "                        nothing)\n"
        "  --watch               after the first pass, print a row each time a file changes or comes into\n"
        "                        FOLDER and has been checked, and a line when one is removed, until SIGINT\n"
        "                        or SIGTERM (exit status 0)\n"
        "  -r, --recursive       also every PO file below FOLDER, at any depth (not in hidden folders nor in\n"
        "                        what git ignores), named by its path in FOLDER; totals under the rows, per\n"
        "                        folder or domain too\n"
        "  --totals              the totals line also without --recursive, and in tsv\n"
        "  -h, --help            show this text\n"
        "  --version             show the version\n"
        "\n"
        "Exit status: 0 when every file compiled (and reached PERCENT); 1 otherwise, also for a file that could\n"
        "not be checked, for a FOLDER with no PO file (unless --allow-empty), and when SIGINT or SIGTERM ended\n"
        "the first pass (its rows checked so far are printed); 2 for a usage error, a folder that does not\n"
        "exist or cannot be read, or output that cannot be written.\n")
        .arg(MaxTimeoutSeconds);
}
