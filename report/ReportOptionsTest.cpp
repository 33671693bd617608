#include "report/ReportOptions.h"

#include "runner/LocalPath.h"
#include "runner/Processors.h"

#include <gtest/gtest.h>

namespace {

struct Parsed
{
    bool ok = false;
    ReportOptions options;
    QString error;
};

Parsed parse(const QStringList& arguments)
{
    Parsed parsed;
    parsed.ok = parseReportOptions(arguments, parsed.options, parsed.error);
    return parsed;
}

TEST(ReportOptionsTest, DefaultsAndEveryOptionInBothSpellings)
{
    const Parsed plain = parse({"po"});
    ASSERT_TRUE(plain.ok) << qPrintable(plain.error);
    EXPECT_EQ(plain.options.Folder, QStringLiteral("po"));
    EXPECT_EQ(plain.options.RatioPosition, 3);
    EXPECT_EQ(plain.options.Format, ReportFormat::Table);
    EXPECT_FALSE(plain.options.FailUnder.has_value());
    EXPECT_FALSE(plain.options.Watch);
    EXPECT_FALSE(plain.options.AllowEmpty);
    EXPECT_FALSE(plain.options.Help);
    EXPECT_EQ(plain.options.TimeoutSeconds, 60);
    EXPECT_EQ(plain.options.Jobs, availableProcessors());

    const Parsed all
        = parse({"--ratio", "0", "--format=json", "--watch", "/tmp/po dir", "--fail-under", "79.9", "--allow-empty"});
    ASSERT_TRUE(all.ok) << qPrintable(all.error);
    EXPECT_EQ(all.options.RatioPosition, 0);
    EXPECT_EQ(all.options.Format, ReportFormat::Json);
    EXPECT_TRUE(all.options.Watch);
    EXPECT_TRUE(all.options.AllowEmpty);
    EXPECT_EQ(all.options.Folder, QStringLiteral("/tmp/po dir"));
    ASSERT_TRUE(all.options.FailUnder.has_value());
    EXPECT_EQ(all.options.FailUnder->Millionths, 79900000);
    EXPECT_EQ(all.options.FailUnder->Text, QStringLiteral("79.9"));

    EXPECT_EQ(parse({"--ratio=6", "--format", "tsv", "x"}).options.RatioPosition, 6);
    EXPECT_EQ(parse({"--format", "tsv", "x"}).options.Format, ReportFormat::Tsv);
    EXPECT_EQ(parse({"--fail-under=100", "x"}).options.FailUnder->Millionths, 100000000);
    EXPECT_EQ(parse({"--fail-under=0.000001", "x"}).options.FailUnder->Millionths, 1);
    EXPECT_EQ(parse({"--timeout", "2", "x"}).options.TimeoutSeconds, 2);
    EXPECT_EQ(parse({"--timeout", "2147483", "x"}).options.TimeoutSeconds, 2147483);
    EXPECT_EQ(parse({"--jobs", "1", "x"}).options.Jobs, 1);
    EXPECT_EQ(parse({"x", "--jobs=256"}).options.Jobs, 256);
    // After "--" a name that looks like an option is a folder.
    EXPECT_EQ(parse({"--", "--watch"}).options.Folder, QStringLiteral("--watch"));
    EXPECT_FALSE(parse({"--", "--watch"}).options.Watch);
    EXPECT_EQ(parse({"-"}).options.Folder, QStringLiteral("-"));
    // Help needs nothing else, even when what follows is wrong.
    EXPECT_TRUE(parse({"--help"}).options.Help);
    EXPECT_TRUE(parse({"-h", "--bogus"}).ok);
}

TEST(ReportOptionsTest, UsageErrorsSayWhatIsWrong)
{
    const std::vector<std::pair<QStringList, QString>> cases = {
        {{}, "missing FOLDER argument"},
        {{"--watch"}, "missing FOLDER argument"},
        {{"a", "b"}, "unexpected argument 'b' (only one FOLDER)"},
        {{"--verbose", "a"}, "unknown option '--verbose'"},
        {{"-x", "a"}, "unknown option '-x'"},
        {{"--watch=yes", "a"}, "option '--watch' takes no value"},
        {{"--allow-empty=1", "a"}, "option '--allow-empty' takes no value"},
        {{"a", "--ratio"}, "option '--ratio' needs a value"},
        {{"--ratio", "7", "a"}, "invalid ratio position '7' (expected 0 to 6)"},
        {{"--ratio", "-1", "a"}, "invalid ratio position '-1' (expected 0 to 6)"},
        {{"--ratio=", "a"}, "invalid ratio position '' (expected 0 to 6)"},
        {{"--ratio", "3.0", "a"}, "invalid ratio position '3.0' (expected 0 to 6)"},
        {{"--ratio", "0003", "a"}, "invalid ratio position '0003' (expected 0 to 6)"},
        {{"--format", "csv", "a"}, "unknown format 'csv' (expected table, tsv, json or junit)"},
        {{"--format", "TSV", "a"}, "unknown format 'TSV' (expected table, tsv, json or junit)"},
        {{"--watch", "--format=junit", "a"},
         "--watch cannot be used with --format junit (a document has no place for later rows)"},
        {{"--fail-under", "100.1", "a"}, "invalid percentage '100.1' (expected 0 to 100, at most 6 decimals)"},
        {{"--fail-under", "-5", "a"}, "invalid percentage '-5' (expected 0 to 100, at most 6 decimals)"},
        {{"--fail-under", "8e1", "a"}, "invalid percentage '8e1' (expected 0 to 100, at most 6 decimals)"},
        {{"--fail-under", "80,5", "a"}, "invalid percentage '80,5' (expected 0 to 100, at most 6 decimals)"},
        {{"--fail-under", "nan", "a"}, "invalid percentage 'nan' (expected 0 to 100, at most 6 decimals)"},
        {{"--fail-under", "50.0000001", "a"},
         "invalid percentage '50.0000001' (expected 0 to 100, at most 6 decimals)"},
        {{"--fail-under", ".5", "a"}, "invalid percentage '.5' (expected 0 to 100, at most 6 decimals)"},
        {{"--timeout", "0", "a"}, "invalid timeout '0' (expected whole seconds, 1 to 2147483)"},
        {{"--timeout", "1.5", "a"}, "invalid timeout '1.5' (expected whole seconds, 1 to 2147483)"},
        // The timer counts milliseconds in an int: these would give 0.7 s, and no limit at all.
        {{"--timeout", "4294968", "a"}, "invalid timeout '4294968' (expected whole seconds, 1 to 2147483)"},
        {{"--timeout", "2147484", "a"}, "invalid timeout '2147484' (expected whole seconds, 1 to 2147483)"},
        {{"--timeout", "99999999999", "a"}, "invalid timeout '99999999999' (expected whole seconds, 1 to 2147483)"},
        // A value is taken whole, and a message shows what it quotes on one line.
        {{"--ratio", "3\n", "a"}, "invalid ratio position '3\\n' (expected 0 to 6)"},
        {{"--ratio", " 3", "a"}, "invalid ratio position ' 3' (expected 0 to 6)"},
        {{"--jobs", "4\n", "a"}, "invalid number of jobs '4\\n' (expected 1 to 256)"},
        {{"--timeout=9\n", "a"}, "invalid timeout '9\\n' (expected whole seconds, 1 to 2147483)"},
        {{"--fail-under=80\n", "a"}, "invalid percentage '80\\n' (expected 0 to 100, at most 6 decimals)"},
        {{"--format", "tsv\r\n", "a"}, "unknown format 'tsv\\r\\n' (expected table, tsv, json or junit)"},
        {{"-\n"}, "unknown option '-\\n'"},
        {{"--x\x01\x7f\u0085=1", "a"}, "unknown option '--x\\x01\\x7f\\u0085'"},
        {{"a", decodeLocalPath("b\tc\xff")}, "unexpected argument 'b\\tc\\xff' (only one FOLDER)"},
        {{"a", "--jobs"}, "option '--jobs' needs a value"},
        {{"--jobs", "0", "a"}, "invalid number of jobs '0' (expected 1 to 256)"},
        {{"--jobs", "-2", "a"}, "invalid number of jobs '-2' (expected 1 to 256)"},
        {{"--jobs=two", "a"}, "invalid number of jobs 'two' (expected 1 to 256)"},
        {{"--jobs", "257", "a"}, "invalid number of jobs '257' (expected 1 to 256)"},
    };
    for (const auto& [arguments, message] : cases) {
        const Parsed parsed = parse(arguments);
        EXPECT_FALSE(parsed.ok) << qPrintable(arguments.join(' '));
        EXPECT_EQ(parsed.error, message) << qPrintable(arguments.join(' ')) << " gave " << qPrintable(parsed.error);
    }
}

} // namespace
