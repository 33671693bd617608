#include "shell/FolderTreePanel.h"

#include "shell/ShellTreeView.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QString messageOf(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

} // namespace

CloseGlyph::CloseGlyph(QWidget* parent)
    : QLabel(parent)
{
    setFixedSize(11, 11);
}

void CloseGlyph::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(foregroundRole()), 1.6));
    const QRectF box = QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5);
    painter.drawLine(box.topLeft(), box.bottomRight());
    painter.drawLine(box.topRight(), box.bottomLeft());
}

void CloseGlyph::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void CloseGlyph::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    QLabel::mouseReleaseEvent(event);
    if (click && OnClick) {
        const std::function<void()> handler = OnClick;
        handler();
    }
}

FolderTreePanel::FolderTreePanel(QComboBox* EdtDir, QWidget* parent)
    : QWidget(parent)
    , m_edtDir(EdtDir)
{
    setObjectName(QStringLiteral("PnlTree"));
    setVisible(false);

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    m_panel2 = new QWidget(this);
    m_panel2->setObjectName(QStringLiteral("Panel2"));
    m_panel2->setFixedHeight(HeaderHeight);
    m_label12 = new QLabel(tr("Folders"), m_panel2);
    m_label12->setObjectName(QStringLiteral("Label12"));
    m_label13 = new CloseGlyph(m_panel2);
    m_label13->setObjectName(QStringLiteral("Label13"));
    m_label13->OnClick = [this] { Label13Click(); };

    // "Folders" 7 from the left and 3 from the top; the close mark 5 from the top and the right edge.
    auto* header = new QHBoxLayout(m_panel2);
    header->setContentsMargins(7, 3, 5, 0);
    header->setSpacing(0);
    header->addWidget(m_label12, 0, Qt::AlignLeft | Qt::AlignTop);
    header->addStretch(1);
    auto* closeColumn = new QVBoxLayout;
    closeColumn->setContentsMargins(0, 2, 0, 0);
    closeColumn->addWidget(m_label13);
    closeColumn->addStretch(1);
    header->addLayout(closeColumn);

    m_layout->addWidget(m_panel2);
    m_layout->addStretch(1);
}

QSplitter* FolderTreePanel::createSplitter(QWidget* List, QWidget* parent)
{
    auto* splitter = new QSplitter(Qt::Horizontal, parent);
    splitter->setObjectName(QStringLiteral("Splitter1"));
    splitter->setOpaqueResize(true);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(this);
    splitter->addWidget(List);
    // A wider window widens the list, not the panel.
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    return splitter;
}

QSplitter* FolderTreePanel::Splitter1() const
{
    return qobject_cast<QSplitter*>(parentWidget());
}

void FolderTreePanel::BtnPathClick()
{
    if (!m_shellTree) {
        m_shellTree = new TShellTreeView(this);
        m_shellTree->setObjectName(QStringLiteral("ShellTree"));
        m_shellTree->setErrorHandler([this](TShellTreeView*, std::exception_ptr error) { reportError(error); });
        // The first selection comes before the handlers are bound, so that it leaves EdtDir's text alone.
        try {
            m_shellTree->setPath(m_edtDir ? m_edtDir->currentText() : QString());
        } catch (...) {
            // The tree stays: from the next click on it must fill the panel and raise its events.
            bindShellTree();
            throw;
        }
        bindShellTree();
    }
    // Both end shown or both end hidden, the handle beside the panel.
    setPanelVisible(isHidden());
}

void FolderTreePanel::ShellTreeChange(TShellTreeView*, const QModelIndex&)
{
    if (m_edtDir && m_shellTree)
        m_edtDir->setEditText(m_shellTree->Path());
}

void FolderTreePanel::ShellTreeDblClick(TShellTreeView*)
{
    if (OnReadFolder) {
        const std::function<void()> handler = OnReadFolder;
        handler();
    }
}

void FolderTreePanel::Label13Click()
{
    setPanelVisible(false);
}

void FolderTreePanel::FolderRead(const QString& text)
{
    if (m_shellTree)
        m_shellTree->setPath(text);
}

QSize FolderTreePanel::sizeHint() const
{
    return {static_cast<int>(std::lround(PanelWidth * m_scale)), QWidget::sizeHint().height()};
}

void FolderTreePanel::setScale(double scale)
{
    m_scale = std::max(1.0, scale);
    fitHeader();
    updateGeometry();
}

void FolderTreePanel::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitHeader();
}

void FolderTreePanel::fitHeader()
{
    // "Folders" lies 3 pixels below the header's top.
    const int scaled = static_cast<int>(std::lround(HeaderHeight * m_scale));
    m_panel2->setFixedHeight(std::max(scaled, m_label12->sizeHint().height() + 3));
}

void FolderTreePanel::bindShellTree()
{
    // Replacing the header's stretch, the tree fills what the header leaves.
    delete m_layout->takeAt(1);
    m_layout->addWidget(m_shellTree, 1);
    m_shellTree->OnChange = [this](TShellTreeView* Sender, const QModelIndex& Node) { ShellTreeChange(Sender, Node); };
    m_shellTree->OnDblClick = [this](TShellTreeView* Sender) { ShellTreeDblClick(Sender); };
}

void FolderTreePanel::setPanelVisible(bool visible)
{
    setVisible(visible);
    if (QSplitter* splitter = Splitter1())
        splitter->refresh();
}

void FolderTreePanel::reportError(std::exception_ptr error)
{
    if (m_errorHandler) {
        const ErrorHandler handler = m_errorHandler;
        handler(error);
        return;
    }
    QMessageBox::warning(window(), QGuiApplication::applicationDisplayName(), messageOf(error));
}
