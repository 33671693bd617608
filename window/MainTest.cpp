#include "window/Main.h"

#include "catalog/CatalogEngine.h"
#include "catalog/CatalogTestSupport.h"
#include "catalog/SingleFileCheck.h"
#include "runner/Processors.h"
#include "settings/WindowSettings.h"
#include "shell/FolderTreePanel.h"
#include "shell/ShellNotify.h"
#include "shell/ShellTreeView.h"
#include "shell/TestSupport.h"
#include "window/ListViewEx.h"
#include "window/OutputMemo.h"
#include "window/PopupMenus.h"
#include "window/PreferencesPanel.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QSlider>
#include <QSplitter>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <ostream>

static void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

static void PrintTo(const QStringList& list, std::ostream* out)
{
    *out << '{';
    for (qsizetype i = 0; i < list.size(); ++i)
        *out << (i ? ", " : "") << '"' << list.at(i).toStdString() << '"';
    *out << '}';
}

namespace {

// Before anything can read the settings, they point away from the real user's: each test then points them at
// a folder of its own.
QTemporaryDir& isolatedConfigHome()
{
    static QTemporaryDir home;
    return home;
}
const bool configHomeIsolated = [] {
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(isolatedConfigHome().path()));
    return true;
}();

// Before the application starts, the headless platform gets a screen of a small desktop's size, the end-to-end
// test's: its own 800x800 has too little room for a 16-point font's window, which must fit on its screen.
const bool desktopSizedScreen = [] {
    if (qgetenv("QT_QPA_PLATFORM") != "offscreen")
        return false;
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" QUILLMARK_TEST_SCREEN);
    return true;
}();

QString corpus(const QString& name)
{
    return QDir::cleanPath(QStringLiteral(QUILLMARK_CORPUS "/") + name);
}

/// The rows the corpus expects for its files: file name to status, total, translated, fuzzy, untranslated.
QHash<QString, QStringList> expectedRows(const QString& tsv)
{
    QHash<QString, QStringList> rows;
    QFile file(corpus(tsv));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return rows;
    file.readLine();
    while (!file.atEnd()) {
        const QStringList fields = QString::fromUtf8(file.readLine()).trimmed().split(QLatin1Char('\t'));
        if (fields.size() >= 6)
            rows.insert(fields.at(0), fields.mid(1, 5));
    }
    return rows;
}

/// What msgfmt prints for path, the way the single-file page runs it: found on PATH, standard output and error in
/// one stream.
QStringList msgfmtOutput(const QString& path)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    // Through the shell, so that msgfmt names itself as it does when found on PATH.
    process.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"), QStringLiteral("exec msgfmt \"$0\" -v -c -o /dev/null"), path});
    process.waitForFinished(30000);
    QStringList lines = QString::fromLocal8Bit(process.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

/// Closes every message box as soon as it shows, keeping its title and text, so that a box never waits for a
/// user.
class MessageBoxCatcher
{
public:
    struct Box
    {
        QString Title;
        QString Text;
    };

    MessageBoxCatcher()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(widget);
                if (box && box->isVisible()) {
                    m_boxes.append({box->windowTitle(), box->text()});
                    box->done(QMessageBox::Ok);
                }
            }
        });
        m_timer.start();
    }

    const QList<Box>& boxes() const { return m_boxes; }

private:
    QTimer m_timer;
    QList<Box> m_boxes;
};

class UrlReceiver : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        ASSERT_TRUE(m_work.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path()));
    }

    void TearDown() override
    {
        m_window.reset();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(isolatedConfigHome().path()));
    }

    QString settingsFolder() const { return m_home.filePath(QStringLiteral("Velloran/Quillmark")); }
    QString settingsFile() const { return settingsFolder() + QStringLiteral("/settings.json"); }

    void writeSettings(const QByteArray& contents)
    {
        ASSERT_TRUE(QDir().mkpath(settingsFolder()));
        writeTextFile(settingsFile(), contents);
    }

    QJsonObject settings() const
    {
        QFile file(settingsFile());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    TFrmMain& openWindow(const QStringList& arguments = {QStringLiteral("quillmark")})
    {
        m_window = std::make_unique<TFrmMain>(arguments);
        return *m_window;
    }

    TFrmMain& showWindow(const QStringList& arguments = {QStringLiteral("quillmark")})
    {
        TFrmMain& window = openWindow(arguments);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        return window;
    }

    /// Destroys the window, as the end of the program does.
    void closeWindow() { m_window.reset(); }

    /// A folder in the work area holding copies of corpus files.
    QString corpusFolder(const QString& name, const QStringList& files)
    {
        const QString folder = m_work.filePath(name);
        EXPECT_TRUE(QDir().mkpath(folder));
        for (const QString& file : files)
            EXPECT_TRUE(QFile::copy(corpus(file), folder + QLatin1Char('/') + QFileInfo(file).fileName()));
        return folder;
    }

    /// A folder without PO files of its own and two below it, in two domain folders.
    QString corpusTree()
    {
        const QString folder = m_work.filePath(QStringLiteral("project"));
        EXPECT_TRUE(QDir().mkpath(folder + QStringLiteral("/po")));
        EXPECT_TRUE(QDir().mkpath(folder + QStringLiteral("/help/de")));
        EXPECT_TRUE(QFile::copy(corpus(QStringLiteral("thunar/de.po")), folder + QStringLiteral("/po/de.po")));
        EXPECT_TRUE(QFile::copy(corpus(QStringLiteral("thunar/am.po")), folder + QStringLiteral("/help/de/de.po")));
        return folder;
    }

    static QStringList captions(TFrmMain& window)
    {
        QStringList result;
        for (const CatalogRow& row : window.Engine().Rows().rows())
            result.append(row.Caption);
        return result;
    }

    static QStringList comboItems(const QComboBox& box)
    {
        QStringList items;
        for (int i = 0; i < box.count(); ++i)
            items.append(box.itemText(i));
        return items;
    }

    /// Types text into the folder box over what it holds, then presses Enter.
    static void typeFolderAndEnter(TFrmMain& window, const QString& folder)
    {
        window.Page->setCurrentIndex(0);
        window.EdtDir->setFocus();
        window.EdtDir->lineEdit()->selectAll();
        QTest::keyClicks(window.EdtDir, folder);
        QTest::keyClick(window.EdtDir, Qt::Key_Return);
    }

    QTemporaryDir m_home;
    QTemporaryDir m_work;
    MessageBoxCatcher m_boxes;
    std::unique_ptr<TFrmMain> m_window;
};

TEST_F(MainWindowTest, FirstStartWritesEveryDefaultAndAppliesIt)
{
    TFrmMain& window = openWindow();

    const QJsonObject expected{
        {QStringLiteral("LastDir"), QDir::homePath()},
        {QStringLiteral("Editor"), DefaultEditor()},
        {QStringLiteral("Ratio"), 3},
        {QStringLiteral("Default"), 0},
        {QStringLiteral("Font"), QStringLiteral("Tahoma")},
        {QStringLiteral("FontSize"), 8},
        {QStringLiteral("FontStyle"), QString()},
        {QStringLiteral("Jobs"), 0},
    };
    EXPECT_EQ(settings(), expected);
    EXPECT_TRUE(m_boxes.boxes().isEmpty());

    EXPECT_EQ(window.EdtDir->currentText(), QDir::homePath());
    EXPECT_EQ(window.EdtDir->count(), 0);
    EXPECT_EQ(window.EditorPath, DefaultEditor());
    EXPECT_EQ(window.DefaultAction, 0);
    EXPECT_EQ(window.PnlEditor->BtnFont->text(), QStringLiteral("Tahoma, 8, Normal"));
    EXPECT_EQ(window.Engine().FYellowNum, 1);
    EXPECT_EQ(window.Engine().FYellowDen, 2);
    EXPECT_EQ(window.Engine().Jobs, availableProcessors());
    EXPECT_EQ(window.font().family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(window.font().pointSize(), 8);
    EXPECT_EQ(window.Label2->font(), window.font());
    EXPECT_EQ(window.Label2->palette().color(QPalette::WindowText), LinkLabelColor);

    // "Lucida Console" is not installed here: the memo still gets a fixed-pitch font.
    EXPECT_EQ(window.Output->font().family(), QStringLiteral("Lucida Console"));
    EXPECT_EQ(window.Output->font().pointSize(), 9);
    EXPECT_TRUE(QFontInfo(window.Output->font()).fixedPitch());
}

TEST_F(MainWindowTest, StoredJobsOfOneRestoreOneCheckAtATime)
{
    writeSettings(R"({"Jobs": 1})");
    EXPECT_EQ(openWindow().Engine().Jobs, 1);
}

TEST_F(MainWindowTest, StoredFontsGoToTheWindowAndTheMemoKeepsItsOwn)
{
    writeSettings(R"({"Font": "DejaVu Serif", "FontSize": 11, "FontStyle": "bi", "ConsoleFont": "DejaVu Sans Mono",
                      "ConsoleFontSize": 12})");
    TFrmMain& window = openWindow();

    EXPECT_EQ(window.PnlEditor->BtnFont->text(), QStringLiteral("DejaVu Serif, 11, Bold Italic"));
    EXPECT_EQ(window.font().family(), QStringLiteral("DejaVu Serif"));
    EXPECT_TRUE(window.font().bold());
    EXPECT_TRUE(window.EdtFile->font().italic());
    EXPECT_TRUE(window.Label2->font().bold());
    EXPECT_EQ(window.Label2->palette().color(QPalette::WindowText), LinkLabelColor);
    EXPECT_EQ(window.Output->font().family(), QStringLiteral("DejaVu Sans Mono"));
    EXPECT_EQ(window.Output->font().pointSize(), 12);
    EXPECT_FALSE(window.Output->font().bold());
    EXPECT_FALSE(window.Output->font().italic());
}

TEST_F(MainWindowTest, ControlsSitAtTheirPlacesAndFollowTheirAnchors)
{
    TFrmMain& window = showWindow();
    QWidget* client = window.centralWidget();

    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quillmark 1.0"));
    EXPECT_FALSE(window.windowIcon().isNull());
    ASSERT_EQ(client->size(), QSize(642, 386));
    EXPECT_EQ(window.Page->geometry(), QRect(3, 5, 635, 346));
    EXPECT_EQ(window.Page->tabText(0), QStringLiteral("Catalog listing"));
    EXPECT_EQ(window.Page->tabText(1), QStringLiteral("Single file output"));
    EXPECT_EQ(window.Page->currentIndex(), 0);
    EXPECT_EQ(window.Panel1->geometry(), QRect(0, 351, 642, 35));
    EXPECT_EQ(window.BtnPref->geometry(), QRect(3, 4, 105, 28));
    EXPECT_EQ(window.BtnPref->text(), QStringLiteral("&Preferences"));
    EXPECT_EQ(window.Label3->pos(), QPoint(117, 11));
    EXPECT_EQ(window.Label2->pos(), QPoint(204, 11));
    EXPECT_EQ(window.Label2->text(), QString::fromLatin1(TFrmMain::WebAddress));
    EXPECT_EQ(window.BtnHalt->geometry(), QRect(533, 4, 105, 28));
    EXPECT_EQ(window.BtnHalt->text(), QStringLiteral("Cl&ose"));
    EXPECT_EQ(window.PnlProg->geometry(), QRect(450, 2, 187, 21));
    EXPECT_FALSE(window.PnlProg->isVisible());
    window.PnlProg->show();
    QApplication::processEvents();
    EXPECT_EQ(window.Progress->geometry(), QRect(2, 2, 185, 17));
    window.PnlProg->hide();
    EXPECT_EQ(window.Progress->maximum(), 100);
    EXPECT_EQ(window.PnlEditor->geometry(), QRect(115, 72, 412, 209));
    EXPECT_FALSE(window.PnlEditor->isVisible());
    EXPECT_FALSE(window.PnlTree->isVisible());

    // The pages' controls keep their distances from the page's edges as laid out for a page of 627 by 317.
    const QSize sheet = window.TabSheet1->size();
    const int wider = sheet.width() - 627;
    const int taller = sheet.height() - 317;
    EXPECT_EQ(window.EdtDir->geometry().topLeft(), QPoint(0, 6));
    EXPECT_EQ(window.EdtDir->width(), 520 + wider);
    EXPECT_EQ(window.BtnList->geometry(), QRect(523 + wider, 5, 81, 23));
    EXPECT_EQ(window.BtnList->text(), QStringLiteral("&Read folder"));
    EXPECT_EQ(window.BtnPath->geometry(), QRect(606 + wider, 5, 19, 23));
    EXPECT_EQ(window.PnlCat->geometry(), QRect(0, 30, 627 + wider, 287 + taller));
    EXPECT_EQ(window.List->width(), window.PnlCat->width());
    window.Page->setCurrentIndex(1);
    QApplication::processEvents();
    EXPECT_EQ(window.TabSheet2->size(), sheet);
    EXPECT_EQ(window.BtnCheck->geometry(), QRect(523 + wider, 5, 102, 23));
    EXPECT_EQ(window.BtnCheck->text(), QStringLiteral("&Check"));
    EXPECT_EQ(window.Output->geometry(), QRect(0, 30, 626 + wider, 287 + taller));
    EXPECT_TRUE(window.Output->isReadOnly());

    QHeaderView* header = window.List->header();
    const QStringList columns{QStringLiteral("File"),        QStringLiteral("Status"),     QStringLiteral("Graph"),
                              QStringLiteral("Total"),       QStringLiteral("Translated"), QStringLiteral("Fuzzy"),
                              QStringLiteral("Untranslated")};
    ASSERT_EQ(header->count(), columns.size());
    for (int i = 0; i < header->count(); ++i)
        EXPECT_EQ(window.List->model()->headerData(i, Qt::Horizontal).toString(), columns.at(i));
    // At the design font "Translated" and "Untranslated" need more than their 50 pixels; the others keep theirs.
    const QList<int> others{
        70, 100, 50, window.List->listHeader()->sectionMinimum(4), 50, window.List->listHeader()->sectionMinimum(6)};
    EXPECT_GT(others.at(3), 50);
    int othersWidth = 0;
    for (int i = 1; i < header->count(); ++i) {
        EXPECT_EQ(header->sectionSize(i), others.at(i - 1));
        othersWidth += others.at(i - 1);
    }
    const int fileColumn = header->sectionSize(0);
    // The first showing takes 16 pixels off the automatic width.
    EXPECT_EQ(fileColumn, window.List->viewport()->width() - othersWidth - 16);

    window.resize(742, 446);
    QApplication::processEvents();
    ASSERT_EQ(client->size(), QSize(742, 446));
    EXPECT_EQ(window.EdtFile->width(), 620 + wider);
    EXPECT_EQ(window.BtnCheck->x(), 623 + wider);
    EXPECT_EQ(window.Output->size(), QSize(726 + wider, 347 + taller));
    EXPECT_EQ(window.PnlProg->geometry(), QRect(550, 2, 187, 21));
    EXPECT_EQ(window.Panel1->geometry(), QRect(0, 411, 742, 35));
    EXPECT_EQ(window.BtnPref->geometry(), QRect(3, 4, 105, 28));
    EXPECT_EQ(window.BtnHalt->geometry(), QRect(633, 4, 105, 28));
    // Without anchors the panel keeps its size and its centre its relative place.
    EXPECT_EQ(window.PnlEditor->geometry(), QRect(165, 99, 412, 209));
    window.Page->setCurrentIndex(0);
    QApplication::processEvents();
    EXPECT_EQ(window.EdtDir->width(), 620 + wider);
    EXPECT_EQ(window.BtnList->x(), 623 + wider);
    EXPECT_EQ(window.BtnPath->x(), 706 + wider);
    // Only "File" follows the list's width.
    EXPECT_EQ(header->sectionSize(0), window.List->viewport()->width() - othersWidth);
    for (int i = 1; i < header->count(); ++i)
        EXPECT_EQ(header->sectionSize(i), others.at(i - 1));
}

/// What a person sees of a page: its controls, each whole, none lying over another.
class LayoutCheck
{
public:
    /// Collects the visible controls under each root, not looking inside a control.
    explicit LayoutCheck(const QList<QWidget*>& roots)
    {
        for (QWidget* root : roots)
            collect(root);
    }

    /// Every label, button, check box, tab and column header shows its whole text: the text's width and height in
    /// its font fit the rectangle it is drawn in.
    void expectWholeTexts() const
    {
        for (QWidget* control : m_controls) {
            SCOPED_TRACE(name(control).toStdString());
            const QFontMetrics metrics(control->font());
            if (auto* label = qobject_cast<QLabel*>(control)) {
                if (label->text().isEmpty()) {
                    // A picture, such as the folder tree's close mark.
                } else if (label->wordWrap()) {
                    EXPECT_LE(label->heightForWidth(label->width()), label->height());
                } else {
                    EXPECT_LE(metrics.horizontalAdvance(label->text()), label->contentsRect().width());
                    EXPECT_LE(metrics.height(), label->contentsRect().height());
                }
            } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
                const QString text = QString(button->text()).remove(QLatin1Char('&'));
                int room = button->width() - 4;
                if (qobject_cast<QCheckBox*>(button))
                    room -= button->style()->pixelMetric(QStyle::PM_IndicatorWidth);
                EXPECT_LE(metrics.horizontalAdvance(text), room) << text.toStdString();
                EXPECT_LE(metrics.height(), button->height() - 2) << text.toStdString();
            } else if (auto* tabs = qobject_cast<QTabBar*>(control)) {
                for (int i = 0; i < tabs->count(); ++i) {
                    EXPECT_LE(metrics.horizontalAdvance(tabs->tabText(i)), tabs->tabRect(i).width());
                    EXPECT_TRUE(tabs->rect().contains(tabs->tabRect(i)));
                }
            } else if (auto* list = qobject_cast<QTreeView*>(control)) {
                QHeaderView* header = list->header();
                const QFontMetrics captions(header->font());
                const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin);
                for (int i = 0; i < header->count(); ++i) {
                    const QString caption = list->model()->headerData(i, Qt::Horizontal).toString();
                    EXPECT_LE(captions.horizontalAdvance(caption) + 2 * margin, header->sectionSize(i))
                        << caption.toStdString();
                }
            }
        }
    }

    /// No two controls share a pixel.
    void expectNoOverlaps() const
    {
        for (qsizetype i = 0; i < m_controls.size(); ++i)
            for (qsizetype j = 0; j < i; ++j)
                EXPECT_FALSE(globalRect(m_controls.at(i)).intersects(globalRect(m_controls.at(j))))
                    << name(m_controls.at(i)).toStdString() << " overlaps " << name(m_controls.at(j)).toStdString();
    }

private:
    void collect(QWidget* widget)
    {
        if (!widget->isVisible())
            return;
        const bool control = qobject_cast<QLabel*>(widget) || qobject_cast<QAbstractButton*>(widget)
            || qobject_cast<QComboBox*>(widget) || qobject_cast<QLineEdit*>(widget)
            || qobject_cast<QAbstractSlider*>(widget) || qobject_cast<QAbstractScrollArea*>(widget)
            || qobject_cast<QProgressBar*>(widget) || qobject_cast<QTabBar*>(widget);
        if (control) {
            m_controls.append(widget);
            return;
        }
        for (QWidget* child : widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            collect(child);
    }

    static QRect globalRect(QWidget* widget)
    {
        if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
            QRect used;
            for (int i = 0; i < tabs->count(); ++i)
                used |= tabs->tabRect(i);
            return used.translated(tabs->mapToGlobal(QPoint(0, 0)));
        }
        return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
    }

    static QString name(QWidget* widget)
    {
        const QString own = widget->objectName();
        return QStringLiteral("%1 %2").arg(QString::fromLatin1(widget->metaObject()->className()),
                                           own.isEmpty() ? widget->parentWidget()->objectName() : own);
    }

    QList<QWidget*> m_controls;
};

class WindowLayoutTest : public MainWindowTest, public ::testing::WithParamInterface<int>
{
public:
    /// Each page as it is seen: the catalog with the folder tree open, the single-file page, and the preferences
    /// panel by itself, since it lies over the pages on purpose.
    static void expectWholeAndApart(TFrmMain& window)
    {
        QApplication::processEvents();
        window.Page->setCurrentIndex(0);
        QApplication::processEvents();
        {
            SCOPED_TRACE("Catalog listing");
            LayoutCheck page({window.Page->tabBar(), window.TabSheet1, window.Panel1});
            page.expectWholeTexts();
            page.expectNoOverlaps();
        }
        window.Page->setCurrentIndex(1);
        QApplication::processEvents();
        {
            SCOPED_TRACE("Single file output");
            LayoutCheck page({window.Page->tabBar(), window.TabSheet2, window.Panel1});
            page.expectWholeTexts();
            page.expectNoOverlaps();
        }
        window.Page->setCurrentIndex(0);
        SCOPED_TRACE("Preferences");
        LayoutCheck panel({window.PnlEditor});
        panel.expectWholeTexts();
        panel.expectNoOverlaps();
        EXPECT_TRUE(window.centralWidget()->rect().contains(window.PnlEditor->geometry()));
    }
};

TEST_P(WindowLayoutTest, EveryTextIsWholeAndNoControlsOverlapAtTheSizeTheWindowOpensWithAndAtItsSmallest)
{
    writeSettings(QStringLiteral(R"({"FontSize": %1})").arg(GetParam()).toUtf8());
    TFrmMain& window = showWindow();
    // Counts as wide as a big catalog's.
    window.Engine().Rows().addRows({QByteArrayLiteral("de.po")});
    CatalogRow row;
    row.Caption = QStringLiteral("de.po");
    row.Texts = {QStringLiteral("99%"), {}, QStringLiteral("12345"), QStringLiteral("12344"), QStringLiteral("1"),
                 QStringLiteral("0")};
    row.StateIcon = CatalogRow::IconAboveThreshold;
    window.Engine().Rows().setRow(0, row);
    window.BtnPrefClick();
    QTest::mouseClick(window.BtnPath, Qt::LeftButton);
    ASSERT_TRUE(window.PnlTree->isVisible());

    const QSize opened = window.size();
    {
        SCOPED_TRACE("as opened");
        expectWholeAndApart(window);
        const QFontMetrics metrics(window.List->font());
        for (int column = 3; column <= 6; ++column)
            EXPECT_GE(window.List->columnWidth(column), metrics.horizontalAdvance(QStringLiteral("12345")) + 3);
    }

    window.resize(1, 1);
    QApplication::processEvents();
    const QSize smallest = window.size();
    EXPECT_EQ(smallest, window.minimumSize());
    // A screen too small for the size the font asks for opens the window at its smallest.
    EXPECT_LE(smallest.width(), opened.width());
    EXPECT_LE(smallest.height(), opened.height());
    SCOPED_TRACE("at the smallest size");
    expectWholeAndApart(window);
}

TEST_F(MainWindowTest, ALargerFontChosenInThePreferencesGrowsTheWindowAndKeepsEveryTextWhole)
{
    TFrmMain& window = showWindow();
    const QSize before = window.size();
    window.PnlEditor->setFontDialog([](QWidget*, const QFont&) { return QFont(QStringLiteral("DejaVu Sans"), 14); });
    window.BtnPrefClick();
    window.BtnFontClick();
    QApplication::processEvents();
    EXPECT_GT(window.width(), before.width());
    EXPECT_GT(window.height(), before.height());
    WindowLayoutTest::expectWholeAndApart(window);
}

TEST_F(MainWindowTest, TheLargestFontOpensTheWindowWithinTheScreenWithCloseOnIt)
{
    writeSettings(QStringLiteral(R"({"FontSize": %1})").arg(MaxFontSize).toUtf8());
    TFrmMain& window = showWindow();
    const QRect available = window.screen()->availableGeometry();
    const QRect close(window.BtnHalt->mapToGlobal(QPoint(0, 0)), window.BtnHalt->size());
    const auto text = [](const QRect& rect) {
        return QStringLiteral("%1x%2 at %3,%4").arg(rect.width()).arg(rect.height()).arg(rect.x()).arg(rect.y());
    };
    EXPECT_TRUE(available.contains(window.frameGeometry()))
        << text(window.frameGeometry()).toStdString() << " on " << text(available).toStdString();
    EXPECT_TRUE(available.contains(close)) << text(close).toStdString();
}

INSTANTIATE_TEST_SUITE_P(FontSizes, WindowLayoutTest, ::testing::Values(8, 10, 12, 16));

// The same checks on a screen scaled by 2, in a process of their own: the scale is fixed when the application
// starts.
TEST(WindowLayoutAtScaleTwo, KeepsEveryTextWholeAndNoControlsOverlap)
{
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
        GTEST_SKIP() << "already scaled";
    // Twice the pixels of the tests' own screen, so that the window has the room it has unscaled.
    QTemporaryDir config;
    const QString screens = config.filePath(QStringLiteral("screen.json"));
    writeTextFile(screens, R"({"screens": [{"name": "scaled", "x": 0, "y": 0, "width": 2048, "height": 1536}]})");
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + screens);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=FontSizes/WindowLayoutTest.*")});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 4 tests")) << output.toStdString();
}

TEST_F(MainWindowTest, TabGoesFromTheBottomBarToThePageAndThroughIt)
{
    TFrmMain& window = showWindow();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.BtnPref->setFocus(Qt::TabFocusReason);
    // Where the focus is, by the control that holds it.
    const auto focused = [&] {
        QWidget* widget = QApplication::focusWidget();
        if (widget == window.Page->tabBar())
            return static_cast<QWidget*>(window.Page);
        if (widget == window.EdtDir->lineEdit())
            return static_cast<QWidget*>(window.EdtDir);
        return widget;
    };
    QList<QWidget*> visited;
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(focused());
    }
    EXPECT_EQ(visited,
              QList<QWidget*>({window.BtnHalt, window.Page, window.List, window.EdtDir, window.BtnList, window.BtnPath,
                               window.BtnPref}));

    window.Page->setCurrentIndex(1);
    window.BtnHalt->setFocus(Qt::TabFocusReason);
    visited.clear();
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(focused());
    }
    EXPECT_EQ(visited, QList<QWidget*>({window.Page, window.Output, window.EdtFile, window.BtnCheck}));
}

TEST_F(MainWindowTest, HistoryLoadsWithoutGapsAndSavesFromTheTop)
{
    writeSettings(R"({"LastDir": "/srv/po", "Dir1": "/a", "Dir2": "/b", "Dir5": "/e"})");
    TFrmMain& window = openWindow();
    EXPECT_EQ(window.EdtDir->currentText(), QStringLiteral("/srv/po"));
    EXPECT_EQ(comboItems(*window.EdtDir), QStringList({"/a", "/b", "/e"}));
    EXPECT_EQ(window.Engine().History, QStringList({"/a", "/b", "/e"}));

    window.EdtDir->setEditText(QStringLiteral("/typed but never read"));
    closeWindow();

    const QJsonObject stored = settings();
    EXPECT_EQ(stored.value(QStringLiteral("LastDir")).toString(), QStringLiteral("/typed but never read"));
    EXPECT_EQ(stored.value(QStringLiteral("Dir1")).toString(), QStringLiteral("/a"));
    EXPECT_EQ(stored.value(QStringLiteral("Dir2")).toString(), QStringLiteral("/b"));
    EXPECT_EQ(stored.value(QStringLiteral("Dir3")).toString(), QStringLiteral("/e"));
    for (int n = 4; n <= 10; ++n)
        EXPECT_FALSE(stored.contains(QStringLiteral("Dir%1").arg(n))) << n;
    EXPECT_TRUE(m_boxes.boxes().isEmpty());
}

TEST_F(MainWindowTest, WronglyTypedValuesAreShownTakeTheirDefaultsAndSurviveTheClose)
{
    writeSettings(R"({"ConsoleFont": "DejaVu Serif", "FontSize": "9", "LastDir": "/srv/po", "Dir1": "/a", "Dir2": 2,
                      "Dir3": "/c"})");
    {
        TFrmMain& window = openWindow();
        ASSERT_EQ(m_boxes.boxes().size(), 1);
        EXPECT_EQ(m_boxes.boxes().first().Title, QStringLiteral("Quillmark"));
        const QStringList lines = m_boxes.boxes().first().Text.split(QLatin1Char('\n'));
        ASSERT_EQ(lines.size(), 5) << m_boxes.boxes().first().Text.toStdString();
        EXPECT_EQ(lines.at(0), QStringLiteral("Invalid data type for 'FontSize'"));
        EXPECT_TRUE(lines.at(1).startsWith(settingsFile() + QStringLiteral(": "))) << lines.at(1).toStdString();
        EXPECT_EQ(lines.at(3), QStringLiteral("Invalid data type for 'Dir2'"));
        // Everything else still applies, the link label's colour included.
        EXPECT_EQ(window.Output->font().family(), QStringLiteral("DejaVu Serif"));
        EXPECT_EQ(window.font().pointSize(), 8);
        EXPECT_EQ(window.Label2->palette().color(QPalette::WindowText), LinkLabelColor);
        EXPECT_EQ(window.EdtDir->currentText(), QStringLiteral("/srv/po"));
        EXPECT_EQ(comboItems(*window.EdtDir), QStringList({"/a", "/c"}));
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        closeWindow();
    }
    QJsonObject stored = settings();
    EXPECT_EQ(stored.value(QStringLiteral("FontSize")), QJsonValue("9"));
    EXPECT_EQ(stored.value(QStringLiteral("LastDir")), QJsonValue("/srv/po"));
    EXPECT_EQ(stored.value(QStringLiteral("Dir1")), QJsonValue("/a"));
    EXPECT_EQ(stored.value(QStringLiteral("Dir2")), QJsonValue(2));
    EXPECT_EQ(stored.value(QStringLiteral("Dir3")), QJsonValue("/c"));

    // A folder the user reads is his: the folder and the history are saved from the top.
    const QString folder = m_work.filePath(QStringLiteral("po"));
    ASSERT_TRUE(QDir().mkpath(folder));
    TFrmMain& again = showWindow();
    typeFolderAndEnter(again, folder);
    closeWindow();
    stored = settings();
    EXPECT_EQ(stored.value(QStringLiteral("LastDir")), QJsonValue(folder));
    EXPECT_EQ(stored.value(QStringLiteral("Dir1")), QJsonValue(folder));
    EXPECT_EQ(stored.value(QStringLiteral("Dir2")), QJsonValue("/a"));
    EXPECT_EQ(stored.value(QStringLiteral("Dir3")), QJsonValue("/c"));
    EXPECT_EQ(stored.value(QStringLiteral("FontSize")), QJsonValue("9"));
}

TEST_F(MainWindowTest, CorruptSettingsFileIsKeptAsideAndTheProgramStarts)
{
    const QByteArray broken = "{\"LastDir\": \"/srv/po\", ";
    writeSettings(broken);
    TFrmMain& window = showWindow();

    ASSERT_EQ(m_boxes.boxes().size(), 1);
    EXPECT_EQ(m_boxes.boxes().first().Title, QStringLiteral("Quillmark"));
    EXPECT_TRUE(m_boxes.boxes().first().Text.contains(QStringLiteral("default settings")))
        << m_boxes.boxes().first().Text.toStdString();
    EXPECT_EQ(window.EdtDir->currentText(), QDir::homePath());
    EXPECT_EQ(settings().value(QStringLiteral("Font")).toString(), QStringLiteral("Tahoma"));

    QStringList keptAside;
    for (const QFileInfo& info : QDir(settingsFolder()).entryInfoList(QDir::Files | QDir::Hidden)) {
        QFile file(info.filePath());
        if (info.fileName() != QLatin1String("settings.json") && file.open(QIODevice::ReadOnly)
            && file.readAll() == broken)
            keptAside.append(info.fileName());
    }
    EXPECT_EQ(keptAside.size(), 1);

    closeWindow();
    // Told once.
    EXPECT_EQ(m_boxes.boxes().size(), 1);
}

TEST_F(MainWindowTest, ReadingAFolderByTypingAndEnterFillsTheListAndSavesTheFolder)
{
    const QString folder = corpusFolder(QStringLiteral("po"),
                                        {QStringLiteral("thunar/am.po"), QStringLiteral("thunar/ar.po"),
                                         QStringLiteral("thunar/broken/de-missing-quote.po")});
    TFrmMain& window = showWindow();
    QSignalSpy finished(&window.Engine(), &CatalogEngine::queueFinished);
    QSignalSpy progressShown(&window.Engine(), &CatalogEngine::progressVisibleChanged);

    typeFolderAndEnter(window, folder);
    ASSERT_TRUE(finished.wait(60000));

    EXPECT_EQ(captions(window), QStringList({"am.po", "ar.po", "de-missing-quote.po"}));
    QHash<QString, QStringList> expected = expectedRows(QStringLiteral("thunar.expected.tsv"));
    expected.insert(expectedRows(QStringLiteral("thunar-broken.expected.tsv")));
    for (const CatalogRow& row : window.Engine().Rows().rows()) {
        const QStringList shown{row.Texts[0], row.Texts[2], row.Texts[3], row.Texts[4], row.Texts[5]};
        EXPECT_EQ(shown, expected.value(row.Caption)) << row.Caption.toStdString();
    }
    // Enter read the folder and put nothing into the box; the history took the folder.
    EXPECT_EQ(window.EdtDir->currentText(), folder);
    EXPECT_EQ(comboItems(*window.EdtDir), QStringList{folder});
    EXPECT_GE(progressShown.size(), 2);
    EXPECT_FALSE(window.PnlProg->isVisible());
    EXPECT_TRUE(window.Notify->Enabled());
    EXPECT_EQ(window.Notify->RootFolder(), folder + QLatin1Char('/'));

    closeWindow();
    const QJsonObject stored = settings();
    EXPECT_EQ(stored.value(QStringLiteral("LastDir")).toString(), folder);
    EXPECT_EQ(stored.value(QStringLiteral("Dir1")).toString(), folder);
    EXPECT_FALSE(stored.contains(QStringLiteral("Dir2")));
    EXPECT_TRUE(m_boxes.boxes().isEmpty());
}

TEST_F(MainWindowTest, ATextThatNamesNoFolderSaysSoInTheEmptyList)
{
    TFrmMain& window = showWindow();
    const QImage empty = window.List->viewport()->grab().toImage();
    typeFolderAndEnter(window, QStringLiteral("~/no such folder here"));
    EXPECT_EQ(window.List->emptyText(), QStringLiteral("No such folder: ~/no such folder here"));
    EXPECT_NE(window.List->viewport()->grab().toImage(), empty);
    EXPECT_TRUE(m_boxes.boxes().isEmpty());

    typeFolderAndEnter(window, m_work.path());
    EXPECT_EQ(window.List->emptyText(), QString());
    EXPECT_EQ(window.List->viewport()->grab().toImage(), empty);
}

TEST_F(MainWindowTest, AFolderWhosePoFilesAreAllBelowItSaysHowManyAndHowToListThem)
{
    const QString folder = corpusTree();
    TFrmMain& window = showWindow();
    typeFolderAndEnter(window, folder);
    EXPECT_EQ(window.Engine().Rows().rowCount(), 0);
    EXPECT_EQ(window.List->emptyText(),
              QStringLiteral("No PO file here; 2 in subfolders: tick Include subfolders under Preferences to list them"));
    EXPECT_FALSE(window.LblTotals->isVisible());
}

TEST_F(MainWindowTest, IncludeSubfoldersListsRowsByRelativePathWithTheirTotalsAndIsStored)
{
    const QString folder = corpusTree();
    TFrmMain& window = showWindow();
    typeFolderAndEnter(window, folder);
    window.BtnPrefClick();
    window.PnlEditor->ChkSubfolders->click();

    EXPECT_EQ(captions(window), QStringList({"help/de/de.po", "po/de.po"}));
    EXPECT_EQ(window.Notify->RootFolder(), folder + QLatin1Char('/'));
    EXPECT_TRUE(window.Notify->WatchChildren());
    // The totals follow the checks as they end.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.LblTotals->isVisible() && !window.LblTotals->text().contains("not checked"); }, 60000));
    EXPECT_EQ(window.LblTotals->text().split(QLatin1Char('\n')),
              QStringList({"Total: 2 files: 1475 translated, 0 fuzzy, 382 untranslated (79.4% translated)",
                           "help/  1 file: 394 translated, 0 fuzzy, 382 untranslated (50.7% translated)",
                           "po/  1 file: 1081 translated, 0 fuzzy, 0 untranslated (100.0% translated)"}));
    EXPECT_EQ(settings().value(QStringLiteral("Subfolders")), QJsonValue(1));

    window.PnlEditor->ChkSubfolders->click();
    EXPECT_EQ(captions(window), QStringList());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.LblTotals->isVisible(); }, 5000));
    EXPECT_EQ(settings().value(QStringLiteral("Subfolders")), QJsonValue(0));
}

TEST_F(MainWindowTest, EachAcceleratorIsUniqueOnItsPage)
{
    TFrmMain& window = showWindow();
    window.BtnPrefClick();
    for (int page : {0, 1}) {
        window.Page->setCurrentIndex(page);
        QStringList keys;
        for (const QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
            const QKeySequence key = QKeySequence::mnemonic(button->text());
            if (button->isVisible() && !key.isEmpty())
                keys.append(key.toString());
        }
        EXPECT_EQ(QSet<QString>(keys.cbegin(), keys.cend()).size(), keys.size()) << keys.join(' ').toStdString();
    }
    // Alt+C presses "Check" rather than only moving the focus among the buttons that share it.
    window.Page->setCurrentIndex(1);
    window.EdtFile->clear();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.EdtFile->setFocus();
    QTest::keyClick(window.windowHandle(), Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.Output->lines() == QStringList({"No file specified."}); }, 5000));
}

TEST_F(MainWindowTest, DoubleClickInTheFolderBoxAndTheButtonReadTheFolder)
{
    const QString folder = m_work.filePath(QStringLiteral("generated"));
    ASSERT_TRUE(QDir().mkpath(folder));
    writePoFile(folder + QStringLiteral("/b.po"), 3, 1, 1);
    writePoFile(folder + QStringLiteral("/a.po"), 5, 0, 0);
    TFrmMain& window = showWindow();
    window.EdtDir->setEditText(folder);
    QSignalSpy finished(&window.Engine(), &CatalogEngine::queueFinished);

    QTest::mouseDClick(window.EdtDir->lineEdit(), Qt::LeftButton);
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(captions(window), QStringList({"a.po", "b.po"}));
    EXPECT_EQ(window.Engine().Rows().row(1).Texts[CatalogRow::TextStatus], QStringLiteral("60%"));

    writePoFile(folder + QStringLiteral("/c.po"), 1, 0, 0);
    QTest::mouseClick(window.BtnList, Qt::LeftButton);
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(captions(window), QStringList({"a.po", "b.po", "c.po"}));
    EXPECT_EQ(comboItems(*window.EdtDir), QStringList{folder});
}

TEST_F(MainWindowTest, ChangedFileInTheShownFolderIsCheckedAgain)
{
    const QString folder = m_work.filePath(QStringLiteral("watched"));
    ASSERT_TRUE(QDir().mkpath(folder));
    writePoFile(folder + QStringLiteral("/de.po"), 1, 0, 3);
    TFrmMain& window = showWindow();
    QSignalSpy finished(&window.Engine(), &CatalogEngine::queueFinished);
    typeFolderAndEnter(window, folder);
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(window.Engine().Rows().row(0).Texts[CatalogRow::TextStatus], QStringLiteral("25%"));

    QSignalSpy evaluated(&window.Engine(), &CatalogEngine::rowEvaluated);
    writePoFile(folder + QStringLiteral("/de.po"), 3, 0, 1);
    ASSERT_TRUE(evaluated.wait(10000));
    EXPECT_EQ(evaluated.first().at(1).toBool(), true);
    EXPECT_EQ(window.Engine().Rows().row(0).Texts[CatalogRow::TextStatus], QStringLiteral("75%"));
    EXPECT_FALSE(window.PnlProg->isVisible());
}

TEST_F(MainWindowTest, StartedWithDashFChecksTheFileOnTheSecondPage)
{
    const QString file = corpusFolder(QStringLiteral("single"), {QStringLiteral("thunar/broken/de-missing-quote.po")})
        + QStringLiteral("/de-missing-quote.po");
    TFrmMain& window = showWindow({QStringLiteral("quillmark"), QStringLiteral("-f"), file, QStringLiteral("extra")});

    EXPECT_EQ(window.Page->currentIndex(), 1);
    EXPECT_EQ(window.EdtFile->text(), file);
    const QStringList expected = msgfmtOutput(file);
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.Output->lines() == expected; }, 30000))
        << window.Output->toPlainText().toStdString();
    EXPECT_TRUE(window.Output->toPlainText().contains(QStringLiteral("end-of-line within string")));
    EXPECT_EQ(window.Engine().Rows().count(), 0);
}

TEST_F(MainWindowTest, DashFWithoutAFileSaysSoAndOtherSwitchesAreNotRecognised)
{
    {
        TFrmMain& window = showWindow({QStringLiteral("quillmark"), QStringLiteral("-f")});
        EXPECT_EQ(window.Page->currentIndex(), 1);
        EXPECT_EQ(window.EdtFile->text(), QString());
        EXPECT_EQ(window.Output->lines(), QStringList{QStringLiteral("No file specified.")});
        closeWindow();
    }
    for (const QString& other : {QStringLiteral("-F"), QStringLiteral("/f")}) {
        TFrmMain& window = showWindow({QStringLiteral("quillmark"), other, QStringLiteral("/tmp/x.po")});
        EXPECT_EQ(window.Page->currentIndex(), 0) << other.toStdString();
        EXPECT_EQ(window.EdtFile->text(), QString());
        QTest::qWait(50);
        EXPECT_TRUE(window.Output->lines().isEmpty());
        closeWindow();
    }
}

TEST_F(MainWindowTest, StartedWithAPathReadsTheFolderOrChecksTheFileItNames)
{
    const QString folder = m_work.filePath(QStringLiteral("po"));
    ASSERT_TRUE(QDir().mkpath(folder));
    writePoFile(folder + QStringLiteral("/de.po"), 3, 1, 0);
    const QString missing = m_work.filePath(QStringLiteral("gone"));
    const QString working = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_work.path()));
    const struct
    {
        QString argument;
        int page;
        /// The folder box's or the file box's text.
        QString path;
        QStringList rows;
        QString emptyText;
    } cases[] = {
        {folder + QLatin1Char('/'), 0, folder, {"de.po"}, {}},
        // Relative to the working folder.
        {QStringLiteral("./po/../po"), 0, folder, {"de.po"}, {}},
        {QStringLiteral("po/de.po"), 1, folder + QStringLiteral("/de.po"), {}, {}},
        {QStringLiteral("gone"), 0, missing, {}, QStringLiteral("No such folder: ") + missing},
        {QStringLiteral("gone.PO"), 1, missing + QStringLiteral(".PO"), {}, {}},
    };
    for (const auto& c : cases) {
        const std::string name = c.argument.toStdString();
        TFrmMain& window = showWindow({QStringLiteral("quillmark"), c.argument});
        EXPECT_EQ(window.Page->currentIndex(), c.page) << name;
        EXPECT_EQ((c.page == 0 ? window.EdtDir->currentText() : window.EdtFile->text()), c.path) << name;
        EXPECT_EQ(captions(window), c.rows) << name;
        EXPECT_EQ(window.List->emptyText(), c.emptyText) << name;
        // For a file that is not there, in msgfmt's words.
        const QStringList output = c.page == 1 ? msgfmtOutput(c.path) : QStringList();
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.Output->lines() == output; }, 30000)) << name;
        closeWindow();
    }
    QDir::setCurrent(working);
    EXPECT_TRUE(m_boxes.boxes().isEmpty());
}

TEST_F(MainWindowTest, EnterInTheFileBoxChecksAndInsertsNothingAndADoubleClickChecksAgain)
{
    const QString file
        = corpusFolder(QStringLiteral("single"), {QStringLiteral("thunar/am.po")}) + QStringLiteral("/am.po");
    const QStringList expected = msgfmtOutput(file);
    TFrmMain& window = showWindow();
    window.Page->setCurrentIndex(1);
    window.EdtFile->setFocus();
    QTest::keyClicks(window.EdtFile, file);

    QTest::keyClick(window.EdtFile, Qt::Key_Return);
    EXPECT_EQ(window.EdtFile->text(), file);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.Output->lines() == expected; }, 30000))
        << window.Output->toPlainText().toStdString();

    QTest::mouseDClick(window.Output->viewport(), Qt::LeftButton);
    // Cleared at once; the output of the new check follows.
    EXPECT_TRUE(window.Output->lines().isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.Output->lines() == expected; }, 30000))
        << window.Output->toPlainText().toStdString();

    QTest::keyClick(window.EdtFile, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(window.EdtFile->text(), file);
    EXPECT_TRUE(window.Output->lines().isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.Output->lines() == expected; }, 30000))
        << window.Output->toPlainText().toStdString();
    EXPECT_TRUE(m_boxes.boxes().isEmpty());
}

TEST_F(MainWindowTest, WatcherErrorEndsTheReadInAMessageBox)
{
    const QString folder = corpusFolder(QStringLiteral("vanishing"), {QStringLiteral("thunar/am.po")});
    TFrmMain& window = showWindow();
    // The folder disappears between the read's look at it and the watcher's turn.
    auto rearm = window.Engine().OnRearmWatcher;
    window.Engine().OnRearmWatcher = [&](const QString& shown) {
        QDir(folder).removeRecursively();
        rearm(shown);
    };

    typeFolderAndEnter(window, folder);

    ASSERT_EQ(m_boxes.boxes().size(), 1);
    EXPECT_EQ(m_boxes.boxes().first().Title, QStringLiteral("Quillmark"));
    EXPECT_EQ(m_boxes.boxes().first().Text, QStringLiteral("Error setting path: \"%1/\"").arg(folder));
    EXPECT_EQ(window.Engine().Rows().count(), 0);
    EXPECT_FALSE(window.Engine().isBusy());
    EXPECT_FALSE(window.PnlProg->isVisible());
    EXPECT_EQ(window.Engine().History, QStringList{folder});
    EXPECT_EQ(window.EdtDir->currentText(), folder);
}

TEST_F(MainWindowTest, TheLinkLabelOpensTheWebPage)
{
    UrlReceiver receiver;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &receiver, "open");
    TFrmMain& window = showWindow();

    EXPECT_EQ(window.Label2->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(window.Label2, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));

    EXPECT_EQ(receiver.urls, QList<QUrl>{QUrl(QString::fromLatin1(TFrmMain::WebAddress))});
}

TEST_F(MainWindowTest, CloseDuringACheckEndsTheLoopAtOnceAndStillSavesTheFolders)
{
    const QString folder = m_work.filePath(QStringLiteral("many"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (int i = 0; i < 200; ++i)
        writePoFile(folder + QStringLiteral("/f%1.po").arg(i, 3, 10, QLatin1Char('0')), 50, 5, 5);
    TFrmMain& window = showWindow();
    typeFolderAndEnter(window, folder);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Engine().FCheckedCount >= 1; }, 30000));

    QTimer::singleShot(0, window.BtnHalt, [&] { QTest::mouseClick(window.BtnHalt, Qt::LeftButton); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_LT(window.Engine().FCheckedCount, 200);
    EXPECT_TRUE(window.isVisible());

    closeWindow();
    const QJsonObject stored = settings();
    EXPECT_EQ(stored.value(QStringLiteral("LastDir")).toString(), folder);
    EXPECT_EQ(stored.value(QStringLiteral("Dir1")).toString(), folder);
}

TEST_F(MainWindowTest, ContinueStoresTheSliderAndTheDoubleClickActionAndTheNextStartShowsThem)
{
    TFrmMain& window = showWindow();
    PreferencesPanel& panel = *window.PnlEditor;
    // The stored default position reached the slider, and through it Label10.
    EXPECT_EQ(panel.Track->value(), 3);
    EXPECT_EQ(panel.Label10->text(), QStringLiteral("1/2"));
    EXPECT_EQ(window.FMenus->TBPopupMenu1->defaultAction(), window.FMenus->TBItem3);

    QTest::mouseClick(window.BtnPref, Qt::LeftButton);
    ASSERT_TRUE(panel.isVisible());
    EXPECT_EQ(panel.EdtEditor->text(), window.EditorPath);
    panel.Track->setFocus();
    QTest::keyClick(panel.Track, Qt::Key_End);
    panel.ComboDbl->setFocus();
    QTest::keyClick(panel.ComboDbl, Qt::Key_End);
    EXPECT_EQ(panel.Label10->text(), QStringLiteral("1/8"));
    EXPECT_EQ(window.Engine().FYellowNum, 1);
    EXPECT_EQ(window.Engine().FYellowDen, 8);
    EXPECT_EQ(settings().value(QStringLiteral("Ratio")), QJsonValue(3));

    QTest::mouseClick(panel.BtnEditor, Qt::LeftButton);
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(settings().value(QStringLiteral("Ratio")), QJsonValue(6));
    EXPECT_EQ(settings().value(QStringLiteral("Default")), QJsonValue(2));
    EXPECT_EQ(window.DefaultAction, 2);
    EXPECT_EQ(window.FMenus->TBPopupMenu1->defaultAction(), window.FMenus->TBItem1);
    closeWindow();

    TFrmMain& again = openWindow();
    EXPECT_EQ(again.PnlEditor->Track->value(), 6);
    EXPECT_EQ(again.PnlEditor->Label10->text(), QStringLiteral("1/8"));
    EXPECT_EQ(again.Engine().FYellowNum, 1);
    EXPECT_EQ(again.Engine().FYellowDen, 8);
    EXPECT_EQ(again.PnlEditor->ComboDbl->currentIndex(), 2);
    EXPECT_EQ(again.FMenus->TBPopupMenu1->defaultAction(), again.FMenus->TBItem1);
    EXPECT_TRUE(m_boxes.boxes().isEmpty());
}

TEST_F(MainWindowTest, DoubleClickOnARowChecksItsFileOnTheSingleFilePageWhenThatIsTheAction)
{
    writeSettings(R"({"Default": 2})");
    const QString folder
        = corpusFolder(QStringLiteral("double click"),
                       {QStringLiteral("thunar/am.po"), QStringLiteral("thunar/broken/de-missing-quote.po")});
    TFrmMain& window = showWindow();
    QSignalSpy finished(&window.Engine(), &CatalogEngine::queueFinished);
    typeFolderAndEnter(window, folder);
    ASSERT_TRUE(finished.wait(30000));

    const int row = static_cast<int>(captions(window).indexOf(QStringLiteral("de-missing-quote.po")));
    ASSERT_GE(row, 0);
    const QRect rect = window.List->visualRect(window.List->model()->index(row, 0));
    // As the window system delivers a double click: a click, then the second press as a double click.
    QTest::mouseClick(window.List->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(window.List->viewport(), Qt::LeftButton, {}, rect.center());

    const QString file = folder + QStringLiteral("/de-missing-quote.po");
    EXPECT_EQ(window.Page->currentIndex(), 1);
    EXPECT_EQ(window.EdtFile->text(), file);
    const QStringList expected = msgfmtOutput(file);
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.Output->lines() == expected; }, 30000))
        << window.Output->toPlainText().toStdString();

    // The folder box's menu takes the checked file's folder back, without reading it.
    window.Page->setCurrentIndex(0);
    window.EdtDir->setEditText(QStringLiteral("/elsewhere"));
    QLineEdit* folderText = window.EdtDir->lineEdit();
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, {5, 5}, folderText->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(folderText, &rightClick);
    QMenu* menu = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) && menu->isVisible(); }, 5000));
    // The edit box's own items stay, with the item added.
    QStringList items;
    for (const QAction* action : menu->actions())
        items.append(action->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&')));
    for (const char* standard : {"Cut", "Copy", "Paste", "Select All"})
        EXPECT_TRUE(items.contains(QLatin1String(standard))) << items.join('|').toStdString();
    EXPECT_TRUE(menu->actions().contains(window.FMenus->Getfromfile1));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(window.FMenus->Getfromfile1).center());
    EXPECT_EQ(window.EdtDir->currentText(), folder + QLatin1Char('/'));
    // A read would have started the checks again.
    EXPECT_FALSE(window.Engine().isBusy());
}

TEST_F(MainWindowTest, CustomEditorFromThePopupMenuGetsThePathAsOneArgument)
{
    const QString folder = corpusFolder(QStringLiteral("my po files"), {QStringLiteral("thunar/am.po")});
    const QString record = m_work.filePath(QStringLiteral("record.txt"));
    const QString editor = m_work.filePath(QStringLiteral("an editor/record args"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(editor).path()));
    writeTextFile(editor,
                  QStringLiteral("#!/bin/sh\n"
                                 "out='%1'\n"
                                 "{ echo \"$#\"; for a in \"$@\"; do echo \"$a\"; done; pwd -P; } > \"$out.part\"\n"
                                 "mv \"$out.part\" \"$out\"\n")
                      .arg(record)
                      .toUtf8());
    ASSERT_TRUE(QFile::setPermissions(editor, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    writeSettings(QJsonDocument(QJsonObject{{QStringLiteral("Editor"), editor}}).toJson());
    TFrmMain& window = showWindow();
    EXPECT_EQ(window.FMenus->TBItem2->text(), QStringLiteral("Open in c&ustom editor (record args)"));
    QSignalSpy finished(&window.Engine(), &CatalogEngine::queueFinished);
    typeFolderAndEnter(window, folder);
    ASSERT_TRUE(finished.wait(30000));

    const QPoint onRow = window.List->visualRect(window.List->model()->index(0, 0)).center();
    QTest::mouseClick(window.List->viewport(), Qt::LeftButton, {}, onRow);
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, onRow, window.List->viewport()->mapToGlobal(onRow));
    QApplication::sendEvent(window.List->viewport(), &rightClick);
    QMenu* menu = window.FMenus->TBPopupMenu1;
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 5000));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(window.FMenus->TBItem2).center());

    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(record); }, 10000));
    QFile file(record);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines,
              (QStringList{QStringLiteral("1"), folder + QStringLiteral("/am.po"), QDir(folder).canonicalPath()}));
}

TEST_F(MainWindowTest, ALaunchThatFailsSaysWhichFileWhichProgramAndWhy)
{
    if (RunInFreshProcess())
        return;
    const QString folder = corpusFolder(QStringLiteral("po"), {QStringLiteral("thunar/am.po")});
    QList<std::pair<const char*, QByteArray>> saved;
    for (const char* name : {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS"}) {
        saved.append({name, qgetenv(name)});
        qputenv(name, QFile::encodeName(m_work.filePath(QStringLiteral("empty"))));
    }
    // Nor a terminal's editor.
    for (const char* name : {"VISUAL", "EDITOR"}) {
        saved.append({name, qgetenv(name)});
        qputenv(name, QByteArray());
    }
    writeSettings(R"({"Editor": "no-such-editor-anywhere", "Default": 1})");
    TFrmMain& window = showWindow();
    EXPECT_EQ(window.FMenus->TBItem2->text(),
              QStringLiteral("Open in c&ustom editor (no-such-editor-anywhere: not found)"));
    QSignalSpy finished(&window.Engine(), &CatalogEngine::queueFinished);
    typeFolderAndEnter(window, folder);
    ASSERT_TRUE(finished.wait(30000));
    const QPoint onRow = window.List->visualRect(window.List->model()->index(0, 0)).center();
    QTest::mouseClick(window.List->viewport(), Qt::LeftButton, {}, onRow);

    QTest::mouseDClick(window.List->viewport(), Qt::LeftButton, {}, onRow);
    window.FMenus->TBItem3->trigger();
    const QString file = folder + QStringLiteral("/am.po");
    ASSERT_EQ(m_boxes.boxes().size(), 2);
    for (const MessageBoxCatcher::Box& box : m_boxes.boxes())
        EXPECT_EQ(box.Title, QStringLiteral("Quillmark"));
    EXPECT_EQ(m_boxes.boxes().at(0).Text,
              QStringLiteral("Could not open \"%1\" in the custom editor \"no-such-editor-anywhere\": it is not "
                             "installed (no program of that name is on the PATH).")
                  .arg(file));
    EXPECT_EQ(m_boxes.boxes().at(1).Text,
              QStringLiteral("Could not open \"%1\" in an editor.\nNo program on this desktop opens it, other than "
                             "Quillmark itself.\nNeither VISUAL nor EDITOR names an editor.")
                  .arg(file));
    for (const auto& [name, value] : saved)
        qputenv(name, value);
}

TEST_F(MainWindowTest, FolderTreeOpensOnTheFolderBoxFollowsReadsAndReadsOnDoubleClick)
{
    const QString first = corpusFolder(QStringLiteral("tree/first"), {QStringLiteral("thunar/am.po")});
    const QString second
        = corpusFolder(QStringLiteral("tree/second"), {QStringLiteral("thunar/ar.po"), QStringLiteral("thunar/de.po")});
    TFrmMain& window = showWindow();
    window.EdtDir->setEditText(first + QLatin1Char('/'));

    QTest::mouseClick(window.BtnPath, Qt::LeftButton);
    TShellTreeView* tree = window.ShellTree();
    ASSERT_NE(tree, nullptr);
    EXPECT_TRUE(window.PnlTree->isVisible());
    EXPECT_FALSE(window.Splitter1->handle(1)->isHidden());
    EXPECT_EQ(tree->Path(), first);
    EXPECT_EQ(window.EdtDir->currentText(), first + QLatin1Char('/'));
    EXPECT_TRUE(window.Engine().Rows().rows().isEmpty());

    QSignalSpy finished(&window.Engine(), &CatalogEngine::queueFinished);
    typeFolderAndEnter(window, second + QLatin1Char('/'));
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(tree->Path(), second);
    // The tree wrote its own form of the folder back; the read went on with the typed one.
    EXPECT_EQ(window.EdtDir->currentText(), second);
    EXPECT_EQ(window.Engine().FFolder, second + QLatin1Char('/'));

    // Once the rows above stop moving, a double click on the other folder selects and reads it.
    QStringList above;
    for (QString folder = QFileInfo(first).path(); folder != QLatin1String("/"); folder = QFileInfo(folder).path())
        above.append(folder);
    above.append(QStringLiteral("/"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return std::all_of(above.begin(), above.end(), [&](const QString& f) { return tree->isLoaded(f); }); },
        10000));
    for (int turn = 0; turn < 3; ++turn)
        QApplication::processEvents();
    tree->scrollTo(tree->nodeOf(first));
    const QRect node = tree->visualRect(tree->nodeOf(first));
    ASSERT_TRUE(node.isValid());
    const QPoint onNode(node.left() + 8, node.center().y());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, onNode);
    EXPECT_EQ(window.EdtDir->currentText(), first);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, onNode);
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(captions(window), QStringList{QStringLiteral("am.po")});
    EXPECT_EQ(window.Engine().FFolder, first + QLatin1Char('/'));

    QTest::mouseClick(window.Label13, Qt::LeftButton);
    EXPECT_FALSE(window.PnlTree->isVisible());
    EXPECT_TRUE(m_boxes.boxes().isEmpty());
    closeWindow();

    // A first opening on a folder that does not exist is told in the window's error box.
    const QString missing = m_work.filePath(QStringLiteral("gone"));
    TFrmMain& other = showWindow();
    other.EdtDir->setEditText(missing);
    QTest::mouseClick(other.BtnPath, Qt::LeftButton);
    ASSERT_EQ(m_boxes.boxes().size(), 1);
    EXPECT_EQ(m_boxes.boxes().first().Title, QStringLiteral("Quillmark"));
    EXPECT_EQ(m_boxes.boxes().first().Text, QStringLiteral("Error setting path: \"%1\"").arg(missing));
    EXPECT_FALSE(other.PnlTree->isVisible());
}

TEST(OutputMemoTest, KeepsEveryLineEmptyOnesIncludedUntilCleared)
{
    TOutputMemo memo;
    memo.AddLine(QString());
    memo.AddLine(QStringLiteral("msgfmt: found 1 fatal error"));
    memo.AddLine(QString());
    EXPECT_EQ(memo.lines(), QStringList({"", "msgfmt: found 1 fatal error", ""}));
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("\nmsgfmt: found 1 fatal error\n"));

    // A beginning of a line gives way to its whole line.
    memo.ReplaceLastLine(QStringLiteral("msgfmt: found 2 fatal errors"));
    EXPECT_EQ(memo.lines(), QStringList({"", "msgfmt: found 1 fatal error", "msgfmt: found 2 fatal errors"}));

    memo.Clear();
    EXPECT_TRUE(memo.lines().isEmpty());
    memo.AddLine(QStringLiteral("No file specified."));
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("No file specified."));
}

} // namespace

#include "MainTest.moc"
