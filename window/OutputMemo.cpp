#include "window/OutputMemo.h"

#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

TOutputMemo::TOutputMemo(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
}

void TOutputMemo::Clear()
{
    clear();
    m_lineCount = 0;
}

void TOutputMemo::AddLine(const QString& line)
{
    // An empty document already holds one empty block, which the first line fills.
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (m_lineCount > 0)
        cursor.insertBlock();
    cursor.insertText(line);
    ++m_lineCount;
    // The newest line stays in view, as it arrives.
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TOutputMemo::ReplaceLastLine(const QString& line)
{
    if (m_lineCount == 0) {
        AddLine(line);
        return;
    }
    QTextCursor cursor(document()->lastBlock());
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(line);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

QStringList TOutputMemo::lines() const
{
    QStringList result;
    for (QTextBlock block = document()->begin(); block.isValid() && result.size() < m_lineCount; block = block.next())
        result.append(block.text());
    return result;
}

void TOutputMemo::mouseDoubleClickEvent(QMouseEvent* event)
{
    QPlainTextEdit::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}
