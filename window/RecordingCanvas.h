#ifndef QUILLMARK_WINDOW_RECORDINGCANVAS_H
#define QUILLMARK_WINDOW_RECORDINGCANVAS_H

#include "window/ListDrawItem.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

/// One drawing call, with the canvas state it was made in.
struct CanvasCall
{
    enum class Kind
    {
        FillRect,
        Rectangle,
        TextOut,
        DrawImage,
    };

    Kind kind;
    /// FillRect and Rectangle.
    QRect rect;
    /// TextOut and DrawImage.
    QPoint at;
    QString text;
    int image = -1;
    QColor brush;
    QColor pen;
    QColor textColor;
    QFont font;
};

/// A canvas that draws nothing and keeps every drawing call, for checking a painter's geometry. Every character
/// is CharWidth pixels wide.
class RecordingCanvas final : public Canvas
{
public:
    static constexpr int CharWidth = 6;

    void setFont(const QFont& font) override { m_font = font; }
    void setBrushColor(const QColor& colour) override { m_brush = colour; }
    void setPenColor(const QColor& colour) override { m_pen = colour; }
    void setTextColor(const QColor& colour) override { m_text = colour; }
    void fillRect(const QRect& rect) override;
    void rectangle(const QRect& rect) override;
    void textOut(int x, int y, const QString& text) override;
    int textWidth(const QString& text) override;
    /// As many whole characters as fit with the mark "…" after them.
    QString elidedText(const QString& text, int width) override;
    void drawImage(int index, int x, int y) override;

    const QList<CanvasCall>& calls() const { return m_calls; }
    QList<CanvasCall> callsOf(CanvasCall::Kind kind) const;
    /// TextOut calls whose text is not empty.
    QList<CanvasCall> texts() const;

private:
    CanvasCall stateFor(CanvasCall::Kind kind) const;

    QList<CanvasCall> m_calls;
    QFont m_font;
    QColor m_brush;
    QColor m_pen;
    QColor m_text;
};

#endif // QUILLMARK_WINDOW_RECORDINGCANVAS_H
