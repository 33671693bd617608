// Property: whatever a file name, status, count texts and folder hold, the report's formats keep their shape.
// A JSON row and document parse back with QJsonDocument to the same file name, status and counts (a count as
// null when empty, a number when it is an integer, otherwise its text); a JUnit document is well-formed XML
// whose test case and suite carry the name and folder (characters XML cannot hold as U+FFFD); a TSV row is one
// line of seven fields, the first two unescaping to the name and status; a table line is one line with no
// control character in it.
//
// Input: the first byte picks the state icon and whether there is a --fail-under; the rest, split at NUL
// bytes, is the file name (bytes, as the folder gives them), the status, four counts and the folder.

#include "fuzz/FuzzCheck.h"
#include "report/ReportFormat.h"
#include "runner/LocalPath.h"

#include <QByteArray>
#include <QChar>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QXmlStreamReader>

#include <cstdint>
#include <limits>

namespace {

/// What XML keeps of a text: the characters XML 1.0 cannot hold become U+FFFD.
QString asXmlKeepsIt(const QString& text)
{
    QString kept = text;
    for (QChar& c : kept) {
        const char16_t unit = c.unicode();
        if ((unit < 0x20 && unit != u'\t' && unit != u'\n' && unit != u'\r') || unit == 0xFFFE || unit == 0xFFFF)
            c = QChar(QChar::ReplacementCharacter);
    }
    return kept;
}

QString tsvUnescaped(const QByteArray& field)
{
    QByteArray plain;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            plain += field[i];
            continue;
        }
        const char next = field[++i];
        plain += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    // Not QString::fromUtf8, which would drop a byte-order mark that begins a name.
    return decodeLocalPath(plain);
}

void checkJsonCount(const QJsonValue& value, const QString& text)
{
    if (text.isEmpty()) {
        FUZZ_CHECK(value.isNull());
    } else if (value.isDouble()) {
        bool ok = false;
        FUZZ_CHECK(value.toInteger() == text.toLongLong(&ok) && ok);
    } else {
        FUZZ_CHECK(value.isString() && value.toString() == text);
    }
}

void checkJsonRow(const QJsonObject& object, const CatalogRow& row)
{
    FUZZ_CHECK(object.value(QStringLiteral("file")).toString() == row.Caption);
    FUZZ_CHECK(object.value(QStringLiteral("status")).toString() == row.Texts[CatalogRow::TextStatus]);
    checkJsonCount(object.value(QStringLiteral("total")), row.Texts[CatalogRow::TextTotal]);
    checkJsonCount(object.value(QStringLiteral("translated")), row.Texts[CatalogRow::TextTranslated]);
    checkJsonCount(object.value(QStringLiteral("fuzzy")), row.Texts[CatalogRow::TextFuzzy]);
    checkJsonCount(object.value(QStringLiteral("untranslated")), row.Texts[CatalogRow::TextUntranslated]);
    FUZZ_CHECK(object.value(QStringLiteral("icon")).toInt(-99) == row.StateIcon);
}

QJsonDocument parsedJson(const QByteArray& text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    FUZZ_CHECK(error.error == QJsonParseError::NoError);
    return document;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QList<QByteArray> pieces = QByteArray(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1)).split('\0');
    const auto piece = [&](qsizetype i) { return pieces.value(i); };

    CatalogRow row;
    row.Name = piece(0);
    row.Caption = displayLocalPath(decodeLocalPath(row.Name));
    row.Texts[CatalogRow::TextStatus] = QString::fromUtf8(piece(1));
    // Counts are msgfmt's figures, 32-bit each, or empty; any text without control characters that is no larger
    // number stands in for them.
    for (int text = CatalogRow::TextTotal; text <= CatalogRow::TextUntranslated; ++text) {
        QString count = QString::fromUtf8(piece(text));
        count.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
        bool number = false;
        const qint64 value = count.toLongLong(&number);
        if (number && (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max()))
            count.clear();
        row.Texts[static_cast<std::size_t>(text)] = count;
    }
    row.StateIcon = data[0] % 5 - 1;
    const QString folder = decodeLocalPath(piece(6));
    std::optional<ExactPercent> failUnder;
    if (data[0] & 0x80)
        failUnder = ExactPercent{50000000, QStringLiteral("50")};

    checkJsonRow(parsedJson(jsonObject(row)).object(), row);
    const QJsonObject timed = parsedJson(jsonObject(row, QStringLiteral("2024-03-09T14:05:07"))).object();
    FUZZ_CHECK(timed.value(QStringLiteral("time")).toString() == QStringLiteral("2024-03-09T14:05:07"));
    const QJsonArray array = parsedJson(jsonDocument({row, row})).array();
    FUZZ_CHECK(array.size() == 2);
    checkJsonRow(array.at(1).toObject(), row);

    QXmlStreamReader xml(junitDocument({row}, folder, failUnder));
    QStringList suites;
    QStringList cases;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("testsuite"))
            suites.append(xml.attributes().value(QLatin1String("name")).toString());
        else if (xml.name() == QLatin1String("testcase"))
            cases.append(xml.attributes().value(QLatin1String("name")).toString());
    }
    FUZZ_CHECK(!xml.hasError());
    FUZZ_CHECK(suites == QStringList{asXmlKeepsIt(displayLocalPath(folder))});
    FUZZ_CHECK(cases == QStringList{asXmlKeepsIt(row.Caption)});

    const QByteArray tsv = tsvRow(row);
    const QList<QByteArray> fields = tsv.chopped(1).split('\t');
    FUZZ_CHECK(tsv.endsWith('\n') && tsv.count('\n') == 1 && !tsv.contains('\r') && fields.size() == 7);
    FUZZ_CHECK(tsvUnescaped(fields.at(0)) == row.Caption);
    FUZZ_CHECK(tsvUnescaped(fields.at(1)) == row.Texts[CatalogRow::TextStatus]);

    const ReportTable table({row});
    for (const QByteArray& line : {table.line(row), table.removedLine(row)}) {
        const QString text = QString::fromUtf8(line);
        FUZZ_CHECK(text.endsWith(u'\n'));
        for (qsizetype i = 0; i + 1 < text.size(); ++i)
            FUZZ_CHECK(text[i].category() != QChar::Other_Control);
    }
    return 0;
}
