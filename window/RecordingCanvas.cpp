#include "window/RecordingCanvas.h"

CanvasCall RecordingCanvas::stateFor(CanvasCall::Kind kind) const
{
    CanvasCall call{kind, {}, {}, {}, -1, m_brush, m_pen, m_text, m_font};
    return call;
}

void RecordingCanvas::fillRect(const QRect& rect)
{
    CanvasCall call = stateFor(CanvasCall::Kind::FillRect);
    call.rect = rect;
    m_calls.append(call);
}

void RecordingCanvas::rectangle(const QRect& rect)
{
    CanvasCall call = stateFor(CanvasCall::Kind::Rectangle);
    call.rect = rect;
    m_calls.append(call);
}

void RecordingCanvas::textOut(int x, int y, const QString& text)
{
    CanvasCall call = stateFor(CanvasCall::Kind::TextOut);
    call.at = {x, y};
    call.text = text;
    m_calls.append(call);
}

int RecordingCanvas::textWidth(const QString& text)
{
    return static_cast<int>(text.size()) * CharWidth;
}

QString RecordingCanvas::elidedText(const QString& text, int width)
{
    if (textWidth(text) <= width)
        return text;
    const qsizetype kept = width / CharWidth - 1;
    return kept < 0 ? QString() : text.left(kept) + QChar(0x2026);
}

void RecordingCanvas::drawImage(int index, int x, int y)
{
    CanvasCall call = stateFor(CanvasCall::Kind::DrawImage);
    call.at = {x, y};
    call.image = index;
    m_calls.append(call);
}

QList<CanvasCall> RecordingCanvas::callsOf(CanvasCall::Kind kind) const
{
    QList<CanvasCall> found;
    for (const CanvasCall& call : m_calls)
        if (call.kind == kind)
            found.append(call);
    return found;
}

QList<CanvasCall> RecordingCanvas::texts() const
{
    QList<CanvasCall> found;
    for (const CanvasCall& call : callsOf(CanvasCall::Kind::TextOut))
        if (!call.text.isEmpty())
            found.append(call);
    return found;
}
