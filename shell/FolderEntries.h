#ifndef QUILLMARK_SHELL_FOLDERENTRIES_H
#define QUILLMARK_SHELL_FOLDERENTRIES_H

#include "shell/ShellNotify.h"

#include <QString>

/// Lets target's rows follow the entries directly in the watched folder as they change, come and go. Folders
/// count as entries too, since a folder named like a PO file has a row; the watched folder's own comings and
/// goings and its permissions arrive as those of its path. target offers NotifyItemUpdated, NotifyItemCreated,
/// NotifyItemDeleted and NotifyAttributesChanged (path) and NotifyItemRenamed (old path, new path), as the
/// catalog engine does; it must outlive the watcher's handlers.
template <typename Target> void followFolderEntries(TShellNotify& notify, Target& target)
{
    notify.setHandledEvents({snItemUpdated, snItemCreated, snItemDeleted, snItemRenamed, snFolderCreated,
                             snFolderDeleted, snFolderRenamed, snAttributesChanged});
    notify.OnItemUpdated
        = [&target](TShellNotify*, PShellItem, const QString& path, bool) { target.NotifyItemUpdated(path); };
    const TShellNotifyGeneralEvent created
        = [&target](TShellNotify*, PShellItem, const QString& path, bool) { target.NotifyItemCreated(path); };
    const TShellNotifyGeneralEvent deleted
        = [&target](TShellNotify*, PShellItem, const QString& path, bool) { target.NotifyItemDeleted(path); };
    const TShellNotifyRenameEvent renamed
        = [&target](TShellNotify*, PShellItem, const QString& oldPath, PShellItem, const QString& newPath, bool) {
              target.NotifyItemRenamed(oldPath, newPath);
          };
    notify.OnItemCreated = created;
    notify.OnFolderCreated = created;
    notify.OnItemDeleted = deleted;
    notify.OnFolderDeleted = deleted;
    notify.OnItemRenamed = renamed;
    notify.OnFolderRenamed = renamed;
    notify.OnAttributesChanged
        = [&target](TShellNotify*, PShellItem, const QString& path, bool) { target.NotifyAttributesChanged(path); };
}

#endif // QUILLMARK_SHELL_FOLDERENTRIES_H
