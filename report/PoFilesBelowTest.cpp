#include "report/PoFilesBelow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(PoFilesBelowTest, CountsPoFilesInVisibleSubfoldersWithoutFollowingLinks)
{
    QTemporaryDir outside;
    ASSERT_TRUE(QFile(outside.filePath(QStringLiteral("a.po"))).open(QIODevice::WriteOnly));
    QTemporaryDir dir;
    const QDir root(dir.path());
    struct Entry
    {
        const char* path;
        bool counted;
    };
    const Entry entries[] = {
        {"top.po", false}, // the folder's own
        {"sub/de.po", true},      {"sub/.de.po", true},  {"sub/deeper/fr.PO", true}, {"sub/dir.po/pa.po", true},
        {"sub/notes.txt", false}, {"sub/de.pot", false}, {".git/y.po", false},       {"sub/.hidden/z.po", false},
    };
    int counted = 0;
    for (const Entry& entry : entries) {
        const QString path = root.filePath(QLatin1String(entry.path));
        ASSERT_TRUE(root.mkpath(QFileInfo(path).path()));
        ASSERT_TRUE(QFile(path).open(QIODevice::WriteOnly)) << entry.path;
        counted += entry.counted ? 1 : 0;
    }
    ASSERT_TRUE(QFile::link(outside.path(), root.filePath(QStringLiteral("sub/link"))));
    ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("sub")), root.filePath(QStringLiteral("sub/loop"))));

    const PoFilesBelow all = countPoFilesBelow(QFile::encodeName(dir.path()) + '/');
    EXPECT_EQ(all.Count, counted);
    EXPECT_FALSE(all.Partial);
    // Cut short, the count says that there may be more.
    const PoFilesBelow cut = countPoFilesBelow(QFile::encodeName(dir.path()), 4);
    EXPECT_TRUE(cut.Partial);
    EXPECT_LT(cut.Count, counted);
}

TEST(PoFilesBelowTest, TheMessageSaysHowManyLieBelow)
{
    const std::vector<std::pair<PoFilesBelow, QString>> cases = {
        {{0, false}, "no PO file in 'po'"},
        {{0, true}, "no PO file in 'po'"},
        {{1, false}, "no PO file in 'po'; 1 lies in its subfolders"},
        {{12, false}, "no PO file in 'po'; 12 lie in its subfolders"},
        {{12, true}, "no PO file in 'po'; at least 12 lie in its subfolders"},
    };
    for (const auto& [below, message] : cases)
        EXPECT_EQ(noPoFileMessage(QStringLiteral("po"), below), message);
}

} // namespace
