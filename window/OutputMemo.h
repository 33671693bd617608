#ifndef QUILLMARK_WINDOW_OUTPUTMEMO_H
#define QUILLMARK_WINDOW_OUTPUTMEMO_H

#include "catalog/TextSink.h"

#include <QPlainTextEdit>

/// The single-file page's read-only memo: the single-file check writes msgfmt's lines into it. UI thread only.
class TOutputMemo : public QPlainTextEdit, public TextSink
{
    Q_OBJECT

public:
    explicit TOutputMemo(QWidget* parent = nullptr);

    void Clear() override;
    void AddLine(const QString& line) override;
    void ReplaceLastLine(const QString& line) override;

    /// Every line of the memo, the last one included when it is empty.
    QStringList lines() const;

signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    /// Lines added since the last Clear; an empty document cannot tell no line from one empty line.
    int m_lineCount = 0;
};

#endif // QUILLMARK_WINDOW_OUTPUTMEMO_H
