// Property: the complete lines a run's output gives do not depend on how its bytes arrive. The first byte
// of an input seeds the cut of the rest into blocks (as the pipe delivers them); the lines from those blocks
// must equal the lines from the whole text in one block, hold no line end, and the console rows must end
// with the same lines.

#include "fuzz/FuzzCheck.h"
#include "runner/LineAssembler.h"

#include <QByteArrayView>
#include <QList>

#include <cstdint>
#include <utility>

namespace {

struct Assembled
{
    QList<QByteArray> lines;
    QList<QByteArray> rows;
};

template <typename Cut>
Assembled assemble(QByteArrayView text, qsizetype maxLineLength, Cut nextBlockSize)
{
    LineList lines;
    Assembled out;
    LineAssembler::Receivers receivers;
    receivers.Lines = &lines;
    receivers.OutputLines = &out.rows;
    LineAssembler assembler(std::move(receivers));
    assembler.MaxLineLength = maxLineLength;
    qsizetype at = 0;
    while (at < text.size()) {
        const qsizetype size = std::min(text.size() - at, nextBlockSize());
        assembler.takeBlock(text.sliced(at, size));
        at += size;
    }
    assembler.finish();
    out.lines = lines.snapshot();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    uint32_t seed = data[0];
    const qsizetype maxLineLength = data[1] % 4 == 0 ? 0 : data[1];
    const QByteArrayView text(reinterpret_cast<const char*>(data) + 2, qsizetype(size - 2));

    const Assembled whole = assemble(text, maxLineLength, [&] { return text.size(); });
    const Assembled cut = assemble(text, maxLineLength, [&] {
        seed = seed * 1103515245u + 12345u;
        return qsizetype(1 + (seed >> 16) % 17);
    });

    FUZZ_CHECK(cut.lines == whole.lines);
    for (const QByteArray& line : whole.lines) {
        FUZZ_CHECK(!line.contains('\n') && !line.contains('\r') && !line.contains('\0'));
        FUZZ_CHECK(maxLineLength == 0 || line.size() <= maxLineLength);
    }
    // Every complete line is also a console row, in order; a beginning shown is replaced by its line.
    FUZZ_CHECK(cut.rows == whole.lines);
    return 0;
}
