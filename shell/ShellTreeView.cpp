#include "shell/ShellTreeView.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QStringList>
#include <QWheelEvent>
#include <QtDebug>

#include <algorithm>
#include <utility>

/// What the tree shows of the file-system model: the name column, and hidden folders only on the way to a
/// folder that was selected by path.
class FolderFilterModel : public QSortFilterProxyModel
{
public:
    explicit FolderFilterModel(QFileSystemModel* source)
        : m_source(source)
    {
        setSourceModel(source);
        sort(0);
    }

    /// Shows the hidden folders on the way to folder (absolute and clean) from now on.
    void reveal(const QString& folder)
    {
        if (isRevealed(folder))
            return;
        m_revealed.append(folder);
        // Only adds rows, so the current node and the expanded ones stay as they are.
        invalidateRowsFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        const QModelIndex entry = m_source->index(row, 0, parent);
        return !m_source->fileName(entry).startsWith(QLatin1Char('.')) || isRevealed(m_source->filePath(entry));
    }

    bool filterAcceptsColumn(int column, const QModelIndex&) const override { return column == 0; }

    // Sorted by the model's own order, so that a row accepted later takes its place instead of the last one.
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override { return left.row() < right.row(); }

private:
    bool isRevealed(const QString& folder) const
    {
        const QString below = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
        for (const QString& revealed : m_revealed)
            if (revealed == folder || revealed.startsWith(below))
                return true;
        return false;
    }

    QFileSystemModel* m_source;
    QStringList m_revealed;
};

namespace {

/// The absolute, clean path of the folder that text names (relative texts start at the working folder),
/// or of the folder holding the file it names; empty when it names nothing that exists.
QString resolveFolder(const QString& text)
{
    if (text.isEmpty())
        return {};
    const QString path = QDir::cleanPath(QFileInfo(text).absoluteFilePath());
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    return info.isDir() ? path : info.absolutePath();
}

bool hasHiddenName(const QString& folder)
{
    const QStringList names = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return std::any_of(names.begin(), names.end(), [](const QString& name) { return name.startsWith('.'); });
}

void warnAbout(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        qWarning("A folder tree handler failed: %s", e.what());
    } catch (...) {
        qWarning("A folder tree handler failed");
    }
}

} // namespace

TShellTreeView::TShellTreeView(QWidget* owner)
    : QTreeView(owner)
    , m_model(std::make_unique<QFileSystemModel>())
{
    // Folders are read once, when first expanded; the catalog has its own watcher for the shown folder.
    m_model->setOptions(QFileSystemModel::DontWatchForChanges);
    m_model->setIconProvider(&m_iconProvider);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
    m_model->setRootPath(QStringLiteral("/"));
    m_folders = std::make_unique<FolderFilterModel>(m_model.get());
    setModel(m_folders.get());

    setHeaderHidden(true);
    // One column as wide as its longest shown name, so deep folders scroll sideways instead of being cut.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);

    m_revealTimer.setSingleShot(true);
    m_revealTimer.setInterval(0);
    connect(&m_revealTimer, &QTimer::timeout, this, &TShellTreeView::reveal);
    connect(m_model.get(), &QFileSystemModel::directoryLoaded, this, [this](const QString& folder) {
        m_loaded.insert(folder);
        scheduleReveal();
    });
    // Entries arrive in batches and are sorted afterwards: each may push the selected node out of view.
    connect(m_folders.get(), &QAbstractItemModel::rowsInserted, this, &TShellTreeView::scheduleReveal);
    connect(m_folders.get(), &QAbstractItemModel::layoutChanged, this, &TShellTreeView::scheduleReveal);
    for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()})
        connect(bar, &QAbstractSlider::actionTriggered, this, &TShellTreeView::endReveal);

    const QModelIndex top = m_folders->index(0, 0);
    if (m_folders->canFetchMore(top))
        m_folders->fetchMore(top);
    expand(top);
}

TShellTreeView::~TShellTreeView()
{
    // Letting go of the model moves the current node; a tree on its way out raises no events.
    OnChange = nullptr;
    OnDblClick = nullptr;
    endReveal();
    setModel(nullptr);
    m_folders.reset();
    m_model.reset();
}

QString TShellTreeView::Path() const
{
    return pathOf(currentIndex());
}

void TShellTreeView::setPath(const QString& value)
{
    const QString folder = resolveFolder(value);
    if (folder.isEmpty())
        throw EInvalidPath::settingPath(value);
    if (hasHiddenName(folder))
        m_folders->reveal(folder);
    const QPersistentModelIndex node = nodeOf(folder);
    if (!node.isValid())
        throw EInvalidPath::settingPath(value);
    if (node == currentIndex())
        return;

    QModelIndexList above;
    for (QModelIndex parent = node.parent(); parent.isValid(); parent = parent.parent())
        above.prepend(parent);
    for (const QModelIndex& parent : std::as_const(above)) {
        // The node's own chain is already there; this starts reading its siblings in the background.
        if (m_folders->canFetchMore(parent))
            m_folders->fetchMore(parent);
        expand(parent);
    }
    m_revealNode = node;
    selectionModel()->setCurrentIndex(node, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    reveal();
}

QString TShellTreeView::pathOf(const QModelIndex& node) const
{
    if (!node.isValid())
        return {};
    return m_model->filePath(m_folders->mapToSource(node));
}

QModelIndex TShellTreeView::nodeOf(const QString& folder) const
{
    // The model builds the nodes on the way to an existing folder at once, without reading its siblings.
    return m_folders->mapFromSource(m_model->index(folder));
}

bool TShellTreeView::isLoaded(const QString& folder) const
{
    return m_loaded.contains(folder);
}

void TShellTreeView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTreeView::currentChanged(current, previous);
    if (m_revealNode.isValid() && current != m_revealNode)
        endReveal();
    // Keyboard moves with Ctrl and Ctrl-clicks can part the current node from the selection; here the
    // selected node is the current one.
    if (current.isValid() && !selectionModel()->isSelected(current))
        selectionModel()->select(current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    raise(OnChange, this, QModelIndex(current));
}

QItemSelectionModel::SelectionFlags TShellTreeView::selectionCommand(const QModelIndex& index,
                                                                     const QEvent* event) const
{
    const QItemSelectionModel::SelectionFlags flags = QTreeView::selectionCommand(index, event);
    // A Ctrl-click on the selected node would leave no node selected while the current one stays.
    if (flags & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
        return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
    return flags;
}

void TShellTreeView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPointer<TShellTreeView> alive(this);
    QTreeView::mouseDoubleClickEvent(event);
    if (alive && event->button() == Qt::LeftButton)
        raise(OnDblClick, this);
}

void TShellTreeView::mousePressEvent(QMouseEvent* event)
{
    endReveal();
    QTreeView::mousePressEvent(event);
}

void TShellTreeView::keyPressEvent(QKeyEvent* event)
{
    endReveal();
    QTreeView::keyPressEvent(event);
}

void TShellTreeView::wheelEvent(QWheelEvent* event)
{
    endReveal();
    QTreeView::wheelEvent(event);
}

void TShellTreeView::resizeEvent(QResizeEvent* event)
{
    QTreeView::resizeEvent(event);
    scheduleReveal();
}

template <typename Handler, typename... Args> void TShellTreeView::raise(const Handler& slot, const Args&... args)
{
    if (!slot)
        return;
    const Handler handler = slot; // the handler may assign its own slot while it runs
    const ErrorHandler onError = m_errorHandler;
    const QPointer<TShellTreeView> alive(this);
    try {
        handler(args...);
    } catch (...) {
        // Qt's event handling cannot carry an exception through.
        const std::exception_ptr error = std::current_exception();
        try {
            if (onError)
                onError(alive.data(), error);
            else
                warnAbout(error);
        } catch (...) {
            warnAbout(std::current_exception());
        }
    }
}

void TShellTreeView::scheduleReveal()
{
    if (m_revealNode.isValid())
        m_revealTimer.start();
}

void TShellTreeView::reveal()
{
    if (!m_revealNode.isValid() || m_revealNode != currentIndex()) {
        endReveal();
        return;
    }
    if (!isVisible())
        return;
    scrollTo(m_revealNode);
    // A deep node lies right of a narrow panel: bring the start of its name into view as well.
    const QRect rect = visualRect(m_revealNode);
    if (rect.left() < 0 || rect.left() >= viewport()->width() - indentation())
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + rect.left() - indentation());
}

void TShellTreeView::endReveal()
{
    m_revealNode = QPersistentModelIndex();
    m_revealTimer.stop();
}
