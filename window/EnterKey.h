#ifndef QUILLMARK_WINDOW_ENTERKEY_H
#define QUILLMARK_WINDOW_ENTERKEY_H

#include <QKeyEvent>

/// The key that makes an edit box act as the button beside it: Enter or Return, with Shift at most.
inline bool isEnter(const QKeyEvent& key)
{
    // Ctrl+Enter makes a line feed, not the Enter character, in the edit boxes of the desktop this comes from.
    const Qt::KeyboardModifiers other = key.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    return (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) && other == Qt::NoModifier;
}

#endif // QUILLMARK_WINDOW_ENTERKEY_H
