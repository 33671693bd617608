#ifndef QUILLMARK_SHELL_KNOWNFOLDERS_H
#define QUILLMARK_SHELL_KNOWNFOLDERS_H

#include <QString>
#include <QStringList>

/// The special-folder names a shell root accepts ("sfDesktop", "sfMyDocuments", ...), in their own spelling.
QStringList specialFolderNames();

/// Whether name is one of the special-folder names, ignoring the case of the letters A to Z only.
bool isSpecialFolderName(const QString& name);

/// The existing folder that a special-folder name stands for on this desktop, or an empty string when the
/// name has no counterpart here or its folder does not exist. "sfDesktop" always resolves: to the desktop
/// folder, or to the home folder when there is none.
QString resolveSpecialFolder(const QString& name);

#endif // QUILLMARK_SHELL_KNOWNFOLDERS_H
