#include "shell/FolderTreePanel.h"

#include "shell/ShellTreeView.h"
#include "shell/TreeTestSupport.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QListView>
#include <QMouseEvent>
#include <QSplitter>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

namespace {

/// The panel as the window places it: the folder box above, the panel and a list side by side below.
class FolderTreePanelTest : public FolderTreeTest
{
protected:
    void SetUp() override
    {
        FolderTreeTest::SetUp();
        makeFolders({QStringLiteral("po"), QStringLiteral("other"), QStringLiteral("third")});
        window = std::make_unique<QWidget>();
        EdtDir = new QComboBox(window.get());
        EdtDir->setEditable(true);
        panel = new FolderTreePanel(EdtDir);
        auto* layout = new QVBoxLayout(window.get());
        layout->addWidget(EdtDir);
        layout->addWidget(panel->createSplitter(new QListView), 1);
        panel->OnReadFolder = [this] { reads.append(EdtDir->currentText()); };
        panel->setErrorHandler([this](std::exception_ptr error) {
            errors.append(invalidPathMessage([&] { std::rethrow_exception(error); }));
        });
        window->resize(640, 300);
        window->show();
    }

    /// Whether the splitter's handle beside the panel shows.
    bool handleShown() const { return !panel->Splitter1()->handle(1)->isHidden(); }

    /// Clicks (or double-clicks) a folder's node.
    void click(const QString& folder, bool twice = false)
    {
        TShellTreeView* tree = panel->ShellTree();
        tree->expand(tree->nodeOf(QFileInfo(folder).path()));
        ASSERT_TRUE(waitFor([&] { return tree->isVisible(); }));
        ASSERT_TRUE(waitForSettled(*tree, folder));
        ASSERT_EQ(tree->indexAt(pointOn(*tree, folder)), tree->nodeOf(folder));
        if (twice)
            QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, pointOn(*tree, folder));
        else
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, pointOn(*tree, folder));
    }

    std::unique_ptr<QWidget> window;
    QComboBox* EdtDir = nullptr;
    FolderTreePanel* panel = nullptr;
    /// EdtDir's text at each OnReadFolder.
    QStringList reads;
    QStringList errors;
};

TEST_F(FolderTreePanelTest, FirstOpeningSelectsTheFolderBoxsFolderAndTogglingKeepsTheTree)
{
    EXPECT_TRUE(panel->isHidden());
    EXPECT_FALSE(handleShown());
    EXPECT_EQ(panel->ShellTree(), nullptr);

    EdtDir->setEditText(path(QStringLiteral("po/")));
    panel->BtnPathClick();
    TShellTreeView* tree = panel->ShellTree();
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->Path(), path(QStringLiteral("po")));
    EXPECT_EQ(EdtDir->currentText(), path(QStringLiteral("po/")));
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(handleShown());
    EXPECT_TRUE(waitFor([&] { return panel->width() == FolderTreePanel::PanelWidth; })) << panel->width();
    EXPECT_EQ(tree->geometry().bottom(), panel->height() - 1);
    // Selected while the panel was hidden, the folder comes into view once it shows.
    EXPECT_TRUE(waitFor([&] { return isInView(*tree, tree->currentIndex()); }));

    // Selecting writes the folder into the box and reads nothing.
    click(path(QStringLiteral("other")));
    EXPECT_EQ(EdtDir->currentText(), path(QStringLiteral("other")));
    EXPECT_TRUE(reads.isEmpty());

    // The close mark hides panel and handle; ".." shows the same tree again, not synchronised with the box.
    QTest::mouseClick(panel->Label13(), Qt::LeftButton);
    EXPECT_TRUE(panel->isHidden());
    EXPECT_FALSE(handleShown());
    EdtDir->setEditText(path(QStringLiteral("third")));
    panel->BtnPathClick();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(handleShown());
    EXPECT_EQ(panel->ShellTree(), tree);
    EXPECT_EQ(tree->Path(), path(QStringLiteral("other")));
    EXPECT_EQ(EdtDir->currentText(), path(QStringLiteral("third")));

    // The panel follows the handle while it is dragged, before the button is released.
    QSplitterHandle* handle = panel->Splitter1()->handle(1);
    const QPoint grip = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, {}, grip);
    QMouseEvent drag(QEvent::MouseMove, QPointF(grip + QPoint(40, 0)),
                     handle->mapToGlobal(QPointF(grip + QPoint(40, 0))), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &drag);
    EXPECT_EQ(panel->width(), FolderTreePanel::PanelWidth + 40);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + QPoint(40, 0));

    // ".." while shown hides both.
    panel->BtnPathClick();
    EXPECT_TRUE(panel->isHidden());
    EXPECT_FALSE(handleShown());
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(FolderTreePanelTest, FirstOpeningOnAMissingFolderThrowsYetLeavesAWorkingTree)
{
    const QString missing = path(QStringLiteral("gone"));
    EdtDir->setEditText(missing);
    EXPECT_EQ(invalidPathMessage([&] { panel->BtnPathClick(); }),
              QStringLiteral("Error setting path: \"%1\"").arg(missing));
    EXPECT_TRUE(panel->isHidden());
    ASSERT_NE(panel->ShellTree(), nullptr);
    EXPECT_EQ(EdtDir->currentText(), missing);

    panel->BtnPathClick();
    EXPECT_TRUE(panel->isVisible());
    TShellTreeView* tree = panel->ShellTree();
    EXPECT_TRUE(waitFor([&] { return tree->geometry().bottom() == panel->height() - 1; }));
    EXPECT_EQ(tree->width(), panel->width());
    tree->setPath(root());
    click(path(QStringLiteral("po")));
    EXPECT_EQ(EdtDir->currentText(), path(QStringLiteral("po")));
}

TEST_F(FolderTreePanelTest, AFolderReadMovesTheSelectionAndWritesTheTreesPathBack)
{
    // No tree yet: nothing to move, and nothing to fail.
    panel->FolderRead(path(QStringLiteral("gone")));
    EXPECT_EQ(panel->ShellTree(), nullptr);

    EdtDir->setEditText(path(QStringLiteral("po")));
    panel->BtnPathClick();
    panel->Label13Click();

    // Hidden, the tree still follows the reads.
    EdtDir->setEditText(path(QStringLiteral("other/")));
    panel->FolderRead(EdtDir->currentText());
    EXPECT_EQ(panel->ShellTree()->Path(), path(QStringLiteral("other")));
    EXPECT_EQ(EdtDir->currentText(), path(QStringLiteral("other")));

    // Already selected: the box keeps its text as typed.
    EdtDir->setEditText(path(QStringLiteral("./other/")));
    panel->FolderRead(EdtDir->currentText());
    EXPECT_EQ(EdtDir->currentText(), path(QStringLiteral("./other/")));

    const QString missing = path(QStringLiteral("gone"));
    EXPECT_EQ(invalidPathMessage([&] { panel->FolderRead(missing); }),
              QStringLiteral("Error setting path: \"%1\"").arg(missing));
    EXPECT_EQ(panel->ShellTree()->Path(), path(QStringLiteral("other")));

    // A folder read while hidden, far below the rows last shown: in view when the panel shows again.
    QStringList crowd{QStringLiteral("other/zz")};
    for (int sibling = 0; sibling < 40; ++sibling)
        crowd.append(QStringLiteral("other/s%1").arg(sibling, 2, 10, QLatin1Char('0')));
    makeFolders(crowd);
    panel->FolderRead(path(QStringLiteral("other/zz")));
    ASSERT_TRUE(waitForLoaded(*panel->ShellTree(), path(QStringLiteral("other")), 41));
    ASSERT_TRUE(waitForSettled(*panel->ShellTree(), path(QStringLiteral("other/zz"))));
    panel->BtnPathClick();
    EXPECT_TRUE(waitFor([&] { return isInView(*panel->ShellTree(), panel->ShellTree()->currentIndex()); }));
}

TEST_F(FolderTreePanelTest, DoubleClickReadsWhatTheFolderBoxHolds)
{
    EdtDir->setEditText(root());
    panel->BtnPathClick();
    panel->ShellTree()->expand(panel->ShellTree()->nodeOf(root()));
    ASSERT_TRUE(waitForLoaded(*panel->ShellTree(), root(), 3));

    click(path(QStringLiteral("third")), true);
    EXPECT_EQ(reads, QStringList{path(QStringLiteral("third"))});

    // On the folder already selected, after the box was edited: the box's text is read.
    EdtDir->setEditText(QStringLiteral("typed"));
    click(path(QStringLiteral("third")), true);
    EXPECT_EQ(reads.last(), QStringLiteral("typed"));

    // A read that fails goes to the error handler.
    panel->OnReadFolder = [] { throw EInvalidPath::settingPath(QStringLiteral("typed")); };
    click(path(QStringLiteral("third")), true);
    EXPECT_EQ(errors, QStringList{QStringLiteral("Error setting path: \"typed\"")});
}

} // namespace
