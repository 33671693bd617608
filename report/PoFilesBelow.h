#ifndef QUILLMARK_REPORT_POFILESBELOW_H
#define QUILLMARK_REPORT_POFILESBELOW_H

#include <QByteArray>
#include <QString>

#include <chrono>

/// The PO files that lie in a folder's subfolders, for the message that the folder itself has none.
struct PoFilesBelow
{
    int Count = 0;
    /// The count stopped at a limit before it had seen the whole tree: there may be more.
    bool Partial = false;
};

/// Counts the entries named like PO files (".po" in any letter case, as the folder's own listing takes them) in
/// the subfolders of folder (bytes) at any depth, leaving out the folder's own entries and the subfolders
/// themselves. Hidden folders are skipped and links to folders are not followed. The count stops after
/// entryLimit entries or timeLimit, so that a huge tree or a slow file system cannot hold the report up.
PoFilesBelow countPoFilesBelow(const QByteArray& folder, int entryLimit = 100000,
                               std::chrono::milliseconds timeLimit = std::chrono::seconds(1));

/// The line saying that the folder (as shown) holds no PO file, and how many lie in its subfolders when any do:
/// "no PO file in 'po'; 12 lie in its subfolders".
QString noPoFileMessage(const QString& shownFolder, const PoFilesBelow& below);

#endif // QUILLMARK_REPORT_POFILESBELOW_H
