#include "window/PopupMenus.h"

#include "catalog/CatalogModel.h"
#include "resources/Images.h"
#include "shell/TestSupport.h"
#include "window/ListViewEx.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

struct Launch
{
    QString kind;
    QString target;
    QString argument;
    QString folder;

    friend bool operator==(const Launch&, const Launch&) = default;
};

void PrintTo(const Launch& launch, std::ostream* out)
{
    *out << launch.kind.toStdString() << "(" << launch.target.toStdString() << ", " << launch.argument.toStdString()
         << ", " << launch.folder.toStdString() << ")";
}

/// Records what would have been started.
class RecordingLauncher : public EditorLauncher
{
public:
    explicit RecordingLauncher(QList<Launch>& launches)
        : m_launches(launches)
    { }
    bool openWithDesktop(const QString& path, QString*) override
    {
        m_launches.append({QStringLiteral("open"), path, {}, {}});
        return true;
    }
    bool startProgram(const QString& program, const QString& argument, const QString& folder, QString*) override
    {
        m_launches.append({QStringLiteral("start"), program, argument, folder});
        return true;
    }

private:
    QList<Launch>& m_launches;
};

/// Sets an environment variable for the life of the object.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name)
    {
        if (qEnvironmentVariableIsSet(name))
            m_saved = qgetenv(name);
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_saved)
            qputenv(m_name, *m_saved);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<QByteArray> m_saved;
};

void writeFile(const QString& path, const QByteArray& contents, bool executable)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(contents);
    file.close();
    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
    if (executable)
        permissions |= QFile::ExeOwner;
    QFile::setPermissions(path, permissions);
}

void writeIcon(const QString& path, QColor colour)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(colour);
    QDir().mkpath(QFileInfo(path).path());
    ASSERT_TRUE(image.save(path, "PNG"));
}

class PopupMenusTest : public ::testing::Test, public PopupMenusHost
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        model.addRows({"fr.po", "de.po"});
        list.setModel(&model);
        list.resize(500, 200);
        menus = std::make_unique<PopupMenus>(*this, &list, &list);
        menus->setLauncher(std::make_unique<RecordingLauncher>(launches));
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }

    QString shownFolder() const override { return folder; }
    QString editorPath() const override { return EditorPath; }
    void checkOnSingleFilePage(const QString& path) override { checks.append(path); }

    void selectRow(int row)
    {
        const QRect rect = list.visualRect(model.index(row, 0));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rect.center());
        ASSERT_TRUE(list.selectionModel()->isRowSelected(row, {}));
    }

    void runAllCommands()
    {
        menus->Openinexternaledito1Click();
        menus->TBItem2Click();
        menus->Checkmsgfmtoutput1Click();
        for (int action : {0, 1, 2, 5})
            menus->List2DblClick(action);
    }

    QTemporaryDir temp;
    CatalogModel model;
    TListViewEx list;
    std::unique_ptr<PopupMenus> menus;
    QString folder = QStringLiteral("/home/user/po files/");
    QString EditorPath = QStringLiteral("/usr/bin/editor");
    QList<Launch> launches;
    QStringList checks;
};

TEST_F(PopupMenusTest, ItemsAndTheBoldDefaultFollowingDefaultAction)
{
    const QList<QAction*> items = menus->TBPopupMenu1->actions();
    ASSERT_EQ(items, (QList<QAction*>{menus->TBItem3, menus->TBItem2, menus->TBItem1}));
    EXPECT_EQ(menus->TBItem3->text(), QStringLiteral("&Open in associated editor"));
    EXPECT_EQ(menus->TBItem2->text(), QStringLiteral("Open in c&ustom editor"));
    EXPECT_EQ(menus->TBItem1->text(), QStringLiteral("&Check msgfmt output"));
    EXPECT_EQ(menus->TBItem3->icon().pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32),
              menus->mainImages().at(PopupMenus::ImagePencil).convertToFormat(QImage::Format_ARGB32));
    EXPECT_FALSE(menus->TBItem1->icon().isNull());
    EXPECT_EQ(menus->mainImages().size(), 2);

    for (int action = 0; action < 3; ++action) {
        menus->MarkDefaultItem(action);
        EXPECT_EQ(menus->TBPopupMenu1->defaultAction(), items.at(action));
    }
    for (int action : {-1, 3}) {
        menus->MarkDefaultItem(action);
        EXPECT_EQ(menus->TBPopupMenu1->defaultAction(), nullptr);
    }

    // Drawn bold: the default item's caption covers more dark pixels, and only that item changes.
    const auto darkPixels = [this](QAction* item) {
        const QImage shot = menus->TBPopupMenu1->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRect rect = menus->TBPopupMenu1->actionGeometry(item).adjusted(24, 0, 0, 0);
        int dark = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                dark += qGray(shot.pixel(x, y)) < 128;
        return dark;
    };
    menus->TBPopupMenu1->ensurePolished();
    menus->TBPopupMenu1->adjustSize();
    menus->MarkDefaultItem(-1);
    const int plainCheck = darkPixels(menus->TBItem1);
    const int plainOpen = darkPixels(menus->TBItem3);
    menus->MarkDefaultItem(2);
    menus->TBPopupMenu1->adjustSize();
    EXPECT_GT(darkPixels(menus->TBItem1), plainCheck + plainCheck / 10);
    EXPECT_EQ(darkPixels(menus->TBItem3), plainOpen);
}

TEST_F(PopupMenusTest, NothingHappensWithoutASelectedRow)
{
    runAllCommands();
    EXPECT_TRUE(launches.isEmpty());
    EXPECT_TRUE(checks.isEmpty());
    EXPECT_EQ(menus->selectedPath(), std::nullopt);
}

TEST_F(PopupMenusTest, CommandsAndDoubleClickUseTheShownFolderAndTheSelectedRow)
{
    selectRow(0);
    const QString path = folder + model.row(0).Caption;
    ASSERT_EQ(path, QStringLiteral("/home/user/po files/de.po"));
    // The folder read last, not whatever the folder box says now.
    const QString shown = folder;

    menus->List2DblClick(0);
    menus->List2DblClick(1);
    for (int other : {2, -1, 7})
        menus->List2DblClick(other);
    EXPECT_EQ(launches, (QList<Launch>{{"open", path, {}, {}}, {"start", EditorPath, path, shown}}));
    EXPECT_EQ(checks, (QStringList{path, path, path}));

    launches.clear();
    checks.clear();
    selectRow(1);
    menus->Openinexternaledito1Click();
    menus->TBItem2Click();
    menus->Checkmsgfmtoutput1Click();
    const QString second = folder + QStringLiteral("fr.po");
    EXPECT_EQ(launches, (QList<Launch>{{"open", second, {}, {}}, {"start", EditorPath, second, shown}}));
    EXPECT_EQ(checks, QStringList{second});
}

TEST_F(PopupMenusTest, ARowOfASubfolderIsItsPathBelowTheShownFolder)
{
    model.addRows({"de/LC_MESSAGES/django.po"});
    int row = 0;
    while (model.row(row).Name != "de/LC_MESSAGES/django.po")
        ++row;
    selectRow(row);
    runAllCommands();
    const QString path = folder + QStringLiteral("de/LC_MESSAGES/django.po");
    EXPECT_EQ(launches,
              (QList<Launch>{{"open", path, {}, {}}, {"start", EditorPath, path, folder}, {"open", path, {}, {}},
                             {"start", EditorPath, path, folder}}));
    EXPECT_EQ(checks, (QStringList{path, path, path}));
}

TEST_F(PopupMenusTest, CustomEditorGetsThePathAsOneArgumentInTheShownFolder)
{
    const QString poFolder = temp.filePath(QStringLiteral("my po files"));
    ASSERT_TRUE(QDir().mkpath(poFolder));
    const QString record = temp.filePath(QStringLiteral("record.txt"));
    const QString editor = temp.filePath(QStringLiteral("an editor/record args"));
    writeFile(editor,
              QStringLiteral("#!/bin/sh\n"
                             "out='%1'\n"
                             "{ echo \"$#\"; for a in \"$@\"; do echo \"$a\"; done; pwd -P; } > \"$out.part\"\n"
                             "mv \"$out.part\" \"$out\"\n")
                  .arg(record)
                  .toUtf8(),
              true);
    folder = poFolder + QLatin1Char('/');
    EditorPath = editor;
    menus->setLauncher(std::make_unique<DesktopLauncher>());
    selectRow(0);

    menus->List2DblClick(1);

    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(record); }, 10000));
    QFile file(record);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines,
              (QStringList{QStringLiteral("1"), folder + QStringLiteral("de.po"), QDir(poFolder).canonicalPath()}));
}

TEST_F(PopupMenusTest, ALaunchThatCannotStartSaysWhichFileWhichProgramAndWhy)
{
    if (RunInFreshProcess())
        return;
    const QString poFolder = temp.filePath(QStringLiteral("po"));
    writeFile(poFolder + QStringLiteral("/de.po"), "msgid \"\"\nmsgstr \"\"\n", false);
    const QString notExecutable = temp.filePath(QStringLiteral("notes.txt"));
    writeFile(notExecutable, "text\n", false);
    ScopedEnv dataHome("XDG_DATA_HOME", QFile::encodeName(temp.filePath(QStringLiteral("data"))));
    ScopedEnv dataDirs("XDG_DATA_DIRS", QFile::encodeName(temp.filePath(QStringLiteral("none"))));
    ScopedEnv configDirs("XDG_CONFIG_DIRS", QFile::encodeName(temp.filePath(QStringLiteral("none"))));
    folder = poFolder + QLatin1Char('/');
    const QString file = folder + QStringLiteral("de.po");
    menus->setLauncher(std::make_unique<DesktopLauncher>());
    selectRow(0);

    const auto failure = [&](auto command) -> QString {
        try {
            command();
        } catch (const ELaunchFailed& error) {
            return QString::fromStdString(error.what());
        }
        return QString();
    };
    const QString prefix = QStringLiteral("Could not open \"%1\" in the custom editor \"%2\": ");
    const struct
    {
        QString editor;
        QString why;
    } cases[] = {
        {QStringLiteral("no-such-editor-anywhere"),
         QStringLiteral("it is not installed (no program of that name is on the PATH).")},
        {temp.filePath(QStringLiteral("gone/editor")), QStringLiteral("the program does not exist.")},
        {notExecutable, QStringLiteral("it is not an executable program.")},
        {temp.path(), QStringLiteral("it is not an executable program.")},
    };
    for (const auto& c : cases) {
        EditorPath = c.editor;
        EXPECT_EQ(failure([&] { menus->TBItem2Click(); }), prefix.arg(file, c.editor) + c.why);
    }
    EditorPath.clear();
    EXPECT_EQ(failure([&] { menus->List2DblClick(1); }),
              QStringLiteral("Could not open \"%1\" in the custom editor: no custom editor is set in the "
                             "preferences.")
                  .arg(file));
    ScopedEnv visual("VISUAL", {});
    ScopedEnv editor("EDITOR", {});
    EXPECT_EQ(failure([&] { menus->Openinexternaledito1Click(); }),
              QStringLiteral("Could not open \"%1\" in an editor.\nNo program on this desktop opens it, other than "
                             "Quillmark itself.\nNeither VISUAL nor EDITOR names an editor.")
                  .arg(file));
}

TEST_F(PopupMenusTest, CustomEditorItemNamesAProgramAndShowsItsIcon)
{
    if (RunInFreshProcess())
        return;
    // A program found on PATH, with a desktop entry naming an icon file.
    const QString bin = temp.filePath(QStringLiteral("bin"));
    const QString data = temp.filePath(QStringLiteral("data"));
    writeFile(bin + QStringLiteral("/quillmark-test-ed"), "#!/bin/sh\n", true);
    writeIcon(data + QStringLiteral("/icons/red.png"), Qt::red);
    writeFile(data + QStringLiteral("/applications/test-ed.desktop"),
              QStringLiteral("[Desktop Entry]\nType=Application\nName=Test\nExec=quillmark-test-ed %F\n"
                             "Icon=%1/icons/red.png\n")
                  .arg(data)
                  .toUtf8(),
              false);
    // An absolute program in a folder with a blank, started through env in its entry.
    const QString other = temp.filePath(QStringLiteral("opt dir/other & co"));
    writeFile(other, "#!/bin/sh\n", true);
    writeIcon(data + QStringLiteral("/icons/blue.png"), Qt::blue);
    writeFile(data + QStringLiteral("/applications/other.desktop"),
              QStringLiteral("[Desktop Entry]\nType=Application\nName=Other\nName[de]=x\nIcon[de]=nothing\n"
                             "Exec=env A=1 \"%1\" %U\n"
                             "Icon=%2/icons/blue.png\n[Desktop Action x]\nIcon=nothing\n")
                  .arg(other, data)
                  .toUtf8(),
              false);
    // Executable, but no icon anywhere.
    const QString bare = temp.filePath(QStringLiteral("bare-editor"));
    writeFile(bare, "#!/bin/sh\n", true);
    const QString plain = temp.filePath(QStringLiteral("notes.txt"));
    writeFile(plain, "text\n", false);

    ScopedEnv path("PATH", QFile::encodeName(bin) + ':' + qgetenv("PATH"));
    ScopedEnv dataHome("XDG_DATA_HOME", QFile::encodeName(data));
    ScopedEnv dataDirs("XDG_DATA_DIRS", QFile::encodeName(temp.filePath(QStringLiteral("none"))));

    const auto colourOfImage = [this] {
        return menus->mainImages().size() > PopupMenus::ImageCustomEditor
            ? QColor(menus->mainImages().at(PopupMenus::ImageCustomEditor).pixel(8, 8))
            : QColor();
    };

    menus->UpdateCustomEditorItem(QStringLiteral("quillmark-test-ed"));
    EXPECT_EQ(menus->TBItem2->text(), QStringLiteral("Open in c&ustom editor (quillmark-test-ed)"));
    ASSERT_EQ(menus->mainImages().size(), 3);
    EXPECT_EQ(menus->mainImages().at(PopupMenus::ImageCustomEditor).size(), QSize(16, 16));
    EXPECT_EQ(colourOfImage(), QColor(Qt::red));
    EXPECT_FALSE(menus->TBItem2->icon().isNull());

    menus->UpdateCustomEditorItem(other);
    EXPECT_EQ(menus->TBItem2->text(), QStringLiteral("Open in c&ustom editor (other && co)"));
    EXPECT_EQ(menus->mainImages().size(), 3);
    EXPECT_EQ(colourOfImage(), QColor(Qt::blue));

    // A desktop entry named by its id shows the entry's name and icon.
    menus->UpdateCustomEditorItem(QStringLiteral("test-ed.desktop"));
    EXPECT_EQ(menus->TBItem2->text(), QStringLiteral("Open in c&ustom editor (Test)"));
    EXPECT_EQ(colourOfImage(), QColor(Qt::red));

    menus->UpdateCustomEditorItem(bare);
    EXPECT_EQ(menus->TBItem2->text(), QStringLiteral("Open in c&ustom editor (bare-editor)"));
    EXPECT_EQ(menus->mainImages().size(), 2);
    EXPECT_TRUE(menus->TBItem2->icon().isNull());

    // A program that cannot be found says so before it is tried.
    for (const QString& notAProgram : {plain, QStringLiteral("no-such-editor-anywhere"), temp.path(),
                                       QStringLiteral("bin/quillmark-test-ed"), QString()}) {
        menus->UpdateCustomEditorItem(QStringLiteral("quillmark-test-ed"));
        menus->UpdateCustomEditorItem(notAProgram);
        const QString name = notAProgram.mid(notAProgram.lastIndexOf('/') + 1);
        EXPECT_EQ(menus->TBItem2->text(),
                  notAProgram.isEmpty() ? QStringLiteral("Open in c&ustom editor")
                                        : QStringLiteral("Open in c&ustom editor (%1: not found)").arg(name))
            << notAProgram.toStdString();
        EXPECT_EQ(menus->mainImages().size(), 2);
        EXPECT_TRUE(menus->TBItem2->icon().isNull());
    }
    EXPECT_EQ(menus->mainImages().at(PopupMenus::ImagePencil), Images::pencilImage());
}

} // namespace
