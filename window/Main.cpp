#include "window/Main.h"

#include "catalog/CatalogEngine.h"
#include "catalog/CatalogTotals.h"
#include "catalog/SingleFileCheck.h"
#include "resources/Images.h"
#include "runner/LocalPath.h"
#include "runner/Processors.h"
#include "settings/Registry.h"
#include "shell/FolderEntries.h"
#include "shell/FolderTreePanel.h"
#include "shell/ShellNotify.h"
#include "shell/ShellTreeView.h"
#include "window/AnchorLayout.h"
#include "window/ApplicationErrors.h"
#include "window/EnterKey.h"
#include "window/ListViewEx.h"
#include "window/OutputMemo.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>

namespace {

constexpr Qt::Edges LeftTop = Qt::LeftEdge | Qt::TopEdge;
constexpr Qt::Edges LeftTopRight = Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge;
constexpr Qt::Edges TopRight = Qt::TopEdge | Qt::RightEdge;
constexpr Qt::Edges AllEdges = Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge;
constexpr Qt::Edges LeftBottom = Qt::LeftEdge | Qt::BottomEdge;
constexpr Qt::Edges RightBottom = Qt::RightEdge | Qt::BottomEdge;
constexpr Qt::Edges LeftRightBottom = Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge;

/// The catalog list's "File" column loses this much at the first showing, beside its automatic width.
constexpr int FileColumnNarrowing = 16;

template <typename Widget> Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

/// path made absolute against the working folder and cleaned, its bytes kept; as it is when the working folder is
/// gone.
QString absoluteLocalPath(const QString& path)
{
    if (path.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(path);
    std::error_code error;
    const std::filesystem::path working = std::filesystem::current_path(error);
    if (error)
        return path;
    return QDir::cleanPath(decodeLocalPath(QByteArray::fromStdString(working.native())) + QLatin1Char('/') + path);
}

} // namespace

TFrmMain::TFrmMain(const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent)
    , FArguments(arguments)
    , FRegistry(std::make_unique<TRegistry>())
{
    setWindowTitle(QStringLiteral("Quillmark 1.0"));
    setWindowIcon(Images::windowIcon());
    // Replaced by the interface font once the settings are loaded.
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    FEngine = std::make_unique<CatalogEngine>();
    createControls();
    FFileCheck = std::make_unique<SingleFileCheck>(Output);
    bindEvents();
    applyTabOrder();

    // Centred on the screen, at the size the controls are laid out for.
    const QRect available = screen() ? screen()->availableGeometry() : QRect(QPoint(0, 0), DesignClientSize);
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, DesignClientSize, available));

    FormCreate();
    fitLayoutToFont();
    // A font larger than the design's opens a larger window, still centred.
    if (const QSize grown = size(); grown != DesignClientSize)
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, grown, available));
}

TFrmMain::~TFrmMain()
{
    FormDestroy();
    // The runners' handlers reach the checks through this window: they stop first. The single-file check writes
    // into Output, and the list shows the engine's rows: both go before the controls do.
    FFileCheck->FileRunner.Stop();
    FFileCheck.reset();
    List->setModel(nullptr);
    FEngine.reset();
}

void TFrmMain::createControls()
{
    auto* client = new QWidget(this);
    setCentralWidget(client);
    auto* clientLayout = new AnchorLayout(DesignClientSize, client);

    // The bottom bar comes first in the tab order, so it is made first.
    Panel1 = named(new QWidget(client), "Panel1");
    auto* bar = new AnchorLayout({642, 35}, Panel1);
    BtnPref = named(new QPushButton(QStringLiteral("&Preferences"), Panel1), "BtnPref");
    bar->place(BtnPref, {3, 4, 105, 28}, LeftBottom);
    Label3 = named(new QLabel(QStringLiteral("\u00a9 Velloran"), Panel1), "Label3");
    // The credit and the link take the widths of their texts, with room up to the next control.
    bar->place(Label3, {117, 11, 84, 15}, LeftBottom, AnchorLayout::Sizing::PreferredWidth);
    Label2 = named(new QLabel(QString::fromLatin1(WebAddress), Panel1), "Label2");
    Label2->setCursor(Qt::PointingHandCursor);
    // Coloured from the start, whatever the settings hold.
    ApplyInterfaceFont(this, font(), Label2);
    Label2->installEventFilter(this);
    bar->place(Label2, {204, 11, 320, 15}, LeftBottom, AnchorLayout::Sizing::PreferredWidth);
    BtnHalt = named(new QPushButton(QStringLiteral("Cl&ose"), Panel1), "BtnHalt");
    bar->place(BtnHalt, {533, 4, 105, 28}, RightBottom);

    Panel3 = named(new QWidget(client), "Panel3");
    auto* pages = new AnchorLayout({642, 351}, Panel3);
    Page = named(new QTabWidget(Panel3), "Page");
    pages->place(Page, {3, 5, 635, 346}, AllEdges);

    TabSheet1 = named(new QWidget, "TabSheet1");
    auto* sheet1 = new AnchorLayout({627, 317}, TabSheet1);
    EdtDir = named(new QComboBox(TabSheet1), "EdtDir");
    EdtDir->setEditable(true);
    // The history holds texts exactly as they were read: nothing is added by Enter, nothing completed.
    EdtDir->setInsertPolicy(QComboBox::NoInsert);
    EdtDir->setCompleter(nullptr);
    EdtDir->setMaxVisibleItems(CatalogEngine::HistoryLimit);
    EdtDir->installEventFilter(this);
    EdtDir->lineEdit()->installEventFilter(this);
    sheet1->place(EdtDir, {0, 6, 520, -1}, LeftTopRight);
    BtnList = named(new QPushButton(QStringLiteral("&Read folder"), TabSheet1), "BtnList");
    sheet1->place(BtnList, {523, 5, 81, 23}, TopRight);
    BtnPath = named(new QPushButton(QStringLiteral(".."), TabSheet1), "BtnPath");
    sheet1->place(BtnPath, {606, 5, 19, 23}, TopRight);

    PnlCat = named(new QWidget(TabSheet1), "PnlCat");
    sheet1->place(PnlCat, {0, 30, 627, 287}, AllEdges);
    auto* catalog = new AnchorLayout({627, 287}, PnlCat);
    Splitter1 = named(new QSplitter(Qt::Horizontal, PnlCat), "Splitter1");
    Splitter1->setOpaqueResize(true);
    Splitter1->setChildrenCollapsible(false);
    catalog->place(Splitter1, {0, 0, 627, 287}, AllEdges);

    // The folder tree panel at the left, hidden with the handle beside it until ".." opens it; the list fills the
    // rest and alone follows a wider window.
    PnlTree = new FolderTreePanel(EdtDir);
    Label13 = PnlTree->Label13();
    KeepOwnFont(Label13);
    Splitter1->addWidget(PnlTree);
    // The totals line sits under the list inside the splitter's pane, so that it costs the list only its own
    // height and only while it shows.
    auto* listPane = named(new QWidget, "PnlList");
    auto* listColumn = new QVBoxLayout(listPane);
    listColumn->setContentsMargins(0, 0, 0, 0);
    listColumn->setSpacing(2);
    List = named(new TListViewEx, "List");
    List->setModel(&FEngine->Rows());
    listColumn->addWidget(List, 1);
    LblTotals = named(new QLabel, "LblTotals");
    LblTotals->setTextFormat(Qt::PlainText);
    LblTotals->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LblTotals->hide();
    listColumn->addWidget(LblTotals);
    Splitter1->addWidget(listPane);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({FolderTreePanel::PanelWidth, 627 - FolderTreePanel::PanelWidth});
    Page->addTab(TabSheet1, QStringLiteral("Catalog listing"));

    TabSheet2 = named(new QWidget, "TabSheet2");
    auto* sheet2 = new AnchorLayout({627, 317}, TabSheet2);
    EdtFile = named(new QLineEdit(TabSheet2), "EdtFile");
    EdtFile->installEventFilter(this);
    sheet2->place(EdtFile, {0, 6, 520, -1}, LeftTopRight);
    BtnCheck = named(new QPushButton(QStringLiteral("&Check"), TabSheet2), "BtnCheck");
    sheet2->place(BtnCheck, {523, 5, 102, 23}, TopRight);
    Output = named(new TOutputMemo(TabSheet2), "Output");
    // Its own fixed-pitch font, which the interface font leaves alone: every attribute is set here.
    QFont console(QStringLiteral("Lucida Console"), 9);
    console.setStyleHint(QFont::Monospace);
    console.setBold(false);
    console.setItalic(false);
    Output->setFont(console);
    sheet2->place(Output, {0, 30, 626, 287}, AllEdges);
    Page->addTab(TabSheet2, QStringLiteral("Single file output"));

    PnlProg = named(new QWidget(client), "PnlProg");
    auto* progress = new AnchorLayout({187, 21}, PnlProg);
    Progress = named(new QProgressBar(PnlProg), "Progress");
    Progress->setRange(0, 100);
    Progress->setValue(0);
    Progress->setTextVisible(false);
    progress->place(Progress, {2, 2, 185, 17}, LeftTop);
    PnlProg->hide();

    // The preferences panel floats over the pages, hidden until asked for.
    PnlEditor = new PreferencesPanel(*this, client);
    FMenus = new PopupMenus(*this, List, this);

    clientLayout->place(Panel3, {0, 0, 642, 351}, AllEdges);
    clientLayout->place(Panel1, {0, 351, 642, 35}, LeftRightBottom);
    clientLayout->place(PnlProg, {450, 2, 187, 21}, TopRight);
    clientLayout->place(PnlEditor, PreferencesPanel::DesignRect, Qt::Edges());
    // The progress panel lies over the right end of the tab row.
    PnlProg->raise();
    PnlEditor->raise();
}

double TFrmMain::fontScale() const
{
    // The design font as it comes out on this system, which may stand in another family for it.
    const QFont design(QStringLiteral("Tahoma"), 8);
    return std::max(1.0, double(QFontMetrics(font()).height()) / QFontMetrics(design).height());
}

void TFrmMain::fitLayoutToFont()
{
    if (!PnlEditor)
        return;
    // One scale for every part of the window, so that the parts keep their proportions to one another.
    double scale = fontScale();
    for (const AnchorLayout* layout : anchorLayouts())
        scale = std::max(scale, layout->requiredScale(scale));
    applyScale(scale);

    // A screen too small for the window at that scale gets the largest smaller one at which the window, the list
    // at its smallest, still fits: Close stays on the screen, though not every text may show whole.
    const QSize room = roomOnScreen();
    const auto fits = [this, room] {
        const QSize least = minimumSizeHint();
        return least.width() <= room.width() && least.height() <= room.height();
    };
    if (!fits()) {
        double fitting = 1.0;
        for (int halving = 0; halving < 10; ++halving) {
            const double middle = (fitting + scale) / 2;
            applyScale(middle);
            (fits() ? fitting : scale) = middle;
        }
        scale = fitting;
        applyScale(scale);
    }

    // The window grows to the size the controls are laid out for, as far as the screen allows, and never below
    // the size at which they all still fit.
    const QSize wanted = DesignClientSize * scale;
    const QSize grown = size().expandedTo(wanted).boundedTo(room).expandedTo(minimumSizeHint());
    if (grown != size()) {
        resize(grown);
        keepFrameOnScreen();
    }
}

QList<AnchorLayout*> TFrmMain::anchorLayouts() const
{
    QList<AnchorLayout*> layouts;
    for (QWidget* widget : findChildren<QWidget*>())
        if (auto* layout = qobject_cast<AnchorLayout*>(widget->layout()))
            layouts.append(layout);
    return layouts;
}

void TFrmMain::applyScale(double scale)
{
    for (AnchorLayout* layout : anchorLayouts()) {
        layout->setScale(scale);
        // Also at an unchanged scale: the font may have changed what the controls ask for, and with it the minimum.
        layout->invalidate();
    }
    PnlEditor->setScale(scale);
    List->setScale(scale);
    PnlTree->setScale(scale);
    if (!PnlTree->isVisible())
        Splitter1->setSizes({PnlTree->sizeHint().width(), Splitter1->width()});
    centralWidget()->updateGeometry();
    centralWidget()->layout()->activate();
    // The window's own minimum follows only when its layout runs again.
    layout()->activate();
}

QSize TFrmMain::roomOnScreen() const
{
    const QScreen* shown = screen();
    if (!shown)
        return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    // The frame is known once the window is on screen; until then it counts as none.
    return shown->availableGeometry().size() - (frameGeometry().size() - size());
}

void TFrmMain::keepFrameOnScreen()
{
    const QScreen* shown = screen();
    if (!shown)
        return;
    const QRect available = shown->availableGeometry();
    const QRect frame = frameGeometry();
    // Right and bottom first, so that a frame larger than the screen keeps its top left corner, where the title is.
    const int x = std::max(available.left(), std::min(frame.left(), available.right() - frame.width() + 1));
    const int y = std::max(available.top(), std::min(frame.top(), available.bottom() - frame.height() + 1));
    if (QPoint(x, y) != frame.topLeft())
        move(x, y);
}

void TFrmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // The controls have their new font by now: they are told before the window.
    if (event->type() == QEvent::FontChange)
        fitLayoutToFont();
}

void TFrmMain::bindEvents()
{
    CatalogEngine* engine = FEngine.get();
    connect(engine, &CatalogEngine::progressVisibleChanged, PnlProg, &QWidget::setVisible);
    connect(engine, &CatalogEngine::progressPositionChanged, Progress, &QProgressBar::setValue);
    connect(engine, &CatalogEngine::historyChanged, this, &TFrmMain::refreshHistory);
    // The list has no place for a note; the single-file page's output keeps it until its next check.
    connect(engine, &CatalogEngine::jobsLowered, this, [this](int asked, int allowed, const QString& limit) {
        const QString checks = allowed == 1 ? QStringLiteral("1 check") : QStringLiteral("%1 checks").arg(allowed);
        Output->AddLine(QStringLiteral("Running %1 at once instead of %2, as many as %3 allows.")
                            .arg(checks, QString::number(asked), limit));
    });

    Notify = named(new TShellNotify(this), "Notify");
    followFolderEntries(*Notify, *engine);
    Notify->setRootFolder(QStringLiteral("sfDesktop"));
    Notify->setWatchChildren(false);
    // A changed file goes through the window's own handler.
    Notify->OnItemUpdated = [this](TShellNotify* sender, PShellItem pidl, const QString& path, bool interrupt) {
        NotifyItemUpdated(sender, pidl, path, interrupt);
    };
    Notify->setErrorHandler(
        [this](TShellNotify*, std::exception_ptr error) { showApplicationError(messageParent(), error); });
    // The catalog and the single-file check do the work; the window's handlers hand it to them.
    engine->ListRunner.OnNewLine = [this](TCommandRunner* sender, const QByteArray& line, TOutputType type) {
        ListRunnerNewLine(sender, line, type);
    };
    engine->ListRunner.OnTerminated = [this](TCommandRunner* sender) { ListRunnerTerminated(sender); };
    FFileCheck->FileRunner.OnNewLine = [this](TCommandRunner* sender, const QByteArray& line, TOutputType type) {
        FileRunnerNewLine(sender, line, type);
    };

    engine->OnRearmWatcher = [this](const QString& folder) {
        Notify->setEnabled(false);
        // With the subfolders the whole tree is watched, but for the folders no row can come from.
        Notify->setWatchChildren(FEngine->Recursive);
        Notify->setRootFolder(folder);
        Notify->setEnabled(true);
    };
    Notify->setFolderFilter([engine](const QString& path) { return !engine->SkipsFolder(path); });
    Notify->OnWatchLimit = [this](TShellNotify*) {
        FWatchLimited = true;
        scheduleTotals();
    };

    // 5,000 rows checked in a burst recompute the totals once, not 5,000 times.
    FTotalsTimer = new QTimer(this);
    FTotalsTimer->setSingleShot(true);
    FTotalsTimer->setInterval(0);
    connect(FTotalsTimer, &QTimer::timeout, this, &TFrmMain::updateTotals);
    CatalogModel* rows = &engine->Rows();
    connect(rows, &QAbstractItemModel::dataChanged, this, &TFrmMain::scheduleTotals);
    connect(rows, &QAbstractItemModel::rowsInserted, this, &TFrmMain::scheduleTotals);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &TFrmMain::scheduleTotals);
    connect(rows, &QAbstractItemModel::modelReset, this, &TFrmMain::scheduleTotals);

    connect(BtnList, &QPushButton::clicked, this, &TFrmMain::EdtDirDblClick);
    connect(BtnCheck, &QPushButton::clicked, this, &TFrmMain::BtnCheckClick);
    connect(Output, &TOutputMemo::doubleClicked, this, &TFrmMain::BtnCheckClick);
    connect(BtnHalt, &QPushButton::clicked, this, &TFrmMain::BtnHaltClick);
    List->OnEndColumnResize = [this](TListViewEx* sender, int columnIndex, int columnWidth) {
        ListEndColumnResize(sender, columnIndex, columnWidth);
    };

    connect(BtnPref, &QPushButton::clicked, this, &TFrmMain::BtnPrefClick);
    connect(PnlEditor->Button4, &QPushButton::clicked, this, &TFrmMain::Button4Click);
    connect(PnlEditor->BtnFont, &QPushButton::clicked, this, &TFrmMain::BtnFontClick);
    connect(PnlEditor->BtnEditor, &QPushButton::clicked, this, &TFrmMain::BtnEditorClick);
    connect(PnlEditor->ChkSubfolders, &QCheckBox::toggled, this, &TFrmMain::ChkSubfoldersClick);
    // Bound before the settings are loaded: the stored position reaches Label10 and the threshold through it.
    connect(PnlEditor->Track, &QSlider::valueChanged, this, &TFrmMain::TrackChange);
    PnlEditor->EdtEditor->installEventFilter(this);

    connect(FMenus->TBItem3, &QAction::triggered, this, &TFrmMain::Openinexternaledito1Click);
    connect(FMenus->TBItem2, &QAction::triggered, this, &TFrmMain::TBItem2Click);
    connect(FMenus->TBItem1, &QAction::triggered, this, &TFrmMain::Checkmsgfmtoutput1Click);
    connect(FMenus->Getfromfile1, &QAction::triggered, this, &TFrmMain::Getfromfile1Click);
    connect(List, &QAbstractItemView::doubleClicked, this, &TFrmMain::List2DblClick);
    List->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(List, &QWidget::customContextMenuRequested, this,
            [this](QPoint pos) { FMenus->popupAt(List->viewport()->mapToGlobal(pos)); });
    // The folder box keeps the edit box's own menu, with the second menu's item added to it.
    QLineEdit* folderText = EdtDir->lineEdit();
    folderText->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(folderText, &QWidget::customContextMenuRequested, this, [this, folderText](QPoint pos) {
        QMenu* menu = folderText->createStandardContextMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->setStyleSheet(TBSkin1StyleSheet());
        menu->addSeparator();
        menu->addAction(FMenus->Getfromfile1);
        menu->popup(folderText->mapToGlobal(pos));
    });

    connect(BtnPath, &QPushButton::clicked, this, &TFrmMain::BtnPathClick);
    PnlTree->Label13()->OnClick = [this] { Label13Click(); };
    PnlTree->OnReadFolder = [this] { EdtDirDblClick(); };
    PnlTree->setErrorHandler([this](std::exception_ptr error) { showApplicationError(messageParent(), error); });
    // Called after the watcher moved and before the files are listed; an error there ends the read.
    engine->OnFolderRead = [this](const QString& text) { PnlTree->FolderRead(text); };
}

void TFrmMain::applyTabOrder()
{
    // The bottom bar comes before the pages, being made first. On each page the big control comes before the box
    // and its buttons. The page control itself stays out of these calls: moving its own descendants behind it
    // would cut them out of the chain.
    const QList<QList<QWidget*>> chains{
        {BtnPref, BtnHalt}, {List, EdtDir, BtnList, BtnPath}, {Output, EdtFile, BtnCheck}};
    for (const QList<QWidget*>& chain : chains) {
        for (qsizetype i = 1; i < chain.size(); ++i)
            QWidget::setTabOrder(chain.at(i - 1), chain.at(i));
    }
}

void TFrmMain::FormCreate()
{
    SettingsLoad load;
    runGuarded(messageParent(), [&] { load = LoadSettings(*FRegistry, *this); });
    FUnread = load.Unread;
    if (!load.Errors.isEmpty())
        QMessageBox::critical(messageParent(), QString::fromLatin1(ApplicationTitle),
                              load.Errors.join(QStringLiteral("\n\n")));
    showRegistryNotice();

    // From here on a change of the folder box or of the history is the user's, and is saved at the end.
    connect(EdtDir, &QComboBox::editTextChanged, this, [this] { FUnread.remove(QStringLiteral("LastDir")); });
    connect(FEngine.get(), &CatalogEngine::historyChanged, this, [this] {
        for (int n = 1; n <= FolderHistorySize; ++n)
            FUnread.remove(QStringLiteral("Dir%1").arg(n));
    });
}

void TFrmMain::FormShow()
{
    Page->setCurrentIndex(0);
    const QString first = FArguments.value(1);
    if (first == QLatin1String("-f")) {
        Page->setCurrentIndex(1);
        EdtFile->setText(FArguments.value(2));
        CheckSingleFile();
    }
    ListHeader* header = List->listHeader();
    if (header->count() > 0)
        header->resizeSection(0, std::max(header->sectionMinimum(0), header->sectionSize(0) - FileColumnNarrowing));
    // Another option is none of ours.
    if (!first.isEmpty() && !first.startsWith(QLatin1Char('-')))
        openCommandLinePath(absoluteLocalPath(first));
}

void TFrmMain::openCommandLinePath(const QString& path)
{
    struct stat status;
    const bool exists = ::stat(encodeLocalPath(path).constData(), &status) == 0;
    // What does not exist opens where it would have been looked for, which says that it is not there: a name with a
    // PO file's suffix on the single-file page, anything else in the catalog.
    if (exists ? S_ISDIR(status.st_mode) : !path.endsWith(QLatin1String(".po"), Qt::CaseInsensitive)) {
        EdtDir->setEditText(path);
        ReadFolder();
    } else {
        checkOnSingleFilePage(path);
    }
}

void TFrmMain::FormDestroy()
{
    if (FDestroyed)
        return;
    FDestroyed = true;
    // A check stopped here is not applied to its row.
    FEngine->StopChecks();
    runGuarded(messageParent(), [this] { SaveFolders(*FRegistry, EdtDir->currentText(), FEngine->History, FUnread); });
    showRegistryNotice();
    FRegistry->CloseKey();
}

void TFrmMain::EdtDirDblClick()
{
    runGuarded(messageParent(), [this] { ReadFolder(); });
}

bool TFrmMain::EdtDirKeyPress(const QKeyEvent& key)
{
    if (!isEnter(key))
        return false;
    runGuarded(messageParent(), [this] { ReadFolder(); });
    return true;
}

bool TFrmMain::EdtFileKeyPress(const QKeyEvent& key)
{
    if (!isEnter(key))
        return false;
    runGuarded(messageParent(), [this] { CheckSingleFile(); });
    return true;
}

void TFrmMain::BtnCheckClick()
{
    runGuarded(messageParent(), [this] { CheckSingleFile(); });
}

void TFrmMain::BtnHaltClick()
{
    // Leaves the event loop; whoever owns the window then destroys it, which saves the folders.
    QCoreApplication::exit(0);
}

void TFrmMain::BtnPrefClick()
{
    PnlEditor->BtnPrefClick();
}

void TFrmMain::Button4Click()
{
    PnlEditor->Button4Click();
}

bool TFrmMain::EdtEditorKeyPress(const QKeyEvent& key)
{
    bool consumed = false;
    runGuarded(messageParent(), [&] { consumed = PnlEditor->EdtEditorKeyPress(key); });
    return consumed;
}

void TFrmMain::TrackChange(int position)
{
    PnlEditor->TrackChange(position);
}

void TFrmMain::BtnFontClick()
{
    runGuarded(messageParent(), [this] { PnlEditor->BtnFontClick(); });
}

void TFrmMain::BtnEditorClick()
{
    runGuarded(messageParent(), [this] { PnlEditor->BtnEditorClick(); });
}

void TFrmMain::Openinexternaledito1Click()
{
    runGuarded(messageParent(), [this] { FMenus->Openinexternaledito1Click(); });
}

void TFrmMain::TBItem2Click()
{
    runGuarded(messageParent(), [this] { FMenus->TBItem2Click(); });
}

void TFrmMain::Checkmsgfmtoutput1Click()
{
    runGuarded(messageParent(), [this] { FMenus->Checkmsgfmtoutput1Click(); });
}

void TFrmMain::List2DblClick()
{
    runGuarded(messageParent(), [this] { FMenus->List2DblClick(DefaultAction); });
}

void TFrmMain::Getfromfile1Click()
{
    if (const QString folder = FolderPartOf(EdtFile->text()); !folder.isEmpty())
        EdtDir->setEditText(folder);
}

void TFrmMain::BtnPathClick()
{
    const bool first = !PnlTree->ShellTree();
    runGuarded(messageParent(), [this] { PnlTree->BtnPathClick(); });
    // The tree's events go to the window's handlers, as every other control's do. A first opening that failed
    // still made the tree.
    if (TShellTreeView* tree = ShellTree(); first && tree) {
        tree->OnChange = [this](TShellTreeView* Sender, const QModelIndex& Node) { ShellTreeChange(Sender, Node); };
        tree->OnDblClick = [this](TShellTreeView* Sender) { ShellTreeDblClick(Sender); };
    }
}

void TFrmMain::Label13Click()
{
    PnlTree->Label13Click();
}

void TFrmMain::ShellTreeChange(TShellTreeView* Sender, const QModelIndex& Node)
{
    PnlTree->ShellTreeChange(Sender, Node);
}

void TFrmMain::ShellTreeDblClick(TShellTreeView* Sender)
{
    PnlTree->ShellTreeDblClick(Sender);
}

TShellTreeView* TFrmMain::ShellTree() const
{
    return PnlTree->ShellTree();
}

void TFrmMain::Label2Click()
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(WebAddress)));
}

void TFrmMain::ListEndColumnResize(TListViewEx*, int, int)
{
    // The painter places every text from the column widths, so every row changes.
    List->invalidate();
}

void TFrmMain::ListRunnerNewLine(TCommandRunner* Sender, const QByteArray& NewLine, TOutputType OutputType)
{
    FEngine->ListRunnerNewLine(Sender, NewLine, OutputType);
}

void TFrmMain::ListRunnerTerminated(TCommandRunner* Sender)
{
    FEngine->ListRunnerTerminated(Sender);
}

void TFrmMain::FileRunnerNewLine(TCommandRunner* Sender, const QByteArray& NewLine, TOutputType OutputType)
{
    FFileCheck->FileRunnerNewLine(Sender, NewLine, OutputType);
}

void TFrmMain::NotifyItemUpdated(TShellNotify*, PShellItem, const QString& Path, bool)
{
    FEngine->NotifyItemUpdated(Path);
}

void TFrmMain::ReadFolder()
{
    // Handed over as it is: a name that is not UTF-8 keeps its bytes in the text, and the engine gives them to
    // the system.
    const QString text = EdtDir->currentText();
    List->setEmptyText(QString());
    FWatchLimited = false;
    FEngine->ReadFolder(text);
    // A typo leaves an empty list; it says why in place, where the user looks.
    if (!FEngine->FolderShown()) {
        List->setEmptyText(QStringLiteral("No such folder: %1").arg(displayLocalPath(text)));
        return;
    }
    FReadText = text;
    showFilesBelow();
}

void TFrmMain::showFilesBelow()
{
    bool atLeast = false;
    const int below = FEngine->FilesBelow(&atLeast);
    if (below <= 0 || FEngine->Rows().rowCount() > 0)
        return;
    List->setEmptyText(
        QStringLiteral("No PO file here; %1%2 in subfolders: tick Include subfolders under Preferences to list them")
            .arg(below)
            .arg(atLeast ? QStringLiteral(" or more") : QString()));
}

void TFrmMain::ChkSubfoldersClick(bool on)
{
    if (FEngine->Recursive == on)
        return;
    FEngine->Recursive = on;
    FUnread.remove(QStringLiteral("Subfolders"));
    runGuarded(messageParent(), [&] { StoreSubfolders(*FRegistry, on, FUnread); });
    showRegistryNotice();
    scheduleTotals();
    if (!FEngine->FolderShown() || FReadText.isNull())
        return;
    runGuarded(messageParent(), [this] {
        List->setEmptyText(QString());
        FWatchLimited = false;
        FEngine->ReadFolder(FReadText);
        showFilesBelow();
    });
}

void TFrmMain::scheduleTotals()
{
    FTotalsTimer->start();
}

void TFrmMain::updateTotals()
{
    LblTotals->setVisible(FEngine->Recursive);
    if (!FEngine->Recursive)
        return;
    QString text = totalsText(FEngine->Rows().rows());
    if (FWatchLimited)
        text += QLatin1Char('\n') + watchLimitMessage();
    LblTotals->setText(text);
}

QString TFrmMain::totalsText(const QList<CatalogRow>& rows)
{
    // A few group lines keep the list tall enough to use; the rest are counted.
    constexpr int ShownGroups = 4;
    QStringList lines{QStringLiteral("Total: %1").arg(catalogTotals(rows).Text())};
    const QList<CatalogGroupTotals> groups = catalogGroupTotals(rows);
    if (groups.size() > 1) {
        for (qsizetype i = 0; i < std::min<qsizetype>(groups.size(), ShownGroups); ++i)
            lines.append(QStringLiteral("%1  %2").arg(groups.at(i).Group, groups.at(i).Totals.Text()));
        if (groups.size() > ShownGroups)
            lines.append(QStringLiteral("\u2026 and %1 more folders").arg(groups.size() - ShownGroups));
    }
    return lines.join(QLatin1Char('\n'));
}

void TFrmMain::CheckSingleFile()
{
    FFileCheck->CheckSingleFile(EdtFile->text());
}

void TFrmMain::setConsoleFontName(const QString& name)
{
    QFont font = Output->font();
    font.setFamily(name);
    // A name this system lacks still falls back to a fixed-pitch font.
    font.setStyleHint(QFont::Monospace);
    Output->setFont(font);
}

void TFrmMain::setConsoleFontSize(qint32 points)
{
    if (points <= 0)
        return;
    QFont font = Output->font();
    font.setPointSize(points);
    Output->setFont(font);
}

void TFrmMain::setInterfaceFont(const InterfaceFont& font, const QString& buttonCaption)
{
    PnlEditor->BtnFont->setText(buttonCaption);
    ApplyInterfaceFont(this, MakeInterfaceFont(font), Label2);
}

void TFrmMain::setDefaultAction(qint32 action)
{
    DefaultAction = action;
}

void TFrmMain::setEditorPath(const QString& path)
{
    EditorPath = path;
}

void TFrmMain::showDefaultAction()
{
    PnlEditor->selectDefaultAction(DefaultAction);
    MarkDefaultItem();
}

void TFrmMain::setTrackPosition(qint32 position)
{
    PnlEditor->setTrackPosition(position);
}

void TFrmMain::setYellowThreshold(YellowThreshold threshold)
{
    FEngine->FYellowNum = threshold.Num;
    FEngine->FYellowDen = threshold.Den;
}

void TFrmMain::setJobs(qint32 jobs)
{
    // Counted at each start rather than stored, so that the setting follows the machine it runs on.
    FEngine->Jobs = jobs == 0 ? availableProcessors() : jobs;
}

void TFrmMain::setSubfolders(bool on)
{
    FEngine->Recursive = on;
    const QSignalBlocker blocker(PnlEditor->ChkSubfolders);
    PnlEditor->ChkSubfolders->setChecked(on);
    scheduleTotals();
}

void TFrmMain::updateCustomEditorItem()
{
    UpdateCustomEditorItem();
}

void TFrmMain::MarkDefaultItem()
{
    FMenus->MarkDefaultItem(DefaultAction);
}

void TFrmMain::UpdateCustomEditorItem()
{
    FMenus->UpdateCustomEditorItem(EditorPath);
}

TRegistry& TFrmMain::registry()
{
    return *FRegistry;
}

UnreadValues& TFrmMain::unreadValues()
{
    return FUnread;
}

QString TFrmMain::editorPath() const
{
    return EditorPath;
}

QString TFrmMain::shownFolder() const
{
    return FEngine->FFolder;
}

void TFrmMain::applyInterfaceFont(const QFont& font)
{
    ApplyInterfaceFont(this, font, Label2);
}

void TFrmMain::checkOnSingleFilePage(const QString& path)
{
    EdtFile->setText(path);
    Page->setCurrentIndex(1);
    CheckSingleFile();
}

void TFrmMain::setFolderText(const QString& text)
{
    EdtDir->setEditText(text);
}

void TFrmMain::appendFolderHistory(const QString& folder)
{
    FEngine->History.append(folder);
    refreshHistory();
}

void TFrmMain::refreshHistory()
{
    const QString text = EdtDir->currentText();
    const QSignalBlocker blocker(EdtDir);
    EdtDir->clear();
    EdtDir->addItems(FEngine->History);
    EdtDir->setCurrentIndex(-1);
    EdtDir->setEditText(text);
}

QWidget* TFrmMain::messageParent()
{
    return isVisible() ? this : nullptr;
}

void TFrmMain::showRegistryNotice()
{
    const QString notice = FRegistry->takeNotice();
    if (!notice.isEmpty())
        QMessageBox::warning(messageParent(), QString::fromLatin1(ApplicationTitle), notice);
}

void TFrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!FShown) {
        FShown = true;
        // The frame is known now, and it too must fit on the screen.
        if (const QSize room = roomOnScreen(); width() > room.width() || height() > room.height())
            fitLayoutToFont();
        keepFrameOnScreen();
        runGuarded(messageParent(), [this] { FormShow(); });
    }
}

bool TFrmMain::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto& key = *static_cast<QKeyEvent*>(event);
        if (watched == EdtDir || watched == EdtDir->lineEdit())
            return EdtDirKeyPress(key);
        if (watched == EdtFile)
            return EdtFileKeyPress(key);
        if (watched == PnlEditor->EdtEditor)
            return EdtEditorKeyPress(key);
        break;
    }
    case QEvent::MouseButtonDblClick:
        if (watched == EdtDir->lineEdit() && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            EdtDirDblClick();
        break;
    case QEvent::MouseButtonRelease:
        if (watched == Label2) {
            const auto& mouse = *static_cast<QMouseEvent*>(event);
            if (mouse.button() == Qt::LeftButton && Label2->rect().contains(mouse.position().toPoint()))
                Label2Click();
        }
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}
