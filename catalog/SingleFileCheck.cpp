#include "catalog/SingleFileCheck.h"

#include "catalog/CheckOutcome.h"
#include "catalog/MsgfmtCommand.h"
#include "catalog/TextSink.h"
#include "runner/LocalPath.h"
#include "runner/UiHandover.h"

SingleFileCheck::SingleFileCheck(TextSink* output, QObject* parent)
    : QObject(parent)
    , m_output(output)
{
    UiHandover::instance();
    FileRunner.OnNewLine = [this](TCommandRunner* sender, const QByteArray& line, TOutputType type) {
        FileRunnerNewLine(sender, line, type);
    };
    // A program that cannot start says so in the memo rather than leaving it blank.
    FileRunner.OnStartError = [this](TCommandRunner*, const QString& message) {
        UiHandover::instance().call([this, &message] {
            const int errorNumber = FileRunner.Thread() ? FileRunner.Thread()->StartErrorNumber() : 0;
            show(msgfmtStartErrorStatus(errorNumber), false);
            show(msgfmtStartErrorDetail(FileRunner.CommandLine, errorNumber, message), false);
        });
    };
}

SingleFileCheck::~SingleFileCheck()
{
    FileRunner.Stop();
}

void SingleFileCheck::CheckSingleFile(const QString& text)
{
    FileRunner.Stop();
    m_output->Clear();
    m_beginningShown = false;
    if (text.isEmpty()) {
        m_output->AddLine(QStringLiteral("No file specified."));
        return;
    }
    // msgfmt would wait on a named pipe for good; the page says what the entry is instead.
    if (const QString reason = BlockingEntryReason(encodeLocalPath(text)); !reason.isEmpty()) {
        m_output->AddLine(QStringLiteral("%1: %2").arg(text, reason));
        return;
    }
    FileRunner.CommandLine = msgfmtCommandLine(text);
    FileRunner.Execute();
}

void SingleFileCheck::FileRunnerNewLine(TCommandRunner*, const QByteArray& NewLine, TOutputType OutputType)
{
    const QString line = QString::fromLocal8Bit(NewLine);
    const bool beginning = OutputType == otBeginningOfLine;
    UiHandover::instance().call([this, &line, beginning] { show(line, beginning); });
}

void SingleFileCheck::show(const QString& line, bool beginning)
{
    if (m_beginningShown)
        m_output->ReplaceLastLine(line);
    else
        m_output->AddLine(line);
    m_beginningShown = beginning;
}
