#include "report/PoFilesBelow.h"

#include <QElapsedTimer>

#include <cstring>
#include <memory>

#include <fts.h>

namespace {

bool hasPoSuffix(const char* name)
{
    const std::size_t length = std::strlen(name);
    return length >= 3 && name[length - 3] == '.' && (name[length - 2] | 0x20) == 'p'
        && (name[length - 1] | 0x20) == 'o';
}

} // namespace

PoFilesBelow countPoFilesBelow(const QByteArray& folder, int entryLimit, std::chrono::milliseconds timeLimit)
{
    PoFilesBelow below;
    QByteArray root = folder;
    char* roots[] = {root.data(), nullptr};
    // Physical: a link to a folder is an entry, not a way down, so no loop of links can keep the count going.
    // No stat: the listings' entry types tell folders from files, so the tree costs its listings only.
    const std::unique_ptr<FTS, int (*)(FTS*)> tree(::fts_open(roots, FTS_PHYSICAL | FTS_NOSTAT | FTS_NOCHDIR, nullptr),
                                                   ::fts_close);
    if (!tree)
        return below;
    QElapsedTimer clock;
    clock.start();
    int entries = 0;
    while (FTSENT* entry = ::fts_read(tree.get())) {
        if (++entries > entryLimit || clock.elapsed() > timeLimit.count()) {
            below.Partial = true;
            break;
        }
        switch (entry->fts_info) {
        case FTS_D:
            if (entry->fts_level > 0 && entry->fts_name[0] == '.')
                ::fts_set(tree.get(), entry, FTS_SKIP);
            break;
        case FTS_DP:
        case FTS_DNR:
        case FTS_DC:
            break;
        default:
            if (entry->fts_level >= 2 && hasPoSuffix(entry->fts_name))
                ++below.Count;
        }
    }
    return below;
}

QString noPoFileMessage(const QString& shownFolder, const PoFilesBelow& below)
{
    QString message = QStringLiteral("no PO file in '%1'").arg(shownFolder);
    if (below.Count > 0) {
        message += QStringLiteral("; %1%2 %3 in its subfolders")
                       .arg(below.Partial ? QStringLiteral("at least ") : QString())
                       .arg(below.Count)
                       .arg(below.Count == 1 ? QStringLiteral("lies") : QStringLiteral("lie"));
    }
    return message;
}
