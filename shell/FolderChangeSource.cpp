#include "shell/FolderChangeSource.h"

#include "runner/LocalPath.h"
#include "shell/ShellNotify.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Not IN_MODIFY: an in-place write ends with IN_CLOSE_WRITE anyway, and the names are only looked at once
// the folder is quiet.
constexpr quint32 WatchedEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_ATTRIB
    | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// A folder on the root's path changes what the path names when the name looked up in it comes (IN_CREATE, or
// IN_MOVED_TO, as `ln -sfn` replaces a link by renaming a new one over it), goes, or gets other permissions
// (IN_ATTRIB, reported both on the entry in its folder and on the folder itself).
constexpr quint32 PathEvents = IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_ATTRIB | IN_DELETE_SELF
    | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW;
// As the system allows, so that a loop of links ends a lookup the way it ends the system's.
constexpr int MaxLinksFollowed = 40;

/// Whether an entry exists (not following a symbolic link) and is a folder; none when it does not exist.
std::optional<bool> entryIsFolder(const QString& path)
{
    struct stat status;
    if (::lstat(encodeLocalPath(path).constData(), &status) != 0)
        return std::nullopt;
    return S_ISDIR(status.st_mode);
}

bool entryExists(const QString& path)
{
    return entryIsFolder(path).has_value();
}

/// The entries of a folder with whether each is a folder (symbolic links are items, never folders).
QList<std::pair<QString, bool>> listEntries(const QString& folder)
{
    QList<std::pair<QString, bool>> entries;
    DIR* dir = ::opendir(encodeLocalPath(folder).constData());
    if (!dir)
        return entries;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        const QString name = decodeLocalPath(QByteArray(entry->d_name));
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN)
            isFolder = entryIsFolder(folder + u'/' + name).value_or(false);
        entries.append({name, isFolder});
    }
    ::closedir(dir);
    return entries;
}

/// The target of a symbolic link as stored; empty when it cannot be read.
QByteArray linkTarget(const QString& path)
{
    const QByteArray encoded = encodeLocalPath(path);
    QByteArray target(256, Qt::Uninitialized);
    for (;;) {
        const ssize_t length = ::readlink(encoded.constData(), target.data(), size_t(target.size()));
        if (length < 0)
            return {};
        if (length < target.size()) {
            target.truncate(length);
            return target;
        }
        target.resize(target.size() * 2);
    }
}

QString childPath(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

QString parentPath(const QString& folder)
{
    const qsizetype slash = folder.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : folder.left(slash);
}

bool isAtOrBelow(const QString& path, const QString& folder)
{
    return path == folder || (path.size() > folder.size() && path.startsWith(folder) && path.at(folder.size()) == u'/');
}

FolderChange change(TShellNotifyEventType kind, ShellItem item)
{
    FolderChange result;
    result.Word = shellNotifyEventMask(kind);
    result.Item1 = std::move(item);
    return result;
}

} // namespace

FolderChangeSource::FolderChangeSource(ChangeSink sink, QObject* parent)
    : QObject(parent)
    , m_sink(std::move(sink))
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(QuietMilliseconds);
    connect(&m_quiet, &QTimer::timeout, this, &FolderChangeSource::flush);

    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &FolderChangeSource::readEvents);
    }
}

FolderChangeSource::~FolderChangeSource()
{
    disarm();
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FolderChangeSource::arm(const QString& root, bool recursive)
{
    disarm();
    struct stat status;
    // A NUL would end the path early for the system, which would then watch another folder.
    if (m_fd < 0 || root.isEmpty() || root.contains(QChar(0))
        || ::stat(encodeLocalPath(root).constData(), &status) != 0)
        return false;
    const QFileInfo info(root);
    if (S_ISDIR(status.st_mode)) {
        m_rootPath = QDir::cleanPath(info.absoluteFilePath());
        m_recursive = recursive;
        // A folder that may not be read yet is watched for when it may.
        m_rootState = lookUpPath(m_rootId);
        if (m_rootState == RootState::Watched)
            watchFolder(QString(), nullptr);
        if (m_rootState == RootState::Missing || (m_rootState == RootState::Watched && m_rootWd < 0)) {
            disarm();
            return false;
        }
    } else {
        // A file is watched through its folder, so that a save that replaces it keeps being seen.
        m_rootPath = QDir::cleanPath(info.absolutePath());
        m_onlyName = info.fileName();
        m_recursive = false;
        watchFolder(QString(), nullptr);
        if (m_rootWd < 0) {
            disarm();
            return false;
        }
        m_rootState = RootState::Watched;
    }
    m_armed = true;
    tellLimit();
    return true;
}

bool FolderChangeSource::wantsFolder(const QString& relative) const
{
    return !m_filter || m_filter(fullPath(relative));
}

void FolderChangeSource::tellLimit()
{
    if (!m_limitReached || m_limitTold || !m_limitHandler)
        return;
    m_limitTold = true;
    const std::function<void()> handler = m_limitHandler;
    handler();
}

void FolderChangeSource::disarm()
{
    forgetRoot();
    const QList<int> pathWatches = m_pathWatches.keys();
    m_pathWatches.clear();
    for (const int wd : pathWatches)
        releaseWatch(wd);
    m_rootState = RootState::Missing;
    m_rootId = FileId();
    m_batch = Batch();
    m_movedFrom.clear();
    m_quiet.stop();
    m_rootPath.clear();
    m_onlyName.clear();
    m_recursive = false;
    m_armed = false;
    m_limitReached = false;
    m_limitTold = false;
    ++m_generation;
}

void FolderChangeSource::readEvents()
{
    alignas(inotify_event) char buffer[64 * 1024];
    bool any = false;
    for (;;) {
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0)
            break; // EAGAIN: read to the end
        for (ssize_t offset = 0; offset + ssize_t(sizeof(inotify_event)) <= length;) {
            inotify_event event;
            std::memcpy(&event, buffer + offset, sizeof event);
            const char* name = buffer + offset + sizeof event;
            offset += ssize_t(sizeof event) + event.len;
            handleEvent(event.wd, event.mask, event.cookie,
                        event.len > 0 ? decodeLocalPath(QByteArray(name, qstrnlen(name, event.len))) : QString());
            any = true;
        }
    }
    if (!any || (m_batch.names.isEmpty() && !m_batch.overflow && !m_batch.rootGone && !m_batch.pathChanged))
        return;
    // Restarted by every event, so that nothing is looked at before the folder is quiet; but not past the
    // longest delay, so that steady writes elsewhere in the folder do not hold a save back for ever.
    if (!m_quiet.isActive())
        m_batchAge.start();
    if (m_batchAge.elapsed() < MaxDelayMilliseconds)
        m_quiet.start();
}

void FolderChangeSource::handleEvent(int wd, quint32 mask, quint32 cookie, const QString& name)
{
    if (!m_armed)
        return;
    if (mask & IN_Q_OVERFLOW) {
        // What was lost may as well have been a change on the root's path.
        m_batch.overflow = true;
        m_batch.pathChanged = true;
        return;
    }
    // A folder may be on the root's path and below the root at once (a link that leads back): it serves both.
    if (const auto path = m_pathWatches.constFind(wd); path != m_pathWatches.cend()) {
        // Without a name the event is about the folder itself: it went, or its permissions changed.
        if (name.isEmpty() || path->names.contains(name))
            m_batch.pathChanged = true;
        if (mask & IN_IGNORED)
            m_pathWatches.remove(wd);
    }
    const auto watch = m_watches.constFind(wd);
    if (watch == m_watches.cend())
        return; // a watch ended before, or one of an earlier arm
    const QString folder = *watch;
    if (mask & IN_IGNORED) {
        m_watches.remove(wd);
        if (wd == m_rootWd) {
            m_rootWd = -1;
            m_batch.pathChanged = true;
        }
        return;
    }
    if (name.isEmpty()) {
        // The watched folder itself; for a folder below the root, its parent's watch reports the entry.
        if (wd == m_rootWd && (mask & (IN_DELETE_SELF | IN_MOVE_SELF)))
            m_batch.rootGone = true;
        // Its permissions may have changed: whether it may still be read is looked at again.
        if (wd == m_rootWd && (mask & IN_ATTRIB))
            m_batch.pathChanged = true;
        return;
    }
    if (!m_onlyName.isEmpty() && name != m_onlyName)
        return;
    const QString relative = folder.isEmpty() ? name : folder + u'/' + name;
    touch(relative);
    if (mask & IN_MOVED_FROM)
        m_movedFrom.insert(cookie, relative);
    if (mask & IN_MOVED_TO) {
        const QString from = m_movedFrom.take(cookie);
        if (!from.isEmpty())
            m_batch.moves.append({from, relative});
    }
}

void FolderChangeSource::touch(const QString& relative)
{
    if (!m_batch.touched.contains(relative)) {
        m_batch.touched.insert(relative);
        m_batch.names.append(relative);
    }
}

void FolderChangeSource::flush()
{
    Batch batch = std::exchange(m_batch, Batch());
    m_movedFrom.clear();
    if (!m_armed)
        return;
    const QList<FolderChange> changes = classify(std::move(batch));
    const quint64 armed = m_generation;
    tellLimit();
    if (m_generation != armed)
        return;

    // A handler may re-point the watch or delete its owner: stop when it did.
    const ChangeSink sink = m_sink;
    const QPointer<FolderChangeSource> alive(this);
    const quint64 generation = m_generation;
    for (const FolderChange& found : changes) {
        sink(found);
        if (!alive || m_generation != generation)
            return;
    }
}

QList<FolderChange> FolderChangeSource::classify(Batch batch)
{
    QList<FolderChange> changes;
    // What happened inside a folder that is no longer the root's is stale: the root is looked at afresh.
    if (m_onlyName.isEmpty() && (batch.rootGone || batch.pathChanged) && !followRoot(batch.rootGone, changes))
        return changes;

    if (batch.overflow) {
        // Events were lost: any known name may have changed, and names may have come that we never saw.
        QStringList everything = m_known.keys();
        for (const QString& folder : m_watches)
            for (const auto& [name, isFolder] : listEntries(fullPath(folder)))
                if (m_onlyName.isEmpty() || name == m_onlyName)
                    everything.append(folder.isEmpty() ? name : folder + u'/' + name);
        std::sort(everything.begin(), everything.end());
        for (const QString& name : everything)
            if (!batch.touched.contains(name)) {
                batch.touched.insert(name);
                batch.names.append(name);
            }
    }

    // A known name that went away under a new name that is there now, and was not known before.
    QHash<QString, QString> renames;
    QSet<QString> renamedTo;
    for (const auto& [from, to] : batch.moves) {
        if (from == to || renames.contains(from) || renamedTo.contains(to))
            continue;
        if (m_known.contains(from) && !m_known.contains(to) && !entryExists(fullPath(from))
            && entryExists(fullPath(to))) {
            renames.insert(from, to);
            renamedTo.insert(to);
        }
    }

    QSet<QString> done = renamedTo;
    for (const QString& name : std::as_const(batch.names)) {
        if (done.contains(name))
            continue;
        done.insert(name);

        if (const auto rename = renames.constFind(name); rename != renames.cend()) {
            const QString& to = *rename;
            const bool wasFolder = m_known.take(name);
            const bool isFolder = entryIsFolder(fullPath(to)).value_or(wasFolder);
            m_known.insert(to, isFolder);
            if (wasFolder)
                renameBelow(name, to);
            FolderChange renamed = change(isFolder ? snFolderRenamed : snItemRenamed, item(name));
            renamed.Item2 = item(to);
            changes.append(std::move(renamed));
            continue;
        }

        const std::optional<bool> isFolder = entryIsFolder(fullPath(name));
        const auto known = m_known.constFind(name);
        if (known != m_known.cend()) {
            const bool wasFolder = *known;
            if (!isFolder) {
                m_known.remove(name);
                if (wasFolder)
                    forgetBelow(name);
                changes.append(change(wasFolder ? snFolderDeleted : snItemDeleted, item(name)));
                continue;
            }
            m_known.insert(name, *isFolder);
            if (wasFolder && !*isFolder)
                forgetBelow(name);
            changes.append(change(*isFolder ? snFolderUpdated : snItemUpdated, item(name)));
        } else if (isFolder) {
            m_known.insert(name, *isFolder);
            changes.append(change(*isFolder ? snFolderCreated : snItemCreated, item(name)));
        } else {
            continue; // came and went within the batch: a temporary file
        }

        // A folder that is there now and not watched (new, or made again under a known name) in a
        // recursive watch: watch it, and report what it already holds.
        if (m_recursive && *isFolder && !m_watches.values().contains(name) && wantsFolder(name)) {
            QList<std::pair<QString, bool>> inside;
            watchFolder(name, &inside);
            for (const auto& [relative, insideIsFolder] : inside) {
                done.insert(relative);
                changes.append(change(insideIsFolder ? snFolderCreated : snItemCreated, item(relative)));
            }
        }
    }

    return changes;
}

bool FolderChangeSource::followRoot(bool rootGone, QList<FolderChange>& changes)
{
    FileId found;
    RootState state = lookUpPath(found);
    const RootState before = m_rootState;
    if (state == RootState::Watched && before == RootState::Watched && found == m_rootId && !rootGone && m_rootWd >= 0)
        return true;

    // The folder watched so far is elsewhere now, gone, or may not be read: what its watches would report
    // is not the root's.
    forgetRoot();
    if (state == RootState::Watched) {
        watchFolder(QString(), nullptr);
        // Changed again since the lookup, and that change is on its way; or no watches left.
        if (m_rootWd < 0)
            state = errno == EACCES ? RootState::Denied : RootState::Missing;
    }

    const ShellItem root = item(QString());
    switch (state) {
    case RootState::Missing:
        if (before != RootState::Missing)
            changes.append(change(snFolderDeleted, root));
        break;
    case RootState::Denied:
        if (before != RootState::Denied)
            changes.append(change(snAttributesChanged, root));
        break;
    case RootState::Watched:
        // Its own watch saw the folder go: said so, even when it or another is back at the path by now.
        if (before == RootState::Watched && rootGone)
            changes.append(change(snFolderDeleted, root));
        // The folder that could not be read before may be read now; any other folder at the path is new.
        changes.append(
            change(before == RootState::Denied && found == m_rootId ? snAttributesChanged : snFolderCreated, root));
        m_rootId = found;
        break;
    }
    m_rootState = state;
    return false;
}

FolderChangeSource::RootState FolderChangeSource::lookUpPath(FileId& found)
{
    QHash<int, PathWatch> watches;
    const auto watchOnTheWay = [&](const QString& folder, const QString& name) {
        struct stat status;
        const bool known = ::stat(encodeLocalPath(folder).constData(), &status) == 0;
        const FileId id = known ? FileId{status.st_dev, status.st_ino} : FileId();
        int wd = addWatch(folder, PathEvents);
        // A folder may be searched without being read, and then the system will not watch it. One that was
        // watched before it lost its permissions is still watched, and tells when it gets them back.
        for (auto it = m_pathWatches.cbegin(); known && wd < 0 && it != m_pathWatches.cend(); ++it)
            if (it->folder == id)
                wd = it.key();
        if (wd >= 0) {
            watches[wd].folder = id;
            watches[wd].names.insert(name);
        }
    };

    RootState state = RootState::Watched;
    QString folder = QStringLiteral("/"); // where the lookup has come, never through a link
    QStringList names = m_rootPath.split(u'/', Qt::SkipEmptyParts);
    int links = 0;
    while (state == RootState::Watched && !names.isEmpty()) {
        const QString name = names.takeFirst();
        // Only a link's target brings these: the folder reached is a real one, so its parent is the path's.
        if (name == QLatin1String("."))
            continue;
        if (name == QLatin1String("..")) {
            folder = parentPath(folder);
            continue;
        }
        // Watched before it is looked in, so that a change made in between is reported.
        watchOnTheWay(folder, name);
        const QString path = childPath(folder, name);
        struct stat status;
        if (::lstat(encodeLocalPath(path).constData(), &status) != 0) {
            state = errno == EACCES ? RootState::Denied : RootState::Missing;
        } else if (S_ISLNK(status.st_mode)) {
            // The link's own entry stays watched in its folder: re-pointing it replaces that entry.
            const QByteArray target = linkTarget(path);
            if (target.isEmpty() || ++links > MaxLinksFollowed) {
                state = RootState::Missing;
                continue;
            }
            names = decodeLocalPath(target).split(u'/', Qt::SkipEmptyParts) + names;
            if (target.startsWith('/'))
                folder = QStringLiteral("/");
        } else if (!S_ISDIR(status.st_mode)) {
            state = RootState::Missing;
        } else {
            folder = path;
        }
    }
    if (state == RootState::Watched) {
        struct stat status;
        const QByteArray encoded = encodeLocalPath(folder);
        // Its entries are listed, and its files opened by their names in it.
        if (::stat(encoded.constData(), &status) != 0 || ::access(encoded.constData(), R_OK | X_OK) != 0)
            state = errno == EACCES ? RootState::Denied : RootState::Missing;
        else
            found = {status.st_dev, status.st_ino};
    }

    const QHash<int, PathWatch> before = std::exchange(m_pathWatches, watches);
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        releaseWatch(it.key());
    return state;
}

int FolderChangeSource::addWatch(const QString& folder, quint32 mask)
{
    // Added to what the watch had: a folder on the root's path may be watched below the root as well.
    return ::inotify_add_watch(m_fd, encodeLocalPath(folder).constData(), mask | IN_MASK_ADD);
}

void FolderChangeSource::releaseWatch(int wd)
{
    if (!m_pathWatches.contains(wd) && !m_watches.contains(wd))
        ::inotify_rm_watch(m_fd, wd);
}

void FolderChangeSource::forgetRoot()
{
    const QList<int> watches = m_watches.keys();
    m_watches.clear();
    m_known.clear();
    m_rootWd = -1;
    for (const int wd : watches)
        releaseWatch(wd);
}

void FolderChangeSource::watchFolder(const QString& relative, QList<std::pair<QString, bool>>* created)
{
    const QString folder = fullPath(relative);
    // Folders below the root are entries seen without following links; the root is followed.
    const quint32 mask = relative.isEmpty() ? WatchedEvents : WatchedEvents | IN_DONT_FOLLOW;
    const int wd = addWatch(folder, mask);
    if (wd < 0) {
        // Out of watches, or gone: the rest of the tree is still watched.
        if (errno == ENOSPC)
            m_limitReached = true;
        return;
    }
    m_watches.insert(wd, relative);
    if (relative.isEmpty())
        m_rootWd = wd;

    // Listed after the watch is in place, so that nothing created in between goes unseen.
    for (const auto& [name, isFolder] : listEntries(folder)) {
        if (!m_onlyName.isEmpty() && name != m_onlyName)
            continue;
        const QString entry = relative.isEmpty() ? name : relative + u'/' + name;
        if (!m_known.contains(entry)) {
            m_known.insert(entry, isFolder);
            if (created)
                created->append({entry, isFolder});
        }
        if (isFolder && m_recursive && wantsFolder(entry))
            watchFolder(entry, created);
    }
}

void FolderChangeSource::forgetBelow(const QString& relative)
{
    for (auto it = m_known.begin(); it != m_known.end();)
        it = isAtOrBelow(it.key(), relative) && it.key() != relative ? m_known.erase(it) : std::next(it);
    // A folder moved out of the tree keeps its watches; they must not report under the old names.
    QList<int> released;
    for (auto it = m_watches.begin(); it != m_watches.end();) {
        if (isAtOrBelow(*it, relative)) {
            released.append(it.key());
            it = m_watches.erase(it);
        } else {
            ++it;
        }
    }
    for (const int wd : released)
        releaseWatch(wd);
}

void FolderChangeSource::renameBelow(const QString& from, const QString& to)
{
    QHash<QString, bool> moved;
    for (auto it = m_known.begin(); it != m_known.end();) {
        if (it.key() != from && isAtOrBelow(it.key(), from)) {
            moved.insert(to + it.key().mid(from.size()), *it);
            it = m_known.erase(it);
        } else {
            ++it;
        }
    }
    m_known.insert(moved);
    for (QString& folder : m_watches)
        if (isAtOrBelow(folder, from))
            folder = to + folder.mid(from.size());
}

QString FolderChangeSource::fullPath(const QString& relative) const
{
    if (relative.isEmpty())
        return m_rootPath;
    return m_rootPath.endsWith(u'/') ? m_rootPath + relative : m_rootPath + u'/' + relative;
}

ShellItem FolderChangeSource::item(const QString& relative) const
{
    return ShellItem::fromPath(fullPath(relative));
}
