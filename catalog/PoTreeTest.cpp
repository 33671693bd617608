#include "catalog/PoTree.h"

#include "catalog/CatalogTotals.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

#include <unistd.h>

namespace {

QList<QByteArray> sorted(QList<QByteArray> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(PoTreeTest, WalksRealFoldersOnlyAndListsLinksToFilesAsEntries)
{
    QTemporaryDir dir;
    const QDir root(dir.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("a/b/c")) && root.mkpath(QStringLiteral(".hidden")) && root.mkpath(QStringLiteral("x.po")));
    for (const char* name : {"top.po", "a/b/c/deep.PO", ".hidden/no.po", "a/notes.txt", "x.po/inside.po"}) {
        QFile file(root.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    // A loop back to the top and a link to a folder are entries, never walked; a link to a file is listed.
    ASSERT_EQ(::symlink("../..", QFile::encodeName(root.filePath(QStringLiteral("a/b/loop"))).constData()), 0);
    ASSERT_EQ(::symlink("a", QFile::encodeName(root.filePath(QStringLiteral("linked"))).constData()), 0);
    ASSERT_EQ(::symlink("../top.po", QFile::encodeName(root.filePath(QStringLiteral("a/link.po"))).constData()), 0);

    const PoTree tree = walkPoTree(dir.path() + u'/');
    EXPECT_EQ(sorted(tree.Names), QList<QByteArray>({"a/b/c/deep.PO", "a/link.po", "top.po", "x.po", "x.po/inside.po"}));
    EXPECT_TRUE(tree.Unreadable.isEmpty());
    EXPECT_TRUE(tree.Ignored.isEmpty());

    bool truncated = false;
    walkPoTree(dir.path() + u'/', 2, &truncated);
    EXPECT_TRUE(truncated);
}

TEST(PoTreeTest, GroupsFilesByDomainFolderOrDomain)
{
    const std::pair<const char*, const char*> cases[] = {
        {"de.po", "./"},
        {"po/de.po", "po/"},
        {"po/pt_BR.po", "po/"},
        {"help/sr@latin/sr@latin.po", "help/"},
        {"po/gtk/de.po", "po/gtk/"},
        {"locale/de/LC_MESSAGES/django.po", "locale/*/LC_MESSAGES/django.po"},
        {"de/LC_MESSAGES/messages.po", "*/LC_MESSAGES/messages.po"},
        {"locales/zh_Hans/messages.po", "locales/*/messages.po"},
        {"locked/", "locked/"},
    };
    for (const auto& [path, group] : cases)
        EXPECT_EQ(catalogGroup(QString::fromUtf8(path)), QString::fromUtf8(group)) << path;
}
