#include "runner/LineAssembler.h"

#include "runner/ProcessTimer.h"

#include <algorithm>
#include <utility>

namespace {

/// A line's beginning shorter than this is passed on after every block that grows it.
constexpr qsizetype kEveryBeginningBelow = 4096;

} // namespace

void LineList::append(const QByteArray& line)
{
    std::lock_guard lock(m_mutex);
    if (m_limit > 0 && m_lines.size() >= m_limit)
        m_lines.removeFirst();
    m_lines.append(line);
}

void LineList::setLimit(int limit)
{
    std::lock_guard lock(m_mutex);
    m_limit = limit;
    while (m_limit > 0 && m_lines.size() > m_limit)
        m_lines.removeFirst();
}

void LineList::clear()
{
    std::lock_guard lock(m_mutex);
    m_lines.clear();
}

QList<QByteArray> LineList::snapshot() const
{
    std::lock_guard lock(m_mutex);
    // A copy of its own, not a second reference to the reader's list: the list's "still shared?" test is a
    // relaxed load, so the reader growing it in place after the caller dropped its reference would race.
    QList<QByteArray> copy;
    copy.reserve(m_lines.size());
    for (const QByteArray& line : m_lines)
        copy.append(line);
    return copy;
}

qsizetype LineList::size() const
{
    std::lock_guard lock(m_mutex);
    return m_lines.size();
}

LineAssembler::LineAssembler(Receivers receivers)
    : m_receivers(std::move(receivers))
{ }

bool LineAssembler::terminated() const
{
    return m_receivers.Terminated && m_receivers.Terminated->load();
}

void LineAssembler::takeBlock(QByteArrayView block)
{
    const qsizetype size = block.size();
    qsizetype i = 0;
    if (m_skipLeadingLf && size > 0 && !terminated()) {
        m_skipLeadingLf = false;
        if (block[0] == '\n')
            i = 1;
    }
    while (i < size) {
        // A stopped run drops whatever it still reads, from the line on which it notices the stop.
        if (terminated())
            break;
        qsizetype end = i;
        while (end < size && block[end] != '\n' && block[end] != '\r' && block[end] != '\0')
            ++end;
        appendToLine(block.sliced(i, end - i));
        if (end == size)
            break;
        const char c = block[end];
        i = end + 1;
        if (c == '\0')
            continue;
        if (c == '\r') {
            if (i < size) {
                if (block[i] == '\n')
                    ++i;
            } else {
                m_skipLeadingLf = true;
            }
        }
        completeLine(takePending());
    }
    // Passing the whole beginning on after every block would cost the square of a long line's length; past
    // a few pages it is passed on each time it has doubled, which keeps the total linear.
    const qsizetype pending = m_pending.size();
    if (pending > 0 && pending != m_shownLength && (pending < kEveryBeginningBelow || pending >= 2 * m_shownLength)) {
        m_shownLength = pending;
        beginningOfLine();
    }
}

void LineAssembler::appendToLine(QByteArrayView bytes)
{
    if (MaxLineLength > 0)
        bytes = bytes.first(std::min(bytes.size(), std::max<qsizetype>(0, MaxLineLength - m_pending.size())));
    m_pending.append(bytes);
}

QByteArray LineAssembler::takePending()
{
    m_shownLength = 0;
    return std::exchange(m_pending, QByteArray());
}

void LineAssembler::showRow(const QByteArray& text)
{
    QList<QByteArray>* rows = m_receivers.OutputLines;
    if (!rows)
        return;
    if (m_partialShown && !rows->isEmpty())
        rows->last() = text;
    else
        rows->append(text);
}

void LineAssembler::completeLine(const QByteArray& text)
{
    if (m_receivers.Timer)
        m_receivers.Timer->ResetLastOutput();
    deliverLine(text);
}

void LineAssembler::deliverLine(const QByteArray& text)
{
    if (m_receivers.Lines)
        m_receivers.Lines->append(text);
    showRow(text);
    m_partialShown = false;
    if (m_receivers.OnNewLine)
        m_receivers.OnNewLine(m_receivers.Sender, text, otEntireLine);
}

void LineAssembler::beginningOfLine()
{
    showRow(m_pending);
    if (m_receivers.OnNewLine)
        m_receivers.OnNewLine(m_receivers.Sender, m_pending, otBeginningOfLine);
    m_partialShown = true;
}

void LineAssembler::finish()
{
    if (m_pending.isEmpty())
        return;
    // The last line of a run counts as complete even without its line end, but it is no output that
    // arrived now, so the silence counter is left alone.
    deliverLine(takePending());
}

void LineAssembler::writeInputLines(const InputWriter& write)
{
    while (!InputLines.isEmpty() && !terminated()) {
        const QByteArray& queued = InputLines.first();
        QByteArray text = queued.mid(1);
        QByteArray bytes = text;
        if (queued.startsWith('_'))
            bytes.append("\r\n");
        if (!bytes.isEmpty())
            write(bytes);
        if (InputToOutput) {
            const QByteArray echo = takePending() + text;
            showRow(echo);
            m_partialShown = false;
            if (m_receivers.OnNewLine)
                m_receivers.OnNewLine(m_receivers.Sender, echo, otEntireLine);
        }
        InputLines.removeFirst();
    }
}
