#ifndef QUILLMARK_SHELL_FOLDERCHANGESOURCE_H
#define QUILLMARK_SHELL_FOLDERCHANGESOURCE_H

#include "shell/ShellItem.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QtGlobal>

#include <functional>
#include <optional>
#include <utility>

class QSocketNotifier;

/// One change found in a watched folder: the bit of its kind (no interrupt bit) and its items; Item2 only
/// for a rename, the new name.
struct FolderChange
{
    quint32 Word = 0;
    ShellItem Item1;
    std::optional<ShellItem> Item2;
};

/// Turns inotify events for one folder into changes of items, read on the thread that owns it through its
/// event loop. Events are collected until the folder has been quiet for QuietMilliseconds, then each name
/// they touched is looked at once: a name known before and still there was updated, a new one that is
/// there was created, a known one that is gone was deleted, and a new one that is gone again (a temporary
/// file) is left out. So a save that writes a temporary file and renames it over the original gives one
/// update of the original, whatever the number and order of its events.
///
/// A folder root is followed by its path, not by the folder that was there when it was armed: when it is
/// removed or renamed away, that is reported as the root folder deleted (what went with it is not reported
/// one by one), and the nearest folder above it that exists is watched until a folder appears at the root's
/// path again; that is reported as the root folder created, and it is watched from then on.
class FolderChangeSource : public QObject
{
public:
    using ChangeSink = std::function<void(const FolderChange& change)>;

    static constexpr int QuietMilliseconds = 150;
    /// A folder that never falls quiet (a program writing a log there) still has its changes reported
    /// about this often.
    static constexpr int MaxDelayMilliseconds = 1000;

    /// Opens the descriptor; sink receives every change found, on this object's thread, and must not throw.
    explicit FolderChangeSource(ChangeSink sink, QObject* parent = nullptr);
    ~FolderChangeSource() override;
    FolderChangeSource(const FolderChangeSource&) = delete;
    FolderChangeSource& operator=(const FolderChangeSource&) = delete;

    /// Ends any watch, then watches root: a folder (with every folder below it when recursive), or a file
    /// (through its folder, reporting that name only). False when the root cannot be watched.
    bool arm(const QString& root, bool recursive);
    /// Ends the watch and drops what was collected and not yet reported.
    void disarm();
    bool isArmed() const { return m_armed; }
    /// -1 when inotify gave no descriptor.
    int descriptor() const { return m_fd; }

private:
    struct Batch
    {
        QList<QString> names; // relative to the root, in the order first touched
        QSet<QString> touched;
        QList<std::pair<QString, QString>> moves; // renames paired by cookie: from, to
        bool overflow = false;
        bool rootGone = false;
        /// Something came or went in the folder watched while the root is missing.
        bool aboveRootChanged = false;
    };

    void readEvents();
    void handleEvent(int wd, quint32 mask, quint32 cookie, const QString& name);
    void touch(const QString& relative);
    void flush();
    QList<FolderChange> classify(Batch batch);

    /// Adds a watch on the folder relative (below the root) and makes its entries known; for a recursive
    /// watch also every folder below it. Entries not known before are appended to created, if given.
    void watchFolder(const QString& relative, QList<std::pair<QString, bool>>* created);
    void forgetBelow(const QString& relative);
    /// Ends every watch of the root and below, and forgets what they knew.
    void forgetRoot();
    /// The root is missing: watches it again when a folder is at its path, otherwise the nearest folder
    /// above it that exists. True when the root is watched again.
    bool followRoot();
    void renameBelow(const QString& from, const QString& to);
    QString fullPath(const QString& relative) const;
    ShellItem item(const QString& relative) const;

    ChangeSink m_sink;
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_quiet;
    QElapsedTimer m_batchAge; // since the first event of the batch being collected

    bool m_armed = false;
    /// Bumped by every arm and disarm, so that a handler that re-points the watch stops the delivery of
    /// what was found for the previous one.
    quint64 m_generation = 0;
    QString m_rootPath; // the watched folder, cleaned
    QString m_onlyName; // root is a file: the one name in m_rootPath reported
    bool m_recursive = false;
    int m_rootWd = -1;
    /// While the root is missing: the watch of the nearest existing folder above it, -1 when none.
    int m_aboveWd = -1;
    bool m_rootMissing = false;
    QHash<int, QString> m_watches; // descriptor of a watch -> its folder relative to the root ("" the root)
    QHash<QString, bool> m_known; // relative name -> is a folder
    Batch m_batch;
    QHash<quint32, QString> m_movedFrom; // cookie -> name moved away, awaiting its other half
};

#endif // QUILLMARK_SHELL_FOLDERCHANGESOURCE_H
