#ifndef QUILLMARK_CATALOG_SINGLEFILECHECK_H
#define QUILLMARK_CATALOG_SINGLEFILECHECK_H

#include "runner/CommandRunner.h"

#include <QObject>
#include <QString>

class TextSink;

/// Checks one file with msgfmt on FileRunner and writes every line it prints to a text sink (the single-file
/// page's memo), each line once: the beginning of a line shows as soon as it arrives and its whole line takes its
/// place. UI thread, except FileRunnerNewLine, which the reader thread calls.
class SingleFileCheck : public QObject
{
    Q_OBJECT

public:
    explicit SingleFileCheck(TextSink* output, QObject* parent = nullptr);
    ~SingleFileCheck() override;

    TCommandRunner FileRunner;

    /// Clears the sink and checks the file named by text, exactly as typed; an empty text only writes
    /// "No file specified.". A check still going is stopped first, so its lines never mix into this one's.
    void CheckSingleFile(const QString& text);
    void FileRunnerNewLine(TCommandRunner* Sender, const QByteArray& NewLine, TOutputType OutputType);

private:
    /// On the UI thread: line goes into the sink, over a beginning shown before it.
    void show(const QString& line, bool beginning);

    TextSink* m_output;
    /// The sink's last line is the beginning of a line whose end has not come yet. UI thread only.
    bool m_beginningShown = false;
};

#endif // QUILLMARK_CATALOG_SINGLEFILECHECK_H
