#ifndef QUILLMARK_SHELL_SHELLCOMPONENT_H
#define QUILLMARK_SHELL_SHELLCOMPONENT_H

#include <QObject>

/// Base of the shell's non-visual components: each is created with an owner, which destroys it.
class TShellComponent : public QObject
{
    Q_OBJECT

public:
    explicit TShellComponent(QObject* owner)
        : QObject(owner)
    { }
};

#endif // QUILLMARK_SHELL_SHELLCOMPONENT_H
