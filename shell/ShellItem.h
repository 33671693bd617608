#ifndef QUILLMARK_SHELL_SHELLITEM_H
#define QUILLMARK_SHELL_SHELLITEM_H

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

/// The identity of one item as the shell components hand it around: its parsing name (for a file or folder
/// the full path), its plain display name, and data that some notification kinds carry (the image index
/// of an image-updated notification). Handlers receive it by pointer, valid only during the call.
struct ShellItem
{
    QString ParsingName;
    QString DisplayName;
    QByteArray Data;

    /// A file or folder: the path as given, the last path component as display name.
    static ShellItem fromPath(const QString& path);
    /// An image-updated item: the index stored as four bytes of data.
    static ShellItem fromIndex(qint32 index);
    /// The signed 32-bit value in the first four bytes of Data; none when Data is shorter.
    std::optional<qint32> dataInt32() const;

    bool isEmpty() const { return ParsingName.isEmpty(); }
};

/// The item identity parameter of the handlers: null when the notification has no such item.
using PShellItem = const ShellItem*;

/// The path handlers receive for an item: its parsing name, where a text that starts with "?" and a digit
/// loses every "?", and a virtual item's class path ("::{...}") is replaced by its display name. Empty for
/// a null item.
QString shellItemPath(PShellItem item);

#endif // QUILLMARK_SHELL_SHELLITEM_H
