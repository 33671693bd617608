#ifndef QUILLMARK_SHELL_TREETESTSUPPORT_H
#define QUILLMARK_SHELL_TREETESTSUPPORT_H

#include "shell/InvalidPath.h"
#include "shell/ShellTreeView.h"
#include "shell/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* out)
{
    *out << '{' << list.join(QStringLiteral(", ")).toStdString() << '}';
}

/// A fresh folder of folders and files for each test.
class FolderTreeTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    /// The temporary folder's path, clean and absolute, as the tree shows it.
    QString root() const { return QDir::cleanPath(m_dir.path()); }
    QString path(const QString& relative) const { return root() + QLatin1Char('/') + relative; }

    void makeFolders(const QStringList& relatives) const
    {
        for (const QString& relative : relatives)
            ASSERT_TRUE(QDir().mkpath(path(relative))) << relative.toStdString();
    }

    void makeFiles(const QStringList& relatives) const
    {
        for (const QString& relative : relatives) {
            QFile file(path(relative));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << relative.toStdString();
        }
    }

private:
    QTemporaryDir m_dir;
};

/// The message of the EInvalidPath that call throws; "(nothing thrown)" when it throws nothing.
inline QString invalidPathMessage(const std::function<void()>& call)
{
    try {
        call();
    } catch (const EInvalidPath& e) {
        return e.message();
    }
    return QStringLiteral("(nothing thrown)");
}

/// The names the tree shows below folder, in their order there.
inline QStringList shownNames(const TShellTreeView& tree, const QString& folder)
{
    QStringList names;
    const QModelIndex node = tree.nodeOf(folder);
    for (int row = 0; row < tree.model()->rowCount(node); ++row)
        names.append(tree.model()->index(row, 0, node).data().toString());
    return names;
}

/// Waits until folder has been read and the tree shows count entries below it.
inline bool waitForLoaded(const TShellTreeView& tree, const QString& folder, int count)
{
    return waitFor([&] { return tree.isLoaded(folder) && tree.model()->rowCount(tree.nodeOf(folder)) == count; });
}

/// Whether the node's row lies within the tree's viewport, and the start of its name too.
inline bool isInView(const TShellTreeView& tree, const QModelIndex& node)
{
    const QRect rect = tree.visualRect(node);
    return node.isValid() && rect.top() >= 0 && rect.bottom() < tree.viewport()->height() && rect.left() >= 0
        && rect.left() < tree.viewport()->width();
}

/// Waits until the folders on the way to folder have been read and the tree has laid them out, so that the
/// rows stay where they are.
inline bool waitForSettled(const TShellTreeView& tree, const QString& folder)
{
    QStringList above;
    for (QString parent = QFileInfo(folder).path(); parent != QLatin1String("/"); parent = QFileInfo(parent).path())
        above.prepend(parent);
    above.prepend(QStringLiteral("/"));
    for (const QString& parent : above)
        if (!waitFor([&] { return tree.isLoaded(parent); }))
            return false;
    // The model sorts and the tree re-scrolls at the next turns of the event loop, with no delay.
    for (int turn = 0; turn < 3; ++turn)
        QCoreApplication::processEvents();
    return tree.visualRect(tree.nodeOf(folder)).isValid();
}

/// A point on the folder's name, in the tree's viewport, scrolled there as a user would.
inline QPoint pointOn(TShellTreeView& tree, const QString& folder)
{
    tree.scrollTo(tree.nodeOf(folder));
    const QRect rect = tree.visualRect(tree.nodeOf(folder));
    return {rect.left() + 8, rect.center().y()};
}

#endif // QUILLMARK_SHELL_TREETESTSUPPORT_H
