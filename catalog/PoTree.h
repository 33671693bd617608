#ifndef QUILLMARK_CATALOG_POTREE_H
#define QUILLMARK_CATALOG_POTREE_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

/// What a walk of a folder and everything below it found. Paths are relative to the folder, in the bytes the
/// listings give; a folder's path ends in "/".
struct PoTree
{
    /// Entries named like a PO file (".po" in any letter case), at any depth, in no particular order.
    QList<QByteArray> Names;
    /// Folders below the walked one that could not be listed, with the reason in the system's words.
    QHash<QByteArray, QString> Unreadable;
    /// What git ignores below the folder when the folder is in a git work tree: whole folders (ending in "/")
    /// and single files. Empty outside a work tree, or without git.
    QSet<QByteArray> Ignored;
};

/// Walks folder (ending in "/") and the folders below it. Hidden folders, symbolic links to folders and what
/// git ignores are not walked; a link to a file is listed as any other entry. A folder that goes while it is
/// walked is simply not there; one that may not be read is in Unreadable. maxFolders, when above 0, ends the
/// walk after that many folders and sets *truncated.
/// ignored, when given, stands for what git ignores, which is then not asked.
PoTree walkPoTree(const QString& folder, int maxFolders = 0, bool* truncated = nullptr,
                  const QSet<QByteArray>* ignored = nullptr);

/// What git ignores below folder (ending in "/"), as PoTree::Ignored; empty when folder is in no work tree.
QSet<QByteArray> gitIgnoredBelow(const QString& folder);

/// The relative path is not walked: a folder on its way is hidden, or it or a folder on its way is in ignored.
bool isSkippedPath(const QByteArray& relative, const QSet<QByteArray>& ignored);

/// The entry's name ends in ".po" in any letter case.
bool hasPoSuffix(QByteArrayView name);

#endif // QUILLMARK_CATALOG_POTREE_H
