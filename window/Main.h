#ifndef QUILLMARK_WINDOW_MAIN_H
#define QUILLMARK_WINDOW_MAIN_H

#include "runner/CommandRunner.h"
#include "settings/WindowSettings.h"
#include "shell/ShellItem.h"
#include "window/PopupMenus.h"
#include "window/PreferencesPanel.h"

#include <QCoreApplication>
#include <QList>
#include <QMainWindow>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

class AnchorLayout;
class CatalogEngine;
class FolderTreePanel;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QModelIndex;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTimer;
struct CatalogRow;
class SingleFileCheck;
class TListViewEx;
class TOutputMemo;
class TRegistry;
class TShellNotify;
class TShellTreeView;

/// The main window. It exists from start to end and owns everything else: the controls, the catalog engine with
/// its runner, the single-file check with its runner, the folder watcher and the settings. Everything here runs on
/// the UI thread.
///
/// Creating it loads the settings (FormCreate); its first showing reads the command line (FormShow); destroying it
/// stops the catalog's check and saves the folder and its history (FormDestroy). An error that one of its handlers
/// raises is shown in a message box titled "Quillmark" and goes no further.
class TFrmMain : public QMainWindow, public SettingsTarget, public PreferencesHost, public PopupMenusHost
{
    Q_OBJECT

public:
    /// The client size the controls are laid out for; the window opens with it.
    static constexpr QSize DesignClientSize{642, 386};
    /// The maker's web page, shown and opened by the link label.
    static constexpr char WebAddress[] = "https://github.com/velloran/quillmark";

    /// arguments: the command line, the program's name first; a path in it with its bytes as decodeLocalPath keeps
    /// them.
    explicit TFrmMain(const QStringList& arguments = QCoreApplication::arguments(), QWidget* parent = nullptr);
    /// Runs FormDestroy.
    ~TFrmMain() override;

    // The controls, named as the layout names them; each object's name is the same.
    QWidget* Panel3;
    QTabWidget* Page;
    QWidget* TabSheet1;
    QComboBox* EdtDir;
    QPushButton* BtnList;
    QPushButton* BtnPath;
    QWidget* PnlCat;
    QSplitter* Splitter1;
    FolderTreePanel* PnlTree;
    QLabel* Label13;
    TListViewEx* List;
    /// Under the list while subfolders are included: the totals of the rows, in all and per group, and the notes
    /// of the watch.
    QLabel* LblTotals;
    QWidget* TabSheet2;
    QLineEdit* EdtFile;
    QPushButton* BtnCheck;
    TOutputMemo* Output;
    QWidget* PnlProg;
    QProgressBar* Progress;
    QWidget* Panel1;
    QPushButton* BtnPref;
    QLabel* Label3;
    QLabel* Label2;
    QPushButton* BtnHalt;
    PreferencesPanel* PnlEditor = nullptr;

    /// The list's popup menu and the folder box's.
    PopupMenus* FMenus;

    /// The folder watcher: item updates directly in the shown folder.
    TShellNotify* Notify;

    /// The custom editor and the double-click action (0 associated editor, 1 custom editor, otherwise check), as
    /// loaded.
    QString EditorPath;
    qint32 DefaultAction = 0;

    CatalogEngine& Engine() { return *FEngine; }
    SingleFileCheck& FileCheck() { return *FFileCheck; }
    TRegistry& Registry() { return *FRegistry; }
    /// The folder tree; null until the folder tree panel is first opened.
    TShellTreeView* ShellTree() const;

    /// The window's handlers.
    void FormCreate();
    void FormShow();
    void FormDestroy();
    /// Reads the folder named in EdtDir (also the handler of BtnList).
    void EdtDirDblClick();
    /// True when the key was Enter: the folder is read and the key goes no further.
    bool EdtDirKeyPress(const QKeyEvent& key);
    /// True when the key was Enter: the file is checked and the key goes no further.
    bool EdtFileKeyPress(const QKeyEvent& key);
    /// Checks the file named in EdtFile (also the handler of a double click in Output).
    void BtnCheckClick();
    /// Ends the program at once; the window is still destroyed on the way out.
    void BtnHaltClick();
    /// The preferences panel: show it, browse for the editor, Enter in the editor box (true when the key went no
    /// further), the slider moved, choose the interface font, Continue.
    void BtnPrefClick();
    void Button4Click();
    bool EdtEditorKeyPress(const QKeyEvent& key);
    void TrackChange(int position);
    void BtnFontClick();
    void BtnEditorClick();
    /// The list's popup menu: the three commands on the selected row, and the double click running the one that
    /// DefaultAction selects.
    void Openinexternaledito1Click();
    void TBItem2Click();
    void Checkmsgfmtoutput1Click();
    void List2DblClick();
    /// The folder box's popup menu: EdtDir's text becomes the folder part of EdtFile's text; nothing is read.
    void Getfromfile1Click();
    /// The folder tree panel: ".." creates the tree at first and toggles the panel; the close mark hides it; a
    /// selection in the tree goes into EdtDir; a double click in the tree reads the folder.
    void BtnPathClick();
    void Label13Click();
    void ShellTreeChange(TShellTreeView* Sender, const QModelIndex& Node);
    void ShellTreeDblClick(TShellTreeView* Sender);
    /// Opens the maker's web page; whether that worked is not looked at.
    void Label2Click();
    /// Paints the whole list again with the new column widths.
    void ListEndColumnResize(TListViewEx* sender, int columnIndex, int columnWidth);
    /// The runners' handlers, called on their reader threads: the catalog keeps the line, evaluates the ended check
    /// and goes on; the single-file page appends the line to Output.
    void ListRunnerNewLine(TCommandRunner* Sender, const QByteArray& NewLine, TOutputType OutputType);
    void ListRunnerTerminated(TCommandRunner* Sender);
    void FileRunnerNewLine(TCommandRunner* Sender, const QByteArray& NewLine, TOutputType OutputType);
    /// The watcher's item-updated handler: checks that file's row again.
    void NotifyItemUpdated(TShellNotify* Sender, PShellItem PIDL, const QString& Path, bool IsInterrupt);

    /// The folder read of the catalog page, from EdtDir's text as typed.
    void ReadFolder();
    /// The handler of "Include subfolders": stores it and reads the shown folder again, with or without them.
    void ChkSubfoldersClick(bool on);
    /// LblTotals' text for the rows now listed.
    static QString totalsText(const QList<CatalogRow>& rows);
    /// The single-file check, from EdtFile's text as typed.
    void CheckSingleFile();

    /// The popup item of DefaultAction becomes the menu's default.
    void MarkDefaultItem() override;
    /// The custom-editor item follows EditorPath.
    void UpdateCustomEditorItem() override;

    // What the preferences panel and the popup menus need.
    TRegistry& registry() override;
    UnreadValues& unreadValues() override;
    QString editorPath() const override;
    QString shownFolder() const override;
    void applyInterfaceFont(const QFont& font) override;
    void checkOnSingleFilePage(const QString& path) override;

    // What the settings' loading sets.
    void setConsoleFontName(const QString& name) override;
    void setConsoleFontSize(qint32 points) override;
    void setInterfaceFont(const InterfaceFont& font, const QString& buttonCaption) override;
    void setDefaultAction(qint32 action) override;
    void setEditorPath(const QString& path) override;
    void showDefaultAction() override;
    void setTrackPosition(qint32 position) override;
    void setYellowThreshold(YellowThreshold threshold) override;
    void setJobs(qint32 jobs) override;
    void setSubfolders(bool on) override;
    void updateCustomEditorItem() override;
    void setFolderText(const QString& text) override;
    void appendFolderHistory(const QString& folder) override;

    /// Lays the window out again for its present font: every control's place and size grows by one scale, the
    /// smallest at which the texts fit and at least the font's height against the design font's; the window grows
    /// to fit. At the design font the places are the design's. The window, frame included, never outgrows the
    /// screen's available area: where the window's minimum at that scale would, a smaller scale is taken.
    void fitLayoutToFont();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    /// The interface font's height against the design font's, at least 1.
    double fontScale() const;
    /// The layouts of the window's parts, the preferences panel's included.
    QList<AnchorLayout*> anchorLayouts() const;
    /// Every part of the window laid out at scale, the window's minimum with them.
    void applyScale(double scale);
    /// The largest client size whose frame fits the screen's available area.
    QSize roomOnScreen() const;
    /// Moves the window so that its frame lies on the screen's available area, its top left corner first.
    void keepFrameOnScreen();
    void bindEvents();
    void applyTabOrder();
    /// EdtDir's drop-down list becomes the engine's history; the typed text stays.
    void refreshHistory();
    /// Where message boxes go: over the window once it is on screen.
    QWidget* messageParent();
    /// Shows the store's notice about a settings file it had to keep aside, once.
    void showRegistryNotice();
    /// The catalog of the folder the command line names, read; or the single-file page with the file, checked.
    void openCommandLinePath(const QString& path);
    /// Soon, once for any number of row changes: LblTotals follows the rows.
    void scheduleTotals();
    void updateTotals();
    /// In place of an empty list: the PO files below a folder that has none of its own, and how to list them.
    void showFilesBelow();

    QStringList FArguments;
    std::unique_ptr<TRegistry> FRegistry;
    /// Stored values the loading could not read; they stay as stored until the user sets them.
    UnreadValues FUnread;
    std::unique_ptr<CatalogEngine> FEngine;
    std::unique_ptr<SingleFileCheck> FFileCheck;
    /// The text of the last read that found its folder: a toggle of the subfolders reads it again.
    QString FReadText;
    /// The system's limit on watches kept folders of the shown tree from being watched.
    bool FWatchLimited = false;
    QTimer* FTotalsTimer = nullptr;
    bool FShown = false;
    bool FDestroyed = false;
};

#endif // QUILLMARK_WINDOW_MAIN_H
