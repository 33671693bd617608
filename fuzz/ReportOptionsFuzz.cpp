// Property: the report's option parser, given any arguments (the input split at NUL bytes, each decoded as
// the program decodes its arguments), never crashes; a refusal gives a message on one line in which no
// control character, line or paragraph separator or lone surrogate stands as itself; an accepted command line
// asks for values within their documented ranges, and written back as options it is read the same.

#include "fuzz/FuzzCheck.h"
#include "report/ReportOptions.h"
#include "runner/LocalPath.h"
#include "runner/Processors.h"

#include <QByteArray>
#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace {

QString formatName(ReportFormat format)
{
    switch (format) {
    case ReportFormat::Tsv:
        return QStringLiteral("tsv");
    case ReportFormat::Json:
        return QStringLiteral("json");
    case ReportFormat::JUnit:
        return QStringLiteral("junit");
    case ReportFormat::Table:
        break;
    }
    return QStringLiteral("table");
}

/// The accepted options as a command line that asks for each of them explicitly.
QStringList written(const ReportOptions& options)
{
    QStringList arguments = {
        QStringLiteral("--ratio"),   QString::number(options.RatioPosition),
        QStringLiteral("--format"),  formatName(options.Format),
        QStringLiteral("--timeout"), QString::number(options.TimeoutSeconds),
        QStringLiteral("--jobs"),    QString::number(options.Jobs),
    };
    if (options.FailUnder)
        arguments << QStringLiteral("--fail-under") << options.FailUnder->Text;
    if (options.Watch)
        arguments << QStringLiteral("--watch");
    arguments << QStringLiteral("--") << options.Folder;
    return arguments;
}

bool standsAsItself(char16_t unit)
{
    return unit < 0x20 || (unit >= 0x7f && unit <= 0x9f) || unit == 0x2028 || unit == 0x2029;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QStringList arguments;
    if (size > 0) {
        for (const QByteArray& piece : QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)).split('\0'))
            arguments.append(decodeLocalPath(piece));
    }

    ReportOptions options;
    QString error;
    if (!parseReportOptions(arguments, options, error)) {
        FUZZ_CHECK(!error.isEmpty());
        for (qsizetype i = 0; i < error.size(); ++i) {
            const char16_t unit = error[i].unicode();
            FUZZ_CHECK(!standsAsItself(unit));
            if (QChar::isHighSurrogate(unit))
                FUZZ_CHECK(i + 1 < error.size() && error[++i].isLowSurrogate());
            else
                FUZZ_CHECK(!QChar::isLowSurrogate(unit));
        }
        return 0;
    }
    if (options.Help || options.Version)
        return 0;

    FUZZ_CHECK(options.RatioPosition >= 0 && options.RatioPosition <= 6);
    FUZZ_CHECK(options.TimeoutSeconds >= 1 && options.TimeoutSeconds <= MaxTimeoutSeconds);
    FUZZ_CHECK(options.Jobs >= 1 && options.Jobs <= MaxJobs);
    FUZZ_CHECK(!(options.Watch && options.Format == ReportFormat::JUnit));
    if (options.FailUnder)
        FUZZ_CHECK(options.FailUnder->Millionths >= 0 && options.FailUnder->Millionths <= 100000000);

    ReportOptions again;
    FUZZ_CHECK(parseReportOptions(written(options), again, error));
    FUZZ_CHECK(again.RatioPosition == options.RatioPosition && again.Format == options.Format
               && again.TimeoutSeconds == options.TimeoutSeconds && again.Jobs == options.Jobs
               && again.Watch == options.Watch && again.Folder == options.Folder && !again.Help && !again.Version);
    FUZZ_CHECK(again.FailUnder.has_value() == options.FailUnder.has_value());
    if (options.FailUnder)
        FUZZ_CHECK(again.FailUnder->Millionths == options.FailUnder->Millionths
                   && again.FailUnder->Text == options.FailUnder->Text);
    return 0;
}
