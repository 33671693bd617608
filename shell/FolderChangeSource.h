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

#include <sys/types.h>

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
/// A folder root is followed by its path, not by the folder that was there when it was armed. Each folder the
/// path goes through is watched for the one name looked up in it (symbolic links followed as the system
/// follows them), so that any change above the root (a parent renamed, removed or made again, a link
/// re-pointed, a permission taken or given) makes the path be looked up again:
/// - the path names nothing, or no folder: the root folder deleted (what went with it is not reported one by
///   one);
/// - a folder is at the path again, or another folder than before: the root folder created, and it is
///   watched from then on; when the root folder itself moved or was removed, it is reported deleted first;
/// - the path or the folder may no longer be searched or read: the root's attributes changed, and once they
///   may again (the same folder), the root's attributes changed once more.
/// Nothing found inside a folder that is no longer the root's is reported. A file root is watched through its
/// folder, which is not followed.
class FolderChangeSource : public QObject
{
public:
    using ChangeSink = std::function<void(const FolderChange& change)>;
    /// Whether a folder below a recursive watch's root (its full path) is watched, with what is below it.
    using FolderFilter = std::function<bool(const QString& path)>;

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
    /// (through its folder, reporting that name only). False when the root cannot be watched; a folder that
    /// may not be read yet is watched for when it may.
    bool arm(const QString& root, bool recursive);
    /// Ends the watch and drops what was collected and not yet reported.
    void disarm();
    bool isArmed() const { return m_armed; }
    /// -1 when inotify gave no descriptor.
    int descriptor() const { return m_fd; }
    /// Every folder by default. Taken by the next arm and by folders found after it.
    void setFolderFilter(FolderFilter filter) { m_filter = std::move(filter); }
    /// Called once an arm, after the arm or the changes that reached it, when the system's limit on watches
    /// (max_user_watches) kept a folder from being watched; the other folders are still watched.
    void setLimitHandler(std::function<void()> handler) { m_limitHandler = std::move(handler); }

private:
    /// What the root's path names.
    enum class RootState
    {
        Watched, // a folder that may be read, watched with what is below it
        Missing, // nothing, or something that is no folder
        Denied, // a folder on the way, or the root folder itself, may not be searched or read
    };

    /// A file's identity while it exists, whatever its path.
    struct FileId
    {
        dev_t device = 0;
        ino_t inode = 0;
        friend bool operator==(const FileId&, const FileId&) = default;
    };

    /// A folder the root's path goes through, and the names looked up in it on the way (more than one only when
    /// a symbolic link leads back into it).
    struct PathWatch
    {
        FileId folder;
        QSet<QString> names;
    };

    struct Batch
    {
        QList<QString> names; // relative to the root, in the order first touched
        QSet<QString> touched;
        QList<std::pair<QString, QString>> moves; // renames paired by cookie: from, to
        bool overflow = false;
        /// The root folder itself moved or was deleted.
        bool rootGone = false;
        /// Something changed on the root's path, or in the root folder's own attributes.
        bool pathChanged = false;
    };

    void readEvents();
    void handleEvent(int wd, quint32 mask, quint32 cookie, const QString& name);
    void touch(const QString& relative);
    void flush();
    QList<FolderChange> classify(Batch batch);

    /// Looks the root's path up again and moves to the state found, adding the root's own changes. True when
    /// the same folder is watched as before, so that what the batch found inside it stands.
    bool followRoot(bool rootGone, QList<FolderChange>& changes);
    /// Looks the root's path up one name at a time, as the system does, watching each folder before looking
    /// in it, so that a change made in between is not missed. Ends the watches of folders no longer on it.
    RootState lookUpPath(FileId& found);
    /// Adds a watch (or a role to one) on folder; -1 when the system refuses.
    int addWatch(const QString& folder, quint32 mask);
    /// Ends the watch unless it still serves the root's path or the folders below the root.
    void releaseWatch(int wd);

    /// Adds a watch on the folder relative (below the root) and makes its entries known; for a recursive
    /// watch also every folder below it. Entries not known before are appended to created, if given.
    void watchFolder(const QString& relative, QList<std::pair<QString, bool>>* created);
    void forgetBelow(const QString& relative);
    /// Ends every watch of the root and below, and forgets what they knew.
    void forgetRoot();
    void renameBelow(const QString& from, const QString& to);
    QString fullPath(const QString& relative) const;
    ShellItem item(const QString& relative) const;

    /// A folder below a recursive root is watched: the filter lets it.
    bool wantsFolder(const QString& relative) const;
    /// Tells the limit handler of a limit reached since the arm, once.
    void tellLimit();

    ChangeSink m_sink;
    FolderFilter m_filter;
    std::function<void()> m_limitHandler;
    /// A watch was refused for the limit since the arm; told: the handler knows.
    bool m_limitReached = false;
    bool m_limitTold = false;
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
    RootState m_rootState = RootState::Missing;
    /// The folder last watched at the root's path.
    FileId m_rootId;
    QHash<int, PathWatch> m_pathWatches; // descriptor of a watch -> a folder the root's path goes through
    QHash<int, QString> m_watches; // descriptor of a watch -> its folder relative to the root ("" the root)
    QHash<QString, bool> m_known; // relative name -> is a folder
    Batch m_batch;
    QHash<quint32, QString> m_movedFrom; // cookie -> name moved away, awaiting its other half
};

#endif // QUILLMARK_SHELL_FOLDERCHANGESOURCE_H
