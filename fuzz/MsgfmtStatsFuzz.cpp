// Property: a line is msgfmt's statistics line exactly when msgfmt would print it. A line read as statistics
// prints again, from its counts and in msgfmt's words, as the very same bytes; any counts msgfmt can print
// read back as themselves; and a statistics line never counts inside a longer line (a path that quotes one,
// a prefix, a suffix): a line holding a statistics line as a proper part is no summary line at all, unless
// the part is only the end of its first count ("2 translated messages." in "12 translated messages."). The
// counts are drawn from the input's first 12 bytes, and the whole input is the line.

#include "catalog/MsgfmtStats.h"
#include "fuzz/FuzzCheck.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

/// The statistics line as msgfmt -v writes it under the C locale, by msgfmt's own format strings.
QByteArray msgfmtStatistics(qint32 translated, qint32 fuzzy, qint32 untranslated)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, translated == 1 ? "%d translated message" : "%d translated messages",
                  translated);
    QByteArray line(buffer);
    if (fuzzy > 0) {
        std::snprintf(buffer, sizeof buffer, fuzzy == 1 ? ", %d fuzzy translation" : ", %d fuzzy translations",
                      fuzzy);
        line += buffer;
    }
    if (untranslated > 0) {
        std::snprintf(buffer, sizeof buffer,
                      untranslated == 1 ? ", %d untranslated message" : ", %d untranslated messages", untranslated);
        line += buffer;
    }
    return line + '.';
}

bool isStatistics(const std::optional<TMsgfmtStats>& summary)
{
    return summary && !summary->Failed;
}

/// A count msgfmt can print from four bytes: mostly 0, 1 or 2, whose words differ, else any up to 2^31 - 1.
qint32 countOf(const uint8_t* bytes)
{
    uint32_t raw = 0;
    std::memcpy(&raw, bytes, sizeof raw);
    return (raw & 0x80) == 0 ? qint32((raw & 0x7f) % 3) : qint32(raw >> 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView line(reinterpret_cast<const char*>(data), qsizetype(size));

    const std::optional<TMsgfmtStats> summary = ParseStatsLine(line);
    if (isStatistics(summary))
        FUZZ_CHECK(msgfmtStatistics(summary->Translated, summary->Fuzzy, summary->Untranslated) == line);

    if (size >= 12) {
        const TMsgfmtStats counts{countOf(data), countOf(data + 4), countOf(data + 8), false, 0};
        FUZZ_CHECK(ParseStatsLine(msgfmtStatistics(counts.Translated, counts.Fuzzy, counts.Untranslated)) == counts);
    }

    // Every proper part of the line that could be a statistics line: from the first digit of a number to a
    // full stop. Lines much longer than msgfmt's longest statistics line add nothing but time.
    if (size > 160)
        return 0;
    const auto isDigit = [&line](qsizetype at) { return line[at] >= '0' && line[at] <= '9'; };
    for (qsizetype from = 0; from < line.size(); ++from) {
        if (!isDigit(from) || (from > 0 && isDigit(from - 1)))
            continue;
        for (qsizetype to = from + 1; to <= line.size(); ++to) {
            if (line[to - 1] != '.' || to - from == line.size())
                continue;
            if (isStatistics(ParseStatsLine(line.sliced(from, to - from))))
                FUZZ_CHECK(!summary);
        }
    }
    return 0;
}
