#include "runner/LineAssembler.h"

#include "runner/ProcessTimer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

/// One event as a short text: "=text" for a complete line, "+text" for a beginning.
std::string describe(const QByteArray& line, TOutputType type)
{
    return (type == otEntireLine ? "=" : "+") + line.toStdString();
}

std::vector<std::string> toStrings(const QList<QByteArray>& lines)
{
    std::vector<std::string> result;
    for (const QByteArray& line : lines)
        result.push_back(line.toStdString());
    return result;
}

struct Recorder
{
    LineList lines;
    QList<QByteArray> rows;
    std::vector<std::string> events;
    std::atomic<bool> terminated{false};
    LineAssembler assembler{
        {nullptr, &lines, &rows,
         [this](TCommandRunner*, const QByteArray& line, TOutputType type) { events.push_back(describe(line, type)); },
         nullptr, &terminated}};

    void feed(const std::vector<std::string>& blocks)
    {
        for (const std::string& block : blocks)
            assembler.takeBlock(QByteArrayView(block.data(), static_cast<qsizetype>(block.size())));
    }
};

struct AssemblyCase
{
    const char* name;
    std::vector<std::string> blocks;
    std::vector<std::string> events; ///< including those of the finish
    std::vector<std::string> lines;
    std::vector<std::string> rows;
};

void PrintTo(const AssemblyCase& c, std::ostream* os)
{
    *os << c.name;
}

class LineAssemblyTest : public testing::TestWithParam<AssemblyCase>
{
};

TEST_P(LineAssemblyTest, cutsBlocksIntoLinesAndBeginnings)
{
    const AssemblyCase& c = GetParam();
    Recorder r;
    r.feed(c.blocks);
    r.assembler.finish();
    EXPECT_EQ(r.events, c.events);
    EXPECT_EQ(toStrings(r.lines.snapshot()), c.lines);
    EXPECT_EQ(toStrings(r.rows), c.rows);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Blocks, LineAssemblyTest,
    testing::Values(
        AssemblyCase{"CrLfAndLf", {"a\r\nb\n"}, {"=a", "=b"}, {"a", "b"}, {"a", "b"}},
        AssemblyCase{"LoneCrEndsALine", {"a\rb\r\n"}, {"=a", "=b"}, {"a", "b"}, {"a", "b"}},
        AssemblyCase{"CrCrLfGivesAnEmptyLine", {"a\r\r\n"}, {"=a", "="}, {"a", ""}, {"a", ""}},
        AssemblyCase{"EmptyLinesAreLines", {"a\n\nb\n"}, {"=a", "=", "=b"}, {"a", "", "b"}, {"a", "", "b"}},
        AssemblyCase{"NulBytesAreDropped", {"a\0b\n"s}, {"=ab"}, {"ab"}, {"ab"}},
        AssemblyCase{"CrAndLfAcrossBlocksAreOneLineEnd", {"a\r", "\nb\n"}, {"=a", "=b"}, {"a", "b"}, {"a", "b"}},
        AssemblyCase{"CrAtBlockEndThenOtherText", {"a\r", "b\n"}, {"=a", "=b"}, {"a", "b"}, {"a", "b"}},
        AssemblyCase{"LfAfterAnEarlierCrIsItsOwnLine", {"a\r", "x", "\n"}, {"=a", "+x", "=x"}, {"a", "x"}, {"a", "x"}},
        AssemblyCase{"BeginningThenCompleteLine", {"ab", "c\n"}, {"+ab", "=abc"}, {"abc"}, {"abc"}},
        AssemblyCase{"BeginningsCarryAllTextSoFar", {"ab", "cd", "\n"}, {"+ab", "+abcd", "=abcd"}, {"abcd"}, {"abcd"}},
        AssemblyCase{
            "TwoLinesAcrossBlocks", {"ab", "c\nd", "e\n"}, {"+ab", "=abc", "+d", "=de"}, {"abc", "de"}, {"abc", "de"}},
        AssemblyCase{"FinishCompletesTheLastLine", {"x\nab"}, {"=x", "+ab", "=ab"}, {"x", "ab"}, {"x", "ab"}},
        AssemblyCase{"NoOutputNoEvents", {}, {}, {}, {}},
        AssemblyCase{"HighBytesPassUnchanged",
                     {"\x80\xc3\xa9\xff\n"},
                     {"=\x80\xc3\xa9\xff"},
                     {"\x80\xc3\xa9\xff"},
                     {"\x80\xc3\xa9\xff"}}),
    [](const testing::TestParamInfo<AssemblyCase>& info) { return std::string(info.param.name); });

TEST(LineAssembler, everyByteValueBesidesLineEndsAndNulReachesTheLine)
{
    QByteArray all;
    for (int b = 1; b < 256; ++b) {
        if (b != '\n' && b != '\r')
            all.append(static_cast<char>(b));
    }
    Recorder r;
    r.assembler.takeBlock(all + '\n');
    ASSERT_EQ(r.lines.size(), 1);
    EXPECT_EQ(r.lines.snapshot().first(), all);
}

TEST(LineAssembler, stopDropsTheRestOfTheBlockAndLaterBlocks)
{
    Recorder r;
    r.feed({"one\npart"});
    r.terminated = true;
    r.feed({"ial\nlost\n", "more\n"});
    r.assembler.finish();
    // The pending beginning, which the dropped blocks do not grow, is completed at the finish.
    EXPECT_EQ(r.events, (std::vector<std::string>{"=one", "+part", "=part"}));
    EXPECT_EQ(toStrings(r.lines.snapshot()), (std::vector<std::string>{"one", "part"}));
}

TEST(LineAssembler, aLineLimitDropsTheBytesBeyondItForEveryReceiver)
{
    Recorder r;
    r.assembler.MaxLineLength = 4;
    r.feed({"abc", "defg\nxy", "z\n", "123456789"});
    r.assembler.finish();
    EXPECT_EQ(r.events, (std::vector<std::string>{"+abc", "=abcd", "+xy", "=xyz", "+1234", "=1234"}));
    EXPECT_EQ(toStrings(r.lines.snapshot()), (std::vector<std::string>{"abcd", "xyz", "1234"}));
    EXPECT_EQ(toStrings(r.rows), (std::vector<std::string>{"abcd", "xyz", "1234"}));
}

TEST(LineAssembler, aKeptLinesLimitKeepsTheLatestLines)
{
    LineList lines;
    lines.setLimit(2);
    for (const char* line : {"a", "b", "c"})
        lines.append(line);
    EXPECT_EQ(toStrings(lines.snapshot()), (std::vector<std::string>{"b", "c"}));
    lines.setLimit(1);
    EXPECT_EQ(toStrings(lines.snapshot()), (std::vector<std::string>{"c"}));
}

/// A long line arriving in pipe-sized blocks: its beginnings are passed on each time they double, so the
/// bytes handed to the receivers stay within a small multiple of the line's length.
TEST(LineAssembler, assemblingALongLineCostsTimeLinearInItsLength)
{
    constexpr qsizetype block = 65536;
    constexpr qsizetype length = 64 * 1024 * 1024;
    const QByteArray bytes(block, 'x');
    LineList lines;
    qsizetype handed = 0;
    int beginnings = 0;
    LineAssembler assembler({nullptr, &lines, nullptr,
                             [&](TCommandRunner*, const QByteArray& line, TOutputType type) {
                                 handed += line.size();
                                 beginnings += type == otBeginningOfLine ? 1 : 0;
                             },
                             nullptr, nullptr});
    for (qsizetype done = 0; done < length; done += block)
        assembler.takeBlock(bytes);
    assembler.takeBlock("\n");
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines.snapshot().first().size(), length);
    EXPECT_LE(handed, 3 * length);
    EXPECT_LE(beginnings, 12);
}

TEST(LineAssembler, completeLinesResetTheSilenceCounterButBeginningsDoNot)
{
    TProcessTimer timer;
    LineList lines;
    LineAssembler assembler({nullptr, &lines, nullptr, {}, &timer, nullptr});
    timer.TimeAfterLastOutput = 5;
    assembler.takeBlock("partial");
    EXPECT_EQ(timer.TimeAfterLastOutput.load(), 5);
    assembler.takeBlock(" line\n");
    EXPECT_EQ(timer.TimeAfterLastOutput.load(), 0);
}

TEST(LineAssembler, worksWithoutAnyReceiver)
{
    LineAssembler assembler({});
    assembler.takeBlock("a\nb");
    EXPECT_EQ(assembler.pendingText(), QByteArray("b"));
    assembler.finish();
    EXPECT_TRUE(assembler.pendingText().isEmpty());
}

TEST(LineAssembler, inputLinesAreWrittenWithTheirLineEndsAndEchoedIntoTheOutput)
{
    Recorder r;
    QByteArray written;
    r.assembler.InputLines = {"_yes", "-no end", "_"};
    r.assembler.InputToOutput = true;
    r.feed({"Continue? "});
    r.assembler.writeInputLines([&written](QByteArrayView bytes) { written.append(bytes); });
    EXPECT_EQ(written, QByteArray("yes\r\nno end\r\n"));
    EXPECT_TRUE(r.assembler.InputLines.isEmpty());
    // The echo joins the prompt that was showing; it never reaches Lines.
    EXPECT_EQ(r.events, (std::vector<std::string>{"+Continue? ", "=Continue? yes", "=no end", "="}));
    EXPECT_EQ(toStrings(r.rows), (std::vector<std::string>{"Continue? yes", "no end", ""}));
    EXPECT_EQ(r.lines.size(), 0);
}

TEST(LineAssembler, inputIsNotWrittenOnceTheRunIsStopped)
{
    Recorder r;
    r.assembler.InputLines = {"_a"};
    r.terminated = true;
    bool wrote = false;
    r.assembler.writeInputLines([&wrote](QByteArrayView) { wrote = true; });
    EXPECT_FALSE(wrote);
    EXPECT_EQ(r.assembler.InputLines.size(), 1);
}

} // namespace
