#ifndef QUILLMARK_SHELL_SHELLTREEVIEW_H
#define QUILLMARK_SHELL_SHELLTREEVIEW_H

#include "shell/InvalidPath.h"

#include <QFileIconProvider>
#include <QPersistentModelIndex>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QTreeView>

#include <exception>
#include <functional>
#include <memory>

class FolderFilterModel;
class QFileSystemModel;
class TShellTreeView;

using TShellTreeChangeEvent = std::function<void(TShellTreeView* Sender, const QModelIndex& Node)>;
using TShellTreeNotifyEvent = std::function<void(TShellTreeView* Sender)>;

/// The file system's folders as a tree, from the root "/" down, for picking a folder. Files are not shown,
/// nor are hidden folders (names beginning with a dot) except on the way to a folder selected by path.
/// Folders are read when their node is first expanded, in the background, and are not refreshed after.
/// The folder names are not editable here.
///
/// The selected node is the current one: the selection always follows it. Everything runs on the UI
/// thread; reading a folder's entries never blocks it.
class TShellTreeView : public QTreeView
{
    Q_OBJECT

public:
    /// Shows "/" expanded, with no node selected.
    explicit TShellTreeView(QWidget* owner);
    ~TShellTreeView() override;

    /// The full path of the selected folder ("/" for the root, no trailing "/"), empty with none selected.
    QString Path() const;
    /// Selects the folder named by value: an absolute path, or one relative to the working folder; a path
    /// naming a file selects the folder holding it. Does nothing when that folder is already selected.
    /// Otherwise expands every folder above it, top down, selects it, raises OnChange and brings the node
    /// into view, again as folders above it finish loading or when the tree is next shown, until the user
    /// selects, scrolls or types in the tree. Throws EInvalidPath ("Error setting path: \"<value>\"") for
    /// an empty value or one naming nothing that exists, changing nothing.
    void setPath(const QString& value);

    /// The folder of a node of this tree; empty for none.
    QString pathOf(const QModelIndex& node) const;
    /// The node of an existing folder (an absolute, clean path), made at once when the folder above it has
    /// not been read yet; invalid for a folder that does not exist or is not shown.
    QModelIndex nodeOf(const QString& folder) const;
    /// Whether a folder has had all its entries read.
    bool isLoaded(const QString& folder) const;

    /// Raised after every change of the selected node, by the user or by setPath, before either returns.
    TShellTreeChangeEvent OnChange;
    /// Raised on a double click with the left button anywhere in the tree, after the click's own effect.
    TShellTreeNotifyEvent OnDblClick;

    /// Receives what OnChange or OnDblClick raised; such errors never leave the tree's event handling. By
    /// default the error is written out with qWarning.
    using ErrorHandler = std::function<void(TShellTreeView* Sender, std::exception_ptr error)>;
    void setErrorHandler(ErrorHandler handler) { m_errorHandler = std::move(handler); }

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    template <typename Handler, typename... Args> void raise(const Handler& slot, const Args&... args);
    /// Brings the node that setPath selected into view, while that is still wanted.
    void scheduleReveal();
    void reveal();
    void endReveal();

    // The icon provider outlives the model that asks it for icons from its own thread.
    QFileIconProvider m_iconProvider;
    std::unique_ptr<QFileSystemModel> m_model;
    std::unique_ptr<FolderFilterModel> m_folders;
    /// Folders whose entries have all been read.
    QSet<QString> m_loaded;
    /// The node setPath selected, while it is still to be kept in view; invalid otherwise.
    QPersistentModelIndex m_revealNode;
    QTimer m_revealTimer;
    ErrorHandler m_errorHandler;
};

#endif // QUILLMARK_SHELL_SHELLTREEVIEW_H
