#ifndef QUILLMARK_WINDOW_POPUPMENUS_H
#define QUILLMARK_WINDOW_POPUPMENUS_H

#include <QIcon>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <stdexcept>

class QAbstractItemView;
class QAction;
class QMenu;
class QWidget;

/// A launch from the popup menu that failed; what() tells the user which file, which program and why.
class ELaunchFailed : public std::runtime_error
{
public:
    explicit ELaunchFailed(const QString& message);
};

/// How the popup menu's commands start an editor. A launch returns once the program is started, without waiting
/// for it; false with the user's message in error when it could not be started.
class EditorLauncher
{
public:
    virtual ~EditorLauncher() = default;
    /// Opens path in the program the desktop associates with it, never in Quillmark itself.
    virtual bool openWithDesktop(const QString& path, QString* error) = 0;
    /// Starts the custom editor program, detached, on the file argument, in workingFolder.
    virtual bool startProgram(const QString& program, const QString& argument, const QString& workingFolder,
                              QString* error)
        = 0;
};

/// The desktop's launches, both outliving the window: the associated program as OpenInDesktopEditor finds and starts
/// it, the custom editor as StartEditor does (a program, or the command of the desktop entry it names).
class DesktopLauncher : public EditorLauncher
{
public:
    bool openWithDesktop(const QString& path, QString* error) override;
    bool startProgram(const QString& program, const QString& argument, const QString& workingFolder,
                      QString* error) override;
};

/// What the popup menus need of the window that holds them.
class PopupMenusHost
{
public:
    virtual ~PopupMenusHost() = default;

    /// FFolder: the folder read last, ending in "/".
    virtual QString shownFolder() const = 0;
    /// EditorPath.
    virtual QString editorPath() const = 0;
    /// EdtFile := path, the "Single file output" page made active, then CheckSingleFile.
    virtual void checkOnSingleFilePage(const QString& path) = 0;
};

/// A program's icon from the desktop: the icon theme's icon of the program's file name, else the Icon= of the
/// desktop entry that runs it (an icon name or a path), searched in the XDG data folders. Null when there is none.
QIcon ProgramIcon(const QString& programPath);

/// The menus' colours (the program's default skin) as a style sheet for a QMenu.
QString TBSkin1StyleSheet();

/// The folder part of a file's path: everything up to and including the last "/"; empty when there is none.
QString FolderPartOf(const QString& filePath);

/// The catalog list's popup menu TBPopupMenu1, whose items open the selected file in the associated editor, open
/// it in the custom editor or check it on the single-file page, and the second menu TBPopupMenu2. The menus do not
/// bind their items' events: the window binds them to its handlers, which call the methods named after them here.
class PopupMenus : public QObject
{
    Q_OBJECT

public:
    static constexpr int ImagePencil = 0;
    static constexpr int ImageMagnifier = 1;
    /// Present only while the custom editor has an icon.
    static constexpr int ImageCustomEditor = 2;

    /// The menus belong to parent; list gives the selected row, whose column 0 holds the file name.
    PopupMenus(PopupMenusHost& host, QAbstractItemView* list, QWidget* parent);
    ~PopupMenus() override;

    /// The item at position defaultAction (0 associated editor, 1 custom editor, 2 check) becomes the menu's
    /// default item, drawn bold; outside 0..2 there is none.
    void MarkDefaultItem(int defaultAction);
    /// The custom-editor item shows editorPath's file name and its icon when editorPath names a program, the
    /// entry's name and icon when it names a desktop entry, the name marked "not found" when it names neither, and
    /// the plain caption with no image when it is empty. MainImages keeps at most one editor icon.
    void UpdateCustomEditorItem(const QString& editorPath);

    /// Open the selected file in the associated editor; nothing without a selected row. Throws ELaunchFailed.
    void Openinexternaledito1Click();
    /// Open the selected file in the custom editor, the path as one argument, in FFolder. Throws ELaunchFailed.
    void TBItem2Click();
    /// Check the selected file on the single-file page.
    void Checkmsgfmtoutput1Click();
    /// The double-click: the command at position defaultAction, the check for any value but 0 and 1.
    void List2DblClick(int defaultAction);

    /// Shows TBPopupMenu1 at globalPos (screen coordinates).
    void popupAt(QPoint globalPos);

    /// The path of the selected file, FFolder followed by the row's file name; none without a selected row.
    std::optional<QString> selectedPath() const;

    /// Replaces how editors are started, for tests.
    void setLauncher(std::unique_ptr<EditorLauncher> launcher);

    QMenu* TBPopupMenu1;
    QAction* TBItem3;
    QAction* TBItem2;
    QAction* TBItem1;
    QMenu* TBPopupMenu2;
    QAction* Getfromfile1;

    /// The menu images, 16 by 16: the pencil, the magnifier and, while one is shown, the custom editor's icon.
    const QList<QImage>& mainImages() const { return MainImages; }

private:
    PopupMenusHost& m_host;
    QAbstractItemView* m_list;
    std::unique_ptr<EditorLauncher> m_launcher;
    QList<QImage> MainImages;
};

#endif // QUILLMARK_WINDOW_POPUPMENUS_H
