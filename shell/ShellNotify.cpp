#include "shell/ShellNotify.h"

#include "runner/LocalPath.h"
#include "shell/FolderChangeSource.h"
#include "shell/KnownFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QtDebug>

#include <sys/stat.h>

namespace {

/// Ids of registrations are never 0, which means none.
quint32 nextRegistrationId()
{
    static quint32 last = 0;
    if (++last == 0)
        ++last;
    return last;
}

void warnAbout(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        qWarning("A folder change handler failed: %s", e.what());
    } catch (...) {
        qWarning("A folder change handler failed");
    }
}

/// Calls the handler in slot, if any; false when the call destroyed the watcher.
template <typename Handler, typename... Args>
bool raise(const QPointer<TShellNotify>& alive, const Handler& slot, const Args&... args)
{
    if (slot) {
        const Handler handler = slot; // the handler may assign its own slot while it runs
        handler(args...);
    }
    return !alive.isNull();
}

} // namespace

TShellNotify::TShellNotify(QObject* owner)
    : TShellComponent(owner)
    , FSource(std::make_unique<FolderChangeSource>([this](const FolderChange& change) { Deliver(change); }))
{
    try {
        setRootFolder(QStringLiteral("sfDesktop"));
    } catch (const EInvalidPath&) {
        // Not even a home folder: keep the name; a registration will then fail, as for any missing root.
        FRootFolder = QStringLiteral("sfDesktop");
    }
    FSource->setLimitHandler([this] {
        if (OnWatchLimit)
            OnWatchLimit(this);
    });
}

void TShellNotify::setFolderFilter(std::function<bool(const QString& path)> filter)
{
    FSource->setFolderFilter(std::move(filter));
}

QString watchLimitMessage()
{
    return QStringLiteral("Not every folder is watched: the system's limit on watched folders was reached "
                          "(/proc/sys/fs/inotify/max_user_watches)");
}

TShellNotify::~TShellNotify()
{
    DeregisterNotify();
}

void TShellNotify::setEnabled(bool value)
{
    if (value == FEnabled)
        return;
    if (value)
        FEnabled = RegisterNotify();
    else
        DeregisterNotify();
}

void TShellNotify::setWatchChildren(bool value)
{
    if (value == FWatchChildren)
        return;
    FWatchChildren = value;
    Reregister();
}

void TShellNotify::setHandledEvents(TShellNotifyEventTypes value)
{
    if (value == FHandledEvents)
        return;
    FHandledEvents = value;
    Reregister();
}

void TShellNotify::setInterruptOptions(TShellInterruptOptions value)
{
    if (value == FInterruptOptions)
        return;
    FInterruptOptions = value;
    Reregister();
}

void TShellNotify::setRootFolder(const QString& value)
{
    // Special-folder names are one name in any letter case; paths are not, on a file system that tells
    // /x/po from /x/PO, and taking them as equal would leave the watch on the wrong folder.
    const bool sameName = isSpecialFolderName(value) && isSpecialFolderName(FRootFolder)
        ? value.compare(FRootFolder, Qt::CaseInsensitive) == 0
        : value == FRootFolder;
    if (sameName)
        return;

    QString resolved;
    if (isSpecialFolderName(value)) {
        resolved = resolveSpecialFolder(value);
    } else if (!value.isEmpty() && !value.contains(QChar(0))) {
        // By the bytes of its name, which need not be text in any encoding; a NUL would end it early.
        struct stat status;
        if (::stat(encodeLocalPath(value).constData(), &status) == 0)
            resolved = QDir::cleanPath(QFileInfo(value).absoluteFilePath());
    }
    if (resolved.isEmpty())
        throw EInvalidPath::settingPath(value);

    FRootFolder = value;
    FRootItem = ShellItem::fromPath(resolved);
    Reregister();
}

int TShellNotify::NotifyDescriptor() const
{
    return FSource->descriptor();
}

bool TShellNotify::RegisterNotify()
{
    quint32 sourceFlags = ShellSourceHandOver;
    if (FInterruptOptions.contains(ioAcceptInterrupts))
        sourceFlags |= ShellSourceInterruptLevel;
    if (FInterruptOptions.contains(ioAcceptNonInterrupts))
        sourceFlags |= ShellSourceShellLevel;

    // Every change inotify reports comes from the file system, so without interrupt-level notifications
    // nothing would arrive: no watch is made then.
    bool registered = !FRootItem.isEmpty();
    if (registered && (sourceFlags & ShellSourceInterruptLevel))
        registered = FSource->arm(FRootItem.ParsingName, FWatchChildren);
    if (!registered) {
        FRegistration = ShellRegistration();
        FEnabled = false;
        return false;
    }
    FRegistration.Id = nextRegistrationId();
    FRegistration.SourceFlags = sourceFlags;
    FRegistration.EventMask = shellNotifyEventMask(FHandledEvents);
    FRegistration.Recursive = FWatchChildren;
    FRegistration.Root = FRootItem.ParsingName;
    return true;
}

void TShellNotify::DeregisterNotify()
{
    FSource->disarm();
    FRegistration = ShellRegistration();
    FEnabled = false;
}

void TShellNotify::Reregister()
{
    if (!FEnabled)
        return;
    DeregisterNotify();
    FEnabled = RegisterNotify();
}

void TShellNotify::Deliver(const FolderChange& change)
{
    if (FRegistration.Id == 0 || !(FRegistration.SourceFlags & ShellSourceInterruptLevel))
        return;
    if (!(change.Word & FRegistration.EventMask & ~ShellNotifyInterrupt))
        return;

    // This runs from the event loop, which an error must not cross.
    const QPointer<TShellNotify> alive(this);
    const ErrorHandler onError = m_errorHandler;
    try {
        Dispatch(change.Word | ShellNotifyInterrupt, &change.Item1, change.Item2 ? &*change.Item2 : nullptr);
    } catch (...) {
        if (!onError) {
            warnAbout(std::current_exception());
            return;
        }
        try {
            onError(alive.data(), std::current_exception());
        } catch (...) {
            warnAbout(std::current_exception());
        }
    }
}

void TShellNotify::Dispatch(quint32 Word, PShellItem PIDL1, PShellItem PIDL2)
{
    const QString Path1 = shellItemPath(PIDL1);
    const QString Path2 = shellItemPath(PIDL2);
    const bool IsInterrupt = (Word & ShellNotifyInterrupt) != 0;
    const QPointer<TShellNotify> alive(this);

    for (int ordinal = snAssociationChanged; ordinal <= snServerDisconnected; ++ordinal) {
        const auto kind = static_cast<TShellNotifyEventType>(ordinal);
        const quint32 mask = shellNotifyEventMask(kind);
        if (!(mask & Word))
            continue;

        if (!raise(alive, OnAnyEvent, this, kind, PIDL1, PIDL2, IsInterrupt))
            return;
        if ((mask & shellNotifyEventMask(snGlobalEvent))
            && !raise(alive, OnGlobalEvent, this, kind, PIDL1, PIDL2, IsInterrupt))
            return;
        if ((mask & shellNotifyEventMask(snDiskEvent))
            && !raise(alive, OnDiskEvent, this, kind, PIDL1, PIDL2, IsInterrupt))
            return;

        bool stillAlive = true;
        switch (kind) {
        case snAssociationChanged:
            stillAlive = raise(alive, OnAssociationChanged, this, IsInterrupt);
            break;
        case snItemRenamed:
            stillAlive = raise(alive, OnItemRenamed, this, PIDL1, Path1, PIDL2, Path2, IsInterrupt);
            break;
        case snFolderRenamed:
            stillAlive = raise(alive, OnFolderRenamed, this, PIDL1, Path1, PIDL2, Path2, IsInterrupt);
            break;
        case snImageUpdated: {
            // An item without the four bytes of an index stands for every image.
            const qint32 Index = PIDL1 ? PIDL1->dataInt32().value_or(-1) : -1;
            stillAlive = raise(alive, OnImageUpdated, this, Index, IsInterrupt);
            break;
        }
        default:
            stillAlive = raise(alive, GeneralHandler(kind), this, PIDL1, Path1, IsInterrupt);
            break;
        }
        if (!stillAlive)
            return;
    }
}

TShellNotifyGeneralEvent& TShellNotify::GeneralHandler(TShellNotifyEventType kind)
{
    switch (kind) {
    case snAttributesChanged:
        return OnAttributesChanged;
    case snDriveAdded:
        return OnDriveAdded;
    case snDriveRemoved:
        return OnDriveRemoved;
    case snItemCreated:
        return OnItemCreated;
    case snItemDeleted:
        return OnItemDeleted;
    case snItemUpdated:
        return OnItemUpdated;
    case snFolderCreated:
        return OnFolderCreated;
    case snFolderDeleted:
        return OnFolderDeleted;
    case snFolderUpdated:
        return OnFolderUpdated;
    case snFreespaceChanged:
        return OnFreespaceChanged;
    case snMediaInserted:
        return OnMediaInserted;
    case snMediaRemoved:
        return OnMediaRemoved;
    case snNetworkDriveAdded:
        return OnNetworkDriveAdded;
    case snResourceShared:
        return OnResourceShared;
    case snResourceUnshared:
        return OnResourceUnshared;
    case snServerDisconnected:
        return OnServerDisconnected;
    default:
        break;
    }
    Q_ASSERT_X(false, "TShellNotify::GeneralHandler", "not a kind with a general handler");
    return OnItemUpdated;
}
