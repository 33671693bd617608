#include "catalog/SingleFileCheck.h"

#include "catalog/MsgfmtCommand.h"
#include "catalog/TextSink.h"
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
        UiHandover::instance().call([this, &message] { m_output->AddLine(message); });
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
    if (text.isEmpty()) {
        m_output->AddLine(QStringLiteral("No file specified."));
        return;
    }
    FileRunner.CommandLine = msgfmtCommandLine(text);
    FileRunner.Execute();
}

void SingleFileCheck::FileRunnerNewLine(TCommandRunner*, const QByteArray& NewLine, TOutputType)
{
    const QString line = QString::fromLocal8Bit(NewLine);
    UiHandover::instance().call([this, &line] { m_output->AddLine(line); });
}
