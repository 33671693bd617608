#include "catalog/PoTree.h"

#include "runner/LocalPath.h"

#include <QDir>
#include <QProcess>

#include <cerrno>
#include <cstring>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

struct FolderId
{
    dev_t Device;
    ino_t Inode;
    friend bool operator==(const FolderId&, const FolderId&) = default;
};

size_t qHash(const FolderId& id, size_t seed = 0)
{
    return qHashMulti(seed, quint64(id.Device), quint64(id.Inode));
}

/// Whether a ".git" (a folder, or the file of a linked work tree) stands in folder or a folder above it. Only
/// then is git asked: a read outside any work tree starts no process.
bool belowGitMarker(const QString& folder)
{
    QByteArray path = encodeLocalPath(folder);
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    for (;;) {
        struct stat info
        {
        };
        if (::lstat((path + "/.git").constData(), &info) == 0)
            return true;
        const qsizetype slash = path.lastIndexOf('/');
        if (slash <= 0)
            return slash == 0 && path.size() > 1 && ::lstat("/.git", &info) == 0;
        path.truncate(slash);
    }
}

} // namespace

bool hasPoSuffix(QByteArrayView name)
{
    const qsizetype length = name.size();
    return length >= 3 && name[length - 3] == '.' && (name[length - 2] | 0x20) == 'p' && (name[length - 1] | 0x20) == 'o';
}

QSet<QByteArray> gitIgnoredBelow(const QString& folder)
{
    QSet<QByteArray> ignored;
    if (!belowGitMarker(QDir(folder).absolutePath()))
        return ignored;
    QProcess git;
    git.setWorkingDirectory(folder);
    // Git's own rules (.gitignore at every level, info/exclude, the user's excludes file) decide; whole
    // ignored folders come as one entry, so that a large build tree costs one line.
    git.start(QStringLiteral("git"),
              {QStringLiteral("ls-files"), QStringLiteral("-z"), QStringLiteral("--others"), QStringLiteral("--ignored"),
               QStringLiteral("--exclude-standard"), QStringLiteral("--directory")});
    git.closeWriteChannel();
    if (!git.waitForStarted() || !git.waitForFinished(-1) || git.exitStatus() != QProcess::NormalExit
        || git.exitCode() != 0)
        return ignored; // no git, or not a work tree: the whole tree is walked
    const QByteArray output = git.readAllStandardOutput();
    for (const QByteArray& path : output.split('\0'))
        if (!path.isEmpty())
            ignored.insert(path);
    return ignored;
}

bool isSkippedPath(const QByteArray& relative, const QSet<QByteArray>& ignored)
{
    if (ignored.contains(relative))
        return true;
    qsizetype start = 0;
    for (qsizetype slash = relative.indexOf('/'); slash >= 0; slash = relative.indexOf('/', slash + 1)) {
        if (relative.at(start) == '.' || ignored.contains(relative.left(slash + 1)))
            return true;
        start = slash + 1;
    }
    return false;
}

PoTree walkPoTree(const QString& folder, int maxFolders, bool* truncated, const QSet<QByteArray>* ignored)
{
    PoTree tree;
    tree.Ignored = ignored ? *ignored : gitIgnoredBelow(folder);
    if (truncated)
        *truncated = false;
    const QByteArray root = encodeLocalPath(folder);
    QSet<FolderId> visited;
    QList<QByteArray> pending{QByteArray()};
    int walked = 0;
    while (!pending.isEmpty()) {
        if (maxFolders > 0 && walked >= maxFolders) {
            if (truncated)
                *truncated = true;
            break;
        }
        ++walked;
        const QByteArray relative = pending.takeLast();
        std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir((root + relative).constData()), ::closedir);
        if (!dir) {
            // Gone since its parent was listed: nothing is lost. The walked folder's own problems are the
            // caller's.
            if (!relative.isEmpty() && errno != ENOENT && errno != ENOTDIR)
                tree.Unreadable.insert(relative, QString::fromLocal8Bit(std::strerror(errno)));
            continue;
        }
        struct stat info
        {
        };
        // A folder mounted inside itself would otherwise be walked for ever.
        if (::fstat(::dirfd(dir.get()), &info) == 0) {
            const FolderId id{info.st_dev, info.st_ino};
            if (visited.contains(id))
                continue;
            visited.insert(id);
        }
        while (const dirent* entry = ::readdir(dir.get())) {
            const char* name = entry->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
                continue;
            unsigned char type = entry->d_type;
            if (type == DT_UNKNOWN) {
                struct stat status
                {
                };
                if (::fstatat(::dirfd(dir.get()), name, &status, AT_SYMLINK_NOFOLLOW) == 0)
                    type = S_ISDIR(status.st_mode) ? DT_DIR : DT_REG;
            }
            const bool po = hasPoSuffix(QByteArrayView(name));
            const bool walked = type == DT_DIR && name[0] != '.';
            // Most entries of a large tree are neither: they cost no path.
            if (!po && !walked)
                continue;
            const QByteArray path = relative + name;
            if (po && !tree.Ignored.contains(path))
                tree.Names.append(path);
            if (walked && !tree.Ignored.contains(path + '/'))
                pending.append(path + '/');
        }
    }
    return tree;
}
