#ifndef QUILLMARK_RUNNER_LINEASSEMBLER_H
#define QUILLMARK_RUNNER_LINEASSEMBLER_H

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

class TCommandRunner;
class TProcessTimer;

enum TOutputType : std::uint8_t
{
    otEntireLine = 0,
    otBeginningOfLine = 1, ///< the text so far of a line whose end has not arrived
};

/// Raised on the reader thread. NewLine never holds a line end; its bytes are the child's, unconverted.
using TNewLineEvent = std::function<void(TCommandRunner* Sender, const QByteArray& NewLine, TOutputType OutputType)>;

/// The complete lines of one run. Appended to by the reader thread while the owner may read a snapshot.
class LineList
{
public:
    void append(const QByteArray& line);
    void clear();
    /// Keeps only the latest limit lines from now on; 0 keeps them all.
    void setLimit(int limit);
    QList<QByteArray> snapshot() const;
    qsizetype size() const;

private:
    mutable std::mutex m_mutex;
    QList<QByteArray> m_lines;
    int m_limit = 0;
};

/// Cuts a run's output bytes into complete lines and line beginnings and hands each to the receivers,
/// always in the order Lines, OutputLines, OnNewLine. Works on blocks of bytes alone; the reader thread of
/// a run owns one and calls it on that thread only.
class LineAssembler
{
public:
    struct Receivers
    {
        TCommandRunner* Sender = nullptr;
        LineList* Lines = nullptr; ///< complete lines only; optional
        QList<QByteArray>* OutputLines = nullptr; ///< console-style rows; optional, not owned
        TNewLineEvent OnNewLine; ///< optional
        TProcessTimer* Timer = nullptr; ///< complete lines reset its silence counter; optional
        const std::atomic<bool>* Terminated = nullptr; ///< once set, bytes still to come are dropped; optional
    };

    /// Writes bytes to the child's standard input. A child that does not read them loses them.
    using InputWriter = std::function<void(QByteArrayView bytes)>;

    explicit LineAssembler(Receivers receivers);

    /// Queue of input for the child. Each string starts with a marker: "_" means the rest is followed by
    /// CR LF, anything else means it is written without a line end.
    QList<QByteArray> InputLines;
    /// Echo every written input line into the output (not into Lines).
    bool InputToOutput = false;
    /// Bytes of a line beyond this many are dropped, from every receiver; 0 keeps them all.
    qsizetype MaxLineLength = 0;

    void takeBlock(QByteArrayView block);
    void writeInputLines(const InputWriter& write);
    /// Passes the pending text on as a complete line. Call once, when the run has ended.
    void finish();

    const QByteArray& pendingText() const { return m_pending; }

private:
    bool terminated() const;
    void completeLine(const QByteArray& text);
    /// To Lines, OutputLines and OnNewLine, as a complete line.
    void deliverLine(const QByteArray& text);
    void beginningOfLine();
    void showRow(const QByteArray& text);
    void appendToLine(QByteArrayView bytes);
    /// Takes the line gathered so far; the next one starts empty, no beginning of it passed on yet.
    QByteArray takePending();

    Receivers m_receivers;
    QByteArray m_pending;
    bool m_partialShown = false;
    /// Length of the pending text when its beginning was last passed on; 0 when it has not been.
    qsizetype m_shownLength = 0;
    /// The previous block ended in CR: an LF opening the next block belongs to that line end.
    bool m_skipLeadingLf = false;
};

#endif // QUILLMARK_RUNNER_LINEASSEMBLER_H
