#include "runner/LineAssembler.h"

#include "runner/ProcessTimer.h"

#include <utility>

void LineList::append(const QByteArray& line)
{
    std::lock_guard lock(m_mutex);
    m_lines.append(line);
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
    QByteArray current = m_pending;
    const qsizetype size = block.size();
    qsizetype i = 0;
    if (m_skipLeadingLf && size > 0 && !terminated()) {
        m_skipLeadingLf = false;
        if (block[0] == '\n')
            i = 1;
    }
    for (; i < size; ++i) {
        // A stopped run drops whatever it still reads, from the byte on which it notices the stop.
        if (terminated())
            break;
        const char c = block[i];
        switch (c) {
        case '\0':
            break;
        case '\n':
            completeLine(current);
            current.clear();
            break;
        case '\r':
            if (i + 1 < size) {
                if (block[i + 1] == '\n')
                    ++i;
            } else {
                m_skipLeadingLf = true;
            }
            completeLine(current);
            current.clear();
            break;
        default:
            current.append(c);
        }
    }
    m_pending = current;
    if (!m_pending.isEmpty())
        beginningOfLine();
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
    deliverLine(std::exchange(m_pending, QByteArray()));
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
            const QByteArray echo = std::exchange(m_pending, QByteArray()) + text;
            showRow(echo);
            m_partialShown = false;
            if (m_receivers.OnNewLine)
                m_receivers.OnNewLine(m_receivers.Sender, echo, otEntireLine);
        }
        InputLines.removeFirst();
    }
}
