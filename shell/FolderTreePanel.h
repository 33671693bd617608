#ifndef QUILLMARK_SHELL_FOLDERTREEPANEL_H
#define QUILLMARK_SHELL_FOLDERTREEPANEL_H

#include "shell/InvalidPath.h"

#include <QLabel>
#include <QPointer>
#include <QWidget>

#include <exception>
#include <functional>

class QComboBox;
class QModelIndex;
class QSplitter;
class QVBoxLayout;
class TShellTreeView;

/// A panel header's close mark: a small cross that reports a click of the left button (pressed and released
/// over it). Drawn, not taken from a font, so a change of the interface font leaves it as it is.
class CloseGlyph : public QLabel
{
public:
    explicit CloseGlyph(QWidget* parent = nullptr);

    std::function<void()> OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false;
};

/// The folder tree panel at the left of the catalog list: a "Folders" header with a close mark (Label13) and,
/// from its first opening on, the folder tree (ShellTree) below it. Selecting a folder in the tree writes its
/// path into the folder box; double-clicking reads the folder; reading a folder moves the tree's selection
/// there. Hidden at start. UI thread only.
class FolderTreePanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int PanelWidth = 152;
    static constexpr int HeaderHeight = 22;

    /// EdtDir: the folder box (an editable combo box) whose text the tree selects and is written into. When
    /// it is destroyed first, the panel leaves it alone.
    explicit FolderTreePanel(QComboBox* EdtDir, QWidget* parent = nullptr);

    /// Makes Splitter1: this panel at the left, List filling the rest, and between them a handle that shows
    /// only while the panel does and resizes both panes live while it is dragged. The caller places the
    /// returned splitter, which owns the panel and List from then on. A splitter of the caller's own serves
    /// as well: the panel keeps the handle of any splitter it is placed in in step with itself.
    QSplitter* createSplitter(QWidget* List, QWidget* parent = nullptr);

    /// The folder tree; null until the first opening, then kept until the panel is destroyed.
    TShellTreeView* ShellTree() const { return m_shellTree; }
    /// The splitter the panel lies in; null when it lies in none.
    QSplitter* Splitter1() const;
    QWidget* Panel2() const { return m_panel2; }
    QLabel* Label12() const { return m_label12; }
    CloseGlyph* Label13() const { return m_label13; }

    /// The ".." button: on the first call creates the tree and selects the folder named by the text of
    /// EdtDir without writing back into it; then shows the panel when hidden and hides it when shown. When
    /// that first selection fails it throws EInvalidPath and the panel stays as it was; the tree exists and
    /// works from then on.
    void BtnPathClick();
    /// The tree's change event: EdtDir's text becomes the selected folder's path. Nothing else happens.
    void ShellTreeChange(TShellTreeView* Sender, const QModelIndex& Node);
    /// The tree's double click: OnReadFolder.
    void ShellTreeDblClick(TShellTreeView* Sender);
    /// The close mark: hides the panel (and so the splitter's handle); the tree and its selection stay.
    void Label13Click();
    /// The folder read's hook, given the text that was read: when the tree exists, selects that folder,
    /// which writes the tree's path for it into EdtDir unless it was already selected. Throws EInvalidPath
    /// for a text naming nothing, changing nothing.
    void FolderRead(const QString& text);

    /// Reads the folder named by EdtDir's text, as the "&Read folder" button does.
    std::function<void()> OnReadFolder;

    /// Receives what OnReadFolder raised when a double click in the tree called it. By default the error
    /// is shown in a warning box titled with the application's display name.
    using ErrorHandler = std::function<void(std::exception_ptr error)>;
    void setErrorHandler(ErrorHandler handler) { m_errorHandler = std::move(handler); }

    QSize sizeHint() const override;

    /// Grows the panel's width and its header's height by scale (1 at the design font); the header is always high
    /// enough for "Folders" in its present font.
    void setScale(double scale);

protected:
    void changeEvent(QEvent* event) override;

private:
    void fitHeader();

    void bindShellTree();
    /// Shows or hides the panel, and the splitter's handle beside it at once rather than at its next layout.
    void setPanelVisible(bool visible);
    void reportError(std::exception_ptr error);

    QPointer<QComboBox> m_edtDir;
    QVBoxLayout* m_layout = nullptr;
    QWidget* m_panel2 = nullptr;
    QLabel* m_label12 = nullptr;
    CloseGlyph* m_label13 = nullptr;
    TShellTreeView* m_shellTree = nullptr;
    ErrorHandler m_errorHandler;
    double m_scale = 1.0;
};

#endif // QUILLMARK_SHELL_FOLDERTREEPANEL_H
