#include "runner/CommandLine.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, splitsAtBlanksAndGroupsQuotedRuns)
{
    EXPECT_EQ(splitCommandLine(QStringLiteral("msgfmt \"/po dir/de.po\" -v -c -o /dev/null")),
              (QStringList{"msgfmt", "/po dir/de.po", "-v", "-c", "-o", "/dev/null"}));
    EXPECT_EQ(splitCommandLine(QStringLiteral("  a\t\tb  ")), (QStringList{"a", "b"}));
    EXPECT_EQ(splitCommandLine(QStringLiteral("a\"b c\"d e")), (QStringList{"ab cd", "e"}));
    EXPECT_EQ(splitCommandLine(QStringLiteral("a \"\" b")), (QStringList{"a", "", "b"}));
    EXPECT_EQ(splitCommandLine(QStringLiteral("   ")), QStringList{});
}

TEST(CommandLine, backslashesEscapeOnlyQuotes)
{
    EXPECT_EQ(splitCommandLine(QStringLiteral(R"(a\b \"x\")")), (QStringList{R"(a\b)", R"("x")"}));
    EXPECT_EQ(splitCommandLine(QStringLiteral(R"("a\\" b)")), (QStringList{R"(a\)", "b"}));
    EXPECT_EQ(splitCommandLine(QStringLiteral(R"("a\\\"" b)")), (QStringList{R"(a\")", "b"}));
    EXPECT_EQ(splitCommandLine(QStringLiteral(R"(trailing\\)")), (QStringList{R"(trailing\\)"}));
}

TEST(CommandLine, anyQuotedArgumentComesBackUnchanged)
{
    const QStringList awkward{
        "plain",    "with blank", "quote\"inside", "\"",         "",           "back\\slash", "ends\\",
        "ends\\\\", "\\\"",       "tab\there",     "ünïcödé.po", "a\\\\\"b c", "\"\"\"",
    };
    for (const QString& argument : awkward) {
        const QString line = QStringLiteral("prog ") + quoteCommandArgument(argument) + QStringLiteral(" -v");
        EXPECT_EQ(splitCommandLine(line), (QStringList{"prog", argument, "-v"})) << line.toStdString();
    }
}

} // namespace
