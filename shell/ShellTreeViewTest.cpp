#include "shell/ShellTreeView.h"

#include "shell/TreeTestSupport.h"

#include <QDir>
#include <QTest>

#include <memory>

namespace {

class ShellTreeViewTest : public FolderTreeTest
{
protected:
    void SetUp() override
    {
        FolderTreeTest::SetUp();
        tree = std::make_unique<TShellTreeView>(nullptr);
        tree->resize(160, 200);
        tree->OnChange = [this](TShellTreeView* Sender, const QModelIndex& Node) {
            EXPECT_EQ(Sender, tree.get());
            EXPECT_EQ(Node, tree->currentIndex());
            changes.append(tree->pathOf(Node));
        };
    }

    std::unique_ptr<TShellTreeView> tree;
    /// The selected folder at each OnChange.
    QStringList changes;
};

TEST_F(ShellTreeViewTest, SelectsADeepFolderAtOnceAndKeepsItInViewWhileFoldersLoad)
{
    // Thirty siblings at each level sort before the way down, so they push it out of view as they load.
    QStringList folders;
    QString way;
    for (int level = 0; level < 5; ++level) {
        for (int sibling = 0; sibling < 30; ++sibling)
            folders.append(way + QStringLiteral("s%1").arg(sibling, 2, 10, QLatin1Char('0')));
        way += QStringLiteral("zz/");
    }
    folders.append(way);
    makeFolders(folders);
    makeFiles({QStringLiteral("zz/a.po"), QStringLiteral("zz/zz/b.txt")});
    const QString deep = path(QStringLiteral("zz/zz/zz/zz/zz"));

    // Shown first, so that the siblings arrive after the node has been scrolled to.
    tree->show();
    tree->setPath(deep);
    EXPECT_EQ(tree->Path(), deep);
    EXPECT_EQ(changes, QStringList{deep});
    for (QModelIndex above = tree->currentIndex().parent(); above.isValid(); above = above.parent())
        EXPECT_TRUE(tree->isExpanded(above)) << tree->pathOf(above).toStdString();
    EXPECT_EQ(tree->selectionModel()->selectedRows(), QModelIndexList{tree->currentIndex()});

    QString level = root();
    for (int depth = 0; depth < 5; ++depth, level += QStringLiteral("/zz"))
        EXPECT_TRUE(waitForLoaded(*tree, level, 31)) << level.toStdString();
    EXPECT_TRUE(waitFor([&] { return isInView(*tree, tree->currentIndex()); }));
    EXPECT_EQ(tree->Path(), deep);

    // The same folder in other spellings changes nothing.
    const QString current = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(path(QStringLiteral("zz/zz/zz"))));
    for (const QString& same : {deep + QLatin1Char('/'), deep + QStringLiteral("/../zz"), QStringLiteral("zz/zz")})
        tree->setPath(same);
    QDir::setCurrent(current);
    EXPECT_EQ(changes, QStringList{deep});
}

TEST_F(ShellTreeViewTest, PathThatNamesNothingThrowsAndKeepsTheSelection)
{
    makeFolders({QStringLiteral("a/b")});
    tree->setPath(path(QStringLiteral("a")));
    ASSERT_EQ(changes.size(), 1);

    for (const QString& text : {path(QStringLiteral("missing")), path(QStringLiteral("a/b/c/d")), QString()}) {
        EXPECT_EQ(invalidPathMessage([&] { tree->setPath(text); }),
                  QStringLiteral("Error setting path: \"%1\"").arg(text));
        EXPECT_EQ(tree->Path(), path(QStringLiteral("a")));
    }
    EXPECT_EQ(changes.size(), 1);
}

TEST_F(ShellTreeViewTest, ShowsFoldersOnlyAndHiddenOnesOnlyOnTheWayToASelectedFolder)
{
    makeFolders({QStringLiteral("shown/inner"), QStringLiteral(".hidden/inner")});
    makeFiles({QStringLiteral("de.po"), QStringLiteral(".hidden.po"), QStringLiteral("shown/fr.po")});

    tree->setPath(root());
    tree->expand(tree->nodeOf(root()));
    tree->expand(tree->nodeOf(path(QStringLiteral("shown"))));
    ASSERT_TRUE(waitForLoaded(*tree, root(), 1));
    ASSERT_TRUE(waitForLoaded(*tree, path(QStringLiteral("shown")), 1));
    EXPECT_EQ(shownNames(*tree, root()), QStringList{QStringLiteral("shown")});
    EXPECT_EQ(shownNames(*tree, path(QStringLiteral("shown"))), QStringList{QStringLiteral("inner")});

    // A folder read inside a hidden folder still finds its node.
    tree->setPath(path(QStringLiteral(".hidden/inner")));
    EXPECT_EQ(tree->Path(), path(QStringLiteral(".hidden/inner")));
    const QStringList both{QStringLiteral(".hidden"), QStringLiteral("shown")};
    EXPECT_TRUE(waitFor([&] { return shownNames(*tree, root()) == both; }))
        << shownNames(*tree, root()).join(',').toStdString();

    // A file names the folder that holds it.
    tree->setPath(path(QStringLiteral("shown/fr.po")));
    EXPECT_EQ(tree->Path(), path(QStringLiteral("shown")));
    EXPECT_EQ(changes, (QStringList{root(), path(QStringLiteral(".hidden/inner")), path(QStringLiteral("shown"))}));
}

TEST_F(ShellTreeViewTest, ClicksAndDoubleClicksRaiseTheirEventsWithTheFolderUnderThePointer)
{
    makeFolders({QStringLiteral("one"), QStringLiteral("two")});
    tree->resize(300, 400);
    tree->show();
    tree->setPath(root());
    tree->expand(tree->nodeOf(root()));
    ASSERT_TRUE(waitForLoaded(*tree, root(), 2));
    ASSERT_TRUE(waitForSettled(*tree, path(QStringLiteral("two"))));
    QStringList doubleClicks;
    tree->OnDblClick = [&](TShellTreeView* Sender) {
        EXPECT_EQ(Sender, tree.get());
        doubleClicks.append(tree->Path());
    };

    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, pointOn(*tree, path(QStringLiteral("two"))));
    EXPECT_EQ(tree->Path(), path(QStringLiteral("two")));
    EXPECT_EQ(changes.last(), path(QStringLiteral("two")));
    EXPECT_TRUE(doubleClicks.isEmpty());
    // Ctrl cannot leave the current node unselected.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      pointOn(*tree, path(QStringLiteral("two"))));
    EXPECT_EQ(tree->selectionModel()->selectedRows(), QModelIndexList{tree->currentIndex()});
    EXPECT_EQ(tree->Path(), path(QStringLiteral("two")));

    // The first click of a double click selects; the event comes after it.
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, pointOn(*tree, path(QStringLiteral("one"))));
    EXPECT_EQ(doubleClicks, QStringList{path(QStringLiteral("one"))});
    EXPECT_EQ(changes.last(), path(QStringLiteral("one")));

    // Below the last folder: still a double click, the selection stays.
    tree->collapse(tree->model()->index(0, 0));
    const QPoint below(20, tree->viewport()->height() - 5);
    ASSERT_FALSE(tree->indexAt(below).isValid());
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, below);
    EXPECT_EQ(doubleClicks, (QStringList{path(QStringLiteral("one")), path(QStringLiteral("one"))}));

    // What a handler raises goes to the error handler, not through the event loop.
    QString reported;
    tree->setErrorHandler([&](TShellTreeView* Sender, std::exception_ptr error) {
        EXPECT_EQ(Sender, tree.get());
        reported = invalidPathMessage([&] { std::rethrow_exception(error); });
    });
    tree->OnDblClick = [](TShellTreeView*) { throw EInvalidPath::settingPath(QStringLiteral("/x")); };
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, below);
    EXPECT_EQ(reported, QStringLiteral("Error setting path: \"/x\""));
}

} // namespace
