#include "report/ReportFormat.h"
#include "report/ReportVerdict.h"
#include "runner/LocalPath.h"

#include <QChar>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>

namespace {

/// The whole text as a decimal integer: digits with an optional leading "-", nothing else.
std::optional<qint64> integerText(const QString& text)
{
    const qsizetype start = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (text.size() == start)
        return std::nullopt;
    for (qsizetype i = start; i < text.size(); ++i) {
        if (text.at(i) < QLatin1Char('0') || text.at(i) > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

QString tsvField(const QString& text)
{
    QString field;
    field.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            field += QLatin1String("\\\\");
            break;
        case '\t':
            field += QLatin1String("\\t");
            break;
        case '\n':
            field += QLatin1String("\\n");
            break;
        case '\r':
            field += QLatin1String("\\r");
            break;
        default:
            field += c;
        }
    }
    return field;
}

QString jsonString(const QString& text)
{
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            quoted += QLatin1String("\\\"");
            break;
        case '\\':
            quoted += QLatin1String("\\\\");
            break;
        case '\n':
            quoted += QLatin1String("\\n");
            break;
        case '\r':
            quoted += QLatin1String("\\r");
            break;
        case '\t':
            quoted += QLatin1String("\\t");
            break;
        default:
            // A byte-order mark as such at the start of a string is dropped by some readers, Qt's among them.
            if (c.unicode() < 0x20 || c.unicode() == 0xFEFF)
                quoted += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                quoted += c;
        }
    }
    quoted += QLatin1Char('"');
    return quoted;
}

QString jsonCount(const QString& text)
{
    if (text.isEmpty())
        return QStringLiteral("null");
    if (const std::optional<qint64> value = integerText(text))
        return QString::number(*value);
    return jsonString(text);
}

/// Characters a terminal shows for the text: code points, not counting combining marks.
int displayWidth(const QString& text)
{
    int width = 0;
    for (const char32_t c : text.toUcs4()) {
        const QChar::Category category = QChar::category(c);
        if (category != QChar::Mark_NonSpacing && category != QChar::Mark_Enclosing)
            ++width;
    }
    return width;
}

/// A file name with a line break or another control character would break the table's lines; a C1 control
/// (U+0080 to U+009F) can start a terminal's escape sequence.
QString printable(const QString& text)
{
    QString shown = text;
    for (QChar& c : shown) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    }
    return shown;
}

std::array<QString, ReportTable::ColumnCount> tableCells(const CatalogRow& row)
{
    const ReportBar bar = reportBar(row, ReportBarWidth);
    // As in the list, a row with the error bar shows no counts, whatever the row holds.
    const bool counts = bar.BarKind != ReportBar::Kind::Error;
    const auto count = [&](int text) { return counts ? row.Texts.at(static_cast<std::size_t>(text)) : QString(); };
    return {
        printable(row.Caption),
        printable(row.Texts[CatalogRow::TextStatus]),
        barText(bar, ReportBarWidth),
        count(CatalogRow::TextTotal),
        count(CatalogRow::TextTranslated),
        count(CatalogRow::TextFuzzy),
        count(CatalogRow::TextUntranslated),
        stateWord(row.StateIcon),
    };
}

const std::array<QString, ReportTable::ColumnCount>& tableHeader()
{
    static const std::array<QString, ReportTable::ColumnCount> header = {
        QStringLiteral("File"),       QStringLiteral("Status"), QStringLiteral("Graph"),        QStringLiteral("Total"),
        QStringLiteral("Translated"), QStringLiteral("Fuzzy"),  QStringLiteral("Untranslated"), QStringLiteral("State"),
    };
    return header;
}

/// File, Graph and State read from the left; Status and the counts line up on their right edge.
constexpr std::array<bool, ReportTable::ColumnCount> RightAligned = {
    false, true, false, true, true, true, true, false,
};

} // namespace

QString barText(const ReportBar& bar, int width)
{
    switch (bar.BarKind) {
    case ReportBar::Kind::Error:
        return QString(width, QLatin1Char('!'));
    case ReportBar::Kind::Counts:
        return QString(bar.Translated, QLatin1Char('#')) + QString(bar.Fuzzy, QLatin1Char('~'))
            + QString(bar.Untranslated, QLatin1Char('.'));
    case ReportBar::Kind::None:
        break;
    }
    return QString(width, QLatin1Char(' '));
}

QString stateWord(int icon)
{
    switch (icon) {
    case CatalogRow::IconComplete:
        return QStringLiteral("complete");
    case CatalogRow::IconAboveThreshold:
        return QStringLiteral("yellow");
    case CatalogRow::IconAtOrBelowThreshold:
        return QStringLiteral("red");
    case CatalogRow::IconErrors:
        return QStringLiteral("errors");
    default:
        return QStringLiteral("none");
    }
}

QByteArray tsvHeader()
{
    return QByteArrayLiteral("file\tstatus\ttotal\ttranslated\tfuzzy\tuntranslated\ticon\n");
}

QByteArray tsvRow(const CatalogRow& row)
{
    const QStringList fields = {
        tsvField(row.Caption),
        tsvField(row.Texts[CatalogRow::TextStatus]),
        row.Texts[CatalogRow::TextTotal],
        row.Texts[CatalogRow::TextTranslated],
        row.Texts[CatalogRow::TextFuzzy],
        row.Texts[CatalogRow::TextUntranslated],
        QString::number(row.StateIcon),
    };
    return (fields.join(QLatin1Char('\t')) + QLatin1Char('\n')).toUtf8();
}

QByteArray jsonObject(const CatalogRow& row, const QString& time)
{
    QString object = QStringLiteral("{");
    if (!time.isEmpty())
        object += QStringLiteral("\"time\": %1, ").arg(jsonString(time));
    object += QStringLiteral("\"file\": %1, \"status\": %2, \"bar\": %3, ")
                  .arg(jsonString(row.Caption), jsonString(row.Texts[CatalogRow::TextStatus]),
                       jsonString(barText(reportBar(row, ReportBarWidth), ReportBarWidth)));
    object += QStringLiteral("\"total\": %1, \"translated\": %2, \"fuzzy\": %3, \"untranslated\": %4, ")
                  .arg(jsonCount(row.Texts[CatalogRow::TextTotal]), jsonCount(row.Texts[CatalogRow::TextTranslated]),
                       jsonCount(row.Texts[CatalogRow::TextFuzzy]), jsonCount(row.Texts[CatalogRow::TextUntranslated]));
    object
        += QStringLiteral("\"icon\": %1, \"state\": %2}").arg(row.StateIcon).arg(jsonString(stateWord(row.StateIcon)));
    return object.toUtf8();
}

QByteArray jsonDocument(const QList<CatalogRow>& rows)
{
    if (rows.isEmpty())
        return QByteArrayLiteral("[]\n");
    QByteArray document = QByteArrayLiteral("[\n");
    for (qsizetype i = 0; i < rows.size(); ++i) {
        document += "  " + jsonObject(rows.at(i));
        document += i + 1 < rows.size() ? ",\n" : "\n";
    }
    document += "]\n";
    return document;
}

ReportTable::ReportTable(const QList<CatalogRow>& rows)
{
    for (int column = 0; column < ColumnCount; ++column)
        m_widths[column] = displayWidth(tableHeader()[column]);
    for (const CatalogRow& row : rows) {
        const std::array<QString, ColumnCount> cells = tableCells(row);
        for (int column = 0; column < ColumnCount; ++column)
            m_widths[column] = std::max(m_widths[column], displayWidth(cells[column]));
    }
}

QByteArray ReportTable::format(const std::array<QString, ColumnCount>& cells) const
{
    QString text;
    for (int column = 0; column < ColumnCount; ++column) {
        const QString& cell = cells[column];
        const QString padding(std::max(0, m_widths[column] - displayWidth(cell)), QLatin1Char(' '));
        if (column > 0)
            text += QLatin1String("  ");
        if (RightAligned[column])
            text += padding + cell;
        else if (column + 1 < ColumnCount)
            text += cell + padding;
        else
            text += cell;
    }
    return (text + QLatin1Char('\n')).toUtf8();
}

QByteArray ReportTable::header() const
{
    return format(tableHeader());
}

QByteArray ReportTable::line(const CatalogRow& row) const
{
    return format(tableCells(row));
}

QByteArray ReportTable::removedLine(const CatalogRow& row) const
{
    const QString name = printable(row.Caption);
    const QString padding(std::max(0, m_widths[0] - displayWidth(name)), QLatin1Char(' '));
    return (name + padding + QLatin1String("  removed\n")).toUtf8();
}

QByteArray ReportTable::text(const QList<CatalogRow>& rows) const
{
    QByteArray text = header();
    for (const CatalogRow& row : rows)
        text += line(row);
    return text;
}

namespace {

/// Text for an XML attribute or element. XML 1.0 has no way to write most control characters, so they become
/// U+FFFD; tab and line breaks stay, as references, so that attributes keep them.
QByteArray xmlText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case u'<':
            out += QLatin1String("&lt;");
            break;
        case u'>':
            out += QLatin1String("&gt;");
            break;
        case u'"':
            out += QLatin1String("&quot;");
            break;
        case u'\t':
            out += QLatin1String("&#9;");
            break;
        case u'\n':
            out += QLatin1String("&#10;");
            break;
        case u'\r':
            out += QLatin1String("&#13;");
            break;
        default:
            out += c.unicode() < 0x20 || c.unicode() == 0xFFFE || c.unicode() == 0xFFFF
                ? QChar(QChar::ReplacementCharacter)
                : c;
        }
    }
    return out.toUtf8();
}

QString rowCounts(const CatalogRow& row)
{
    return QStringLiteral("%1 messages: %2 translated, %3 fuzzy, %4 untranslated")
        .arg(row.Texts[CatalogRow::TextTotal], row.Texts[CatalogRow::TextTranslated], row.Texts[CatalogRow::TextFuzzy],
             row.Texts[CatalogRow::TextUntranslated]);
}

/// Seconds as JUnit's decimal, to the millisecond: 1.250.
QByteArray junitSeconds(qint64 milliseconds)
{
    return QByteArray::number(milliseconds / 1000) + '.'
        + QByteArray::number(milliseconds % 1000).rightJustified(3, '0');
}

} // namespace

QByteArray junitDocument(const QList<CatalogRow>& rows, const QString& folder,
                         const std::optional<ExactPercent>& failUnder, const JUnitPass& pass)
{
    QByteArray cases;
    int failures = 0;
    int errors = 0;
    const QByteArray suite = xmlText(displayLocalPath(folder));
    for (const CatalogRow& row : rows) {
        const QString& status = row.Texts[CatalogRow::TextStatus];
        cases += "    <testcase name=\"" + xmlText(row.Caption) + "\" classname=\"" + suite + "\"";
        if (const auto time = pass.CheckMilliseconds.constFind(row.Name); time != pass.CheckMilliseconds.cend())
            cases += " time=\"" + junitSeconds(*time) + "\"";
        const RowVerdict verdict = judgeRow(row, failUnder);
        if (verdict == RowVerdict::Passed) {
            cases += " />\n";
            continue;
        }
        // CI servers tell a broken file (a failure) from a check that could not run (an error).
        QByteArray element = "failure";
        QString type;
        QString message = status;
        QString detail;
        switch (verdict) {
        case RowVerdict::Error:
            detail = QStringLiteral("%1: %2").arg(row.Caption, status);
            type = QStringLiteral("errors");
            if (rowNotChecked(row)) {
                element = "error";
                type = QStringLiteral("unchecked");
                // The start error's command line and reason, msgfmt's whole line: what a CI log should show.
                if (!row.Detail.isEmpty())
                    detail += u'\n' + row.Detail;
            }
            break;
        case RowVerdict::BelowPercent:
            type = QStringLiteral("below");
            detail = QStringLiteral("%1: %2, below %3%")
                         .arg(row.Caption, row.StateIcon == CatalogRow::IconNone ? status : rowCounts(row),
                              failUnder ? failUnder->Text : QString());
            break;
        case RowVerdict::Unchecked:
        case RowVerdict::Passed:
            element = "error";
            type = QStringLiteral("unchecked");
            message = QStringLiteral("not checked");
            detail = QStringLiteral("%1: not checked").arg(row.Caption);
            break;
        }
        if (element == "error")
            ++errors;
        else
            ++failures;
        cases += ">\n      <" + element + " message=\"" + xmlText(message) + "\" type=\"" + xmlText(type) + "\">"
            + xmlText(detail) + "</" + element + ">\n    </testcase>\n";
    }
    const QByteArray counts = "tests=\"" + QByteArray::number(rows.size()) + "\" failures=\""
        + QByteArray::number(failures) + "\" errors=\"" + QByteArray::number(errors) + "\"";
    QByteArray about;
    if (pass.Milliseconds >= 0)
        about += " time=\"" + junitSeconds(pass.Milliseconds) + "\"";
    if (pass.Start.isValid())
        about += " timestamp=\"" + watchTimestamp(pass.Start).toUtf8() + "\"";
    if (!pass.HostName.isEmpty())
        about += " hostname=\"" + xmlText(pass.HostName) + "\"";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"quillmark-report\" " + counts
        + ">\n  <testsuite name=\"" + suite + "\" " + counts + " skipped=\"0\"" + about + ">\n" + cases
        + "  </testsuite>\n</testsuites>\n";
}

QByteArray totalsLines(ReportFormat format, const QList<CatalogRow>& rows, bool groups)
{
    QList<CatalogGroupTotals> lines;
    if (groups)
        lines = catalogGroupTotals(rows);
    lines.append({QString(), catalogTotals(rows)});
    QByteArray text;
    for (const CatalogGroupTotals& line : std::as_const(lines)) {
        const CatalogTotals& totals = line.Totals;
        if (format == ReportFormat::Tsv) {
            CatalogRow row;
            row.Caption = line.Group.isEmpty() ? QStringLiteral("TOTAL") : QStringLiteral("TOTAL ") + line.Group;
            // The line's head: what precedes the counts in the table's line.
            const QString said = totals.Text();
            row.Texts[CatalogRow::TextStatus] = said.left(said.indexOf(QLatin1String(": ")));
            row.Texts[CatalogRow::TextTotal] = QString::number(totals.Messages());
            row.Texts[CatalogRow::TextTranslated] = QString::number(totals.Translated);
            row.Texts[CatalogRow::TextFuzzy] = QString::number(totals.Fuzzy);
            row.Texts[CatalogRow::TextUntranslated] = QString::number(totals.Untranslated);
            text += tsvRow(row);
        } else {
            text += (printable(line.Group.isEmpty() ? QStringLiteral("Total") : line.Group) + QStringLiteral(": ")
                     + totals.Text() + QLatin1Char('\n'))
                        .toUtf8();
        }
    }
    return text;
}

QByteArray jsonTotals(const CatalogTotals& totals)
{
    const QString share = totals.TranslatedShare();
    return QStringLiteral("{\"files\": %1, \"errors\": %2, \"unchecked\": %3, \"translated\": %4, \"fuzzy\": %5, "
                          "\"untranslated\": %6, \"percent\": %7}")
        .arg(totals.Files)
        .arg(totals.Errors)
        .arg(totals.Unchecked)
        .arg(totals.Translated)
        .arg(totals.Fuzzy)
        .arg(totals.Untranslated)
        .arg(share.isEmpty() ? QStringLiteral("null") : share.chopped(1))
        .toUtf8();
}

namespace {

QByteArray jsonWithTotals(const QList<CatalogRow>& rows, bool groups)
{
    QByteArray document = QByteArrayLiteral("{\"files\": ");
    // The rows' array as without totals, indented one level further.
    QByteArray array = jsonDocument(rows);
    array.chop(1);
    document += array.replace("\n  {", "\n    {").replace("\n]", "\n  ]");
    if (groups) {
        document += ",\n  \"groups\": [";
        const QList<CatalogGroupTotals> found = catalogGroupTotals(rows);
        for (qsizetype i = 0; i < found.size(); ++i)
            document += (i > 0 ? ",\n    " : "\n    ") + ("{\"group\": " + jsonString(found.at(i).Group).toUtf8())
                + ", \"totals\": " + jsonTotals(found.at(i).Totals) + "}";
        document += found.isEmpty() ? "]" : "\n  ]";
    }
    document += ",\n  \"totals\": " + jsonTotals(catalogTotals(rows)) + "\n}\n";
    return document;
}

QByteArray junitProperties(const QList<CatalogRow>& rows, bool groups)
{
    QList<CatalogGroupTotals> lines;
    if (groups)
        lines = catalogGroupTotals(rows);
    lines.append({QString(), catalogTotals(rows)});
    QByteArray properties = "    <properties>\n";
    for (const CatalogGroupTotals& line : std::as_const(lines)) {
        const QString prefix = line.Group.isEmpty() ? QStringLiteral("total.") : QStringLiteral("group ") + line.Group + u'.';
        const CatalogTotals& totals = line.Totals;
        const std::pair<const char*, QString> values[] = {
            {"files", QString::number(totals.Files)},
            {"errors", QString::number(totals.Errors)},
            {"translated", QString::number(totals.Translated)},
            {"fuzzy", QString::number(totals.Fuzzy)},
            {"untranslated", QString::number(totals.Untranslated)},
            {"percent", totals.TranslatedShare().chopped(totals.TranslatedShare().isEmpty() ? 0 : 1)},
        };
        for (const auto& [name, value] : values)
            properties += "      <property name=\"" + xmlText(prefix + QLatin1String(name)) + "\" value=\""
                + xmlText(value) + "\" />\n";
    }
    return properties + "    </properties>\n";
}

} // namespace

QByteArray reportText(const ReportOptions& options, const QList<CatalogRow>& rows, const JUnitPass& pass)
{
    const bool totals = options.Recursive || options.Totals;
    switch (options.Format) {
    case ReportFormat::Tsv: {
        QByteArray text = tsvHeader();
        for (const CatalogRow& row : rows)
            text += tsvRow(row);
        if (options.Totals)
            text += totalsLines(ReportFormat::Tsv, rows, options.Recursive);
        return text;
    }
    case ReportFormat::Json:
        return totals ? jsonWithTotals(rows, options.Recursive) : jsonDocument(rows);
    case ReportFormat::JUnit: {
        QByteArray document = junitDocument(rows, options.Folder, options.FailUnder, pass);
        if (totals) {
            // The properties open the suite, before its test cases.
            const qsizetype suite = document.indexOf("<testsuite ");
            const qsizetype end = suite < 0 ? -1 : document.indexOf('\n', suite);
            if (end >= 0)
                document.insert(end + 1, junitProperties(rows, options.Recursive));
        }
        return document;
    }
    case ReportFormat::Table:
        break;
    }
    QByteArray text = ReportTable(rows).text(rows);
    if (totals)
        text += totalsLines(ReportFormat::Table, rows, options.Recursive);
    return text;
}

QString watchTimestamp(const QDateTime& time)
{
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

QByteArray watchLine(ReportFormat format, const CatalogRow& row, const QString& time, const ReportTable& table)
{
    switch (format) {
    case ReportFormat::Tsv:
        return time.toUtf8() + '\t' + tsvRow(row);
    case ReportFormat::Json:
        return jsonObject(row, time) + '\n';
    case ReportFormat::JUnit:
        // The options refuse to watch in this format: a document has no place for later rows.
    case ReportFormat::Table:
        break;
    }
    return time.toUtf8() + "  " + table.line(row);
}

QByteArray watchRemovedLine(ReportFormat format, const CatalogRow& row, const QString& time, const ReportTable& table)
{
    switch (format) {
    case ReportFormat::Tsv: {
        // A row of the usual columns, so that a reader of the stream needs no other layout.
        CatalogRow removed;
        removed.Caption = row.Caption;
        removed.Texts[CatalogRow::TextStatus] = QStringLiteral("removed");
        removed.StateIcon = -1;
        return time.toUtf8() + '\t' + tsvRow(removed);
    }
    case ReportFormat::Json:
        return QStringLiteral("{\"time\": %1, \"file\": %2, \"removed\": true}\n")
            .arg(jsonString(time), jsonString(row.Caption))
            .toUtf8();
    case ReportFormat::JUnit:
    case ReportFormat::Table:
        break;
    }
    return time.toUtf8() + "  " + table.removedLine(row);
}
