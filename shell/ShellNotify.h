#ifndef QUILLMARK_SHELL_SHELLNOTIFY_H
#define QUILLMARK_SHELL_SHELLNOTIFY_H

#include "shell/InvalidPath.h"
#include "shell/ShellComponent.h"
#include "shell/ShellItem.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <cstddef>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>

class FolderChangeSource;
struct FolderChange;
class TShellNotify;

/// The kinds of change notification, by ordinal. Kinds 0 to 2 are unions of the others.
enum TShellNotifyEventType : int
{
    snAnyEvent,
    snDiskEvent,
    snGlobalEvent,
    snAssociationChanged,
    snAttributesChanged,
    snDriveAdded,
    snDriveRemoved,
    snItemCreated,
    snItemDeleted,
    snItemUpdated,
    snItemRenamed,
    snFolderCreated,
    snFolderDeleted,
    snFolderRenamed,
    snFolderUpdated,
    snFreespaceChanged,
    snImageUpdated,
    snMediaInserted,
    snMediaRemoved,
    snNetworkDriveAdded,
    snResourceShared,
    snResourceUnshared,
    snServerDisconnected,
};
inline constexpr int ShellNotifyEventTypeCount = 23;

enum TShellInterruptOption : int
{
    ioAcceptInterrupts,
    ioAcceptNonInterrupts,
};

/// A set of enumerators with ordinals 0 to Count-1, held as bit n for ordinal n.
template <typename Enum, int Count> class OrdinalSet
{
    static_assert(Count > 0 && Count <= 32);

public:
    constexpr OrdinalSet() = default;
    constexpr OrdinalSet(std::initializer_list<Enum> values)
    {
        for (Enum value : values)
            insert(value);
    }
    /// Bits at or above Count are dropped.
    static constexpr OrdinalSet fromBits(quint32 bits)
    {
        OrdinalSet set;
        set.m_bits = bits & allBits();
        return set;
    }

    constexpr quint32 bits() const { return m_bits; }
    constexpr bool isEmpty() const { return m_bits == 0; }
    constexpr bool contains(Enum value) const { return (m_bits & bit(value)) != 0; }
    constexpr void insert(Enum value) { m_bits |= bit(value); }
    constexpr void remove(Enum value) { m_bits &= ~bit(value); }

    friend constexpr bool operator==(OrdinalSet, OrdinalSet) = default;

private:
    static constexpr quint32 allBits() { return Count == 32 ? ~quint32(0) : (quint32(1) << Count) - 1; }
    static constexpr quint32 bit(Enum value)
    {
        const int ordinal = static_cast<int>(value);
        return ordinal >= 0 && ordinal < Count ? quint32(1) << ordinal : 0;
    }

    quint32 m_bits = 0;
};

using TShellNotifyEventTypes = OrdinalSet<TShellNotifyEventType, ShellNotifyEventTypeCount>;
using TShellInterruptOptions = OrdinalSet<TShellInterruptOption, 2>;

/// The 32-bit event mask of each kind, by ordinal.
inline constexpr std::array<quint32, ShellNotifyEventTypeCount> ShellNotifyEventMasks = {
    0x7FFFFFFF, // snAnyEvent
    0x0002381F, // snDiskEvent
    0x0C0581E0, // snGlobalEvent
    0x08000000, // snAssociationChanged
    0x00000800, // snAttributesChanged
    0x00000100, // snDriveAdded
    0x00000080, // snDriveRemoved
    0x00000002, // snItemCreated
    0x00000004, // snItemDeleted
    0x00002000, // snItemUpdated
    0x00000001, // snItemRenamed
    0x00000008, // snFolderCreated
    0x00000010, // snFolderDeleted
    0x00020000, // snFolderRenamed
    0x00001000, // snFolderUpdated
    0x00040000, // snFreespaceChanged
    0x00008000, // snImageUpdated
    0x00000020, // snMediaInserted
    0x00000040, // snMediaRemoved
    0x00010000, // snNetworkDriveAdded
    0x00000200, // snResourceShared
    0x00000400, // snResourceUnshared
    0x00004000, // snServerDisconnected
};
/// Set in an event word when the change came from the file system itself rather than a program's report.
inline constexpr quint32 ShellNotifyInterrupt = 0x80000000u;
/// Part of the global kinds' mask without being any kind's own bit.
inline constexpr quint32 ShellNotifyExtendedEvent = 0x04000000u;

/// Source flags of a registration: the notification's data is handed over with it, interrupt-level
/// (file system) notifications are wanted, shell-level (reported by programs) ones are wanted.
inline constexpr quint32 ShellSourceHandOver = 0x8000;
inline constexpr quint32 ShellSourceInterruptLevel = 0x0001;
inline constexpr quint32 ShellSourceShellLevel = 0x0002;

constexpr quint32 shellNotifyEventMask(TShellNotifyEventType kind)
{
    return ShellNotifyEventMasks[static_cast<std::size_t>(kind)];
}

/// The OR of the masks of every kind in the set.
constexpr quint32 shellNotifyEventMask(TShellNotifyEventTypes kinds)
{
    quint32 mask = 0;
    for (int ordinal = 0; ordinal < ShellNotifyEventTypeCount; ++ordinal)
        if (kinds.contains(static_cast<TShellNotifyEventType>(ordinal)))
            mask |= ShellNotifyEventMasks[static_cast<std::size_t>(ordinal)];
    return mask;
}

using TShellNotifySimpleEvent = std::function<void(TShellNotify* Sender, bool IsInterrupt)>;
using TShellNotifyIndexEvent = std::function<void(TShellNotify* Sender, qint32 Index, bool IsInterrupt)>;
using TShellNotifyGeneralEvent
    = std::function<void(TShellNotify* Sender, PShellItem PIDL, const QString& Path, bool IsInterrupt)>;
using TShellNotifyRenameEvent = std::function<void(TShellNotify* Sender, PShellItem oldPIDL, const QString& oldPath,
                                                   PShellItem newPIDL, const QString& newPath, bool IsInterrupt)>;
using TShellNotifyGenericEvent = std::function<void(TShellNotify* Sender, TShellNotifyEventType EventType,
                                                    PShellItem PIDL1, PShellItem PIDL2, bool IsInterrupt)>;

/// The registration in force: Id 0 means none, and then the other members are zero and empty.
struct ShellRegistration
{
    quint32 Id = 0;
    quint32 SourceFlags = 0;
    quint32 EventMask = 0;
    bool Recursive = false;
    /// The path of the root item registered for.
    QString Root;
};

/// Watches one folder (or file) and turns the changes the system reports into calls of typed handlers, on
/// the UI thread. Here the reports come from one inotify descriptor per watcher, read through the event
/// loop; each change arrives as an event word with the interrupt bit set, so ioAcceptInterrupts decides
/// whether anything arrives at all.
///
/// An existing file's new contents (in-place writes, a temporary file renamed over it, touch) give one
/// item-updated notification once the folder has been quiet for a short while; new files give
/// item-created, removed ones item-deleted, renames within the watched folder item-renamed, folders the
/// folder kinds. A root folder is followed by its path through any change above it: folder-deleted when the
/// path names no folder any more, folder-created when it names one again or another one, attributes-changed
/// when the folder may no longer be read and when it may again.
///
/// Everything, setters and handlers, runs on the UI thread. A handler may change the watcher's properties
/// or call deleteLater on it; an error it raises ends that notification's calls and goes to the error
/// handler.
class TShellNotify : public TShellComponent
{
    Q_OBJECT

public:
    /// Disabled, watching nothing, RootFolder "sfDesktop", WatchChildren true, HandledEvents [snAnyEvent],
    /// InterruptOptions [ioAcceptInterrupts, ioAcceptNonInterrupts].
    explicit TShellNotify(QObject* owner);
    /// Ends the registration: no handler runs after this.
    ~TShellNotify() override;

    bool Enabled() const { return FEnabled; }
    /// True registers for RootFolder, false ends the registration. A registration the system refuses
    /// leaves Enabled false without an error.
    void setEnabled(bool value);

    bool WatchChildren() const { return FWatchChildren; }
    /// The whole subtree below the root (true) or only the root and the items directly in it (false).
    /// Takes effect at once while enabled.
    void setWatchChildren(bool value);

    TShellNotifyEventTypes HandledEvents() const { return FHandledEvents; }
    /// The kinds registered for. Takes effect at once while enabled.
    void setHandledEvents(TShellNotifyEventTypes value);

    TShellInterruptOptions InterruptOptions() const { return FInterruptOptions; }
    /// Takes effect at once while enabled.
    void setInterruptOptions(TShellInterruptOptions value);

    /// A special-folder name or a path, as last set.
    QString RootFolder() const { return FRootFolder; }
    /// Does nothing when value equals RootFolder ignoring case. Otherwise resolves value (a special-folder
    /// name, or a path naming an existing folder or file), and re-registers while enabled. Throws
    /// EInvalidPath ("Error setting path: \"<value>\"") for an empty or unresolvable value, changing nothing.
    void setRootFolder(const QString& value);
    /// What RootFolder resolved to; empty when even the initial "sfDesktop" found no folder.
    const ShellItem& RootItem() const { return FRootItem; }

    const ShellRegistration& Registration() const { return FRegistration; }
    /// The inotify descriptor behind the registrations, -1 when the system gave none. For diagnostics.
    int NotifyDescriptor() const;

    /// Calls the handlers for one notification: for each kind from snAssociationChanged up whose bit Word
    /// carries, OnAnyEvent, then OnGlobalEvent and OnDiskEvent for kinds they cover, then the kind's own
    /// handler. Does not look at HandledEvents. An error raised by a handler ends the calls and propagates.
    void Dispatch(quint32 Word, PShellItem PIDL1, PShellItem PIDL2);

    /// Which folders below the root a watch of the whole subtree looks into (path: the folder's full path);
    /// every folder when none is set. Taken by the next registration and by folders that come after it.
    void setFolderFilter(std::function<bool(const QString& path)> filter);
    /// Called once a registration when the system's limit on watches kept a folder of the subtree from being
    /// watched; what could be watched still is.
    std::function<void(TShellNotify* Sender)> OnWatchLimit;

    /// Receives what a handler raised while a notification from the system was delivered. By default the
    /// error is written out with qWarning.
    using ErrorHandler = std::function<void(TShellNotify* Sender, std::exception_ptr error)>;
    void setErrorHandler(ErrorHandler handler) { m_errorHandler = std::move(handler); }

    TShellNotifySimpleEvent OnAssociationChanged;
    TShellNotifyRenameEvent OnFolderRenamed;
    TShellNotifyRenameEvent OnItemRenamed;
    TShellNotifyIndexEvent OnImageUpdated;
    TShellNotifyGenericEvent OnAnyEvent;
    TShellNotifyGenericEvent OnDiskEvent;
    TShellNotifyGenericEvent OnGlobalEvent;
    TShellNotifyGeneralEvent OnAttributesChanged;
    TShellNotifyGeneralEvent OnDriveAdded;
    TShellNotifyGeneralEvent OnDriveRemoved;
    TShellNotifyGeneralEvent OnFolderCreated;
    TShellNotifyGeneralEvent OnFolderDeleted;
    TShellNotifyGeneralEvent OnFolderUpdated;
    /// No drive letters here: called once per notification with the item on the volume whose free
    /// space changed.
    TShellNotifyGeneralEvent OnFreespaceChanged;
    TShellNotifyGeneralEvent OnItemCreated;
    TShellNotifyGeneralEvent OnItemDeleted;
    TShellNotifyGeneralEvent OnItemUpdated;
    TShellNotifyGeneralEvent OnMediaInserted;
    TShellNotifyGeneralEvent OnMediaRemoved;
    TShellNotifyGeneralEvent OnNetworkDriveAdded;
    TShellNotifyGeneralEvent OnResourceShared;
    TShellNotifyGeneralEvent OnResourceUnshared;
    TShellNotifyGeneralEvent OnServerDisconnected;

private:
    bool RegisterNotify();
    void DeregisterNotify();
    /// After a property change: a new registration with the new value, while enabled.
    void Reregister();
    /// A change the source found: filtered by the registration, then dispatched.
    void Deliver(const FolderChange& change);
    TShellNotifyGeneralEvent& GeneralHandler(TShellNotifyEventType kind);

    bool FEnabled = false;
    bool FWatchChildren = true;
    TShellNotifyEventTypes FHandledEvents{snAnyEvent};
    ShellRegistration FRegistration;
    TShellInterruptOptions FInterruptOptions{ioAcceptInterrupts, ioAcceptNonInterrupts};
    std::unique_ptr<FolderChangeSource> FSource;
    QString FRootFolder;
    ShellItem FRootItem;
    ErrorHandler m_errorHandler;
};

/// What a watch says when the system's limit kept folders from being watched, naming that limit.
QString watchLimitMessage();

#endif // QUILLMARK_SHELL_SHELLNOTIFY_H
