#ifndef QUILLMARK_CATALOG_POLAYOUTS_H
#define QUILLMARK_CATALOG_POLAYOUTS_H

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

/// A project's PO files as real projects lay them out, made of the corpus's files, with the rows and totals a
/// read of the whole tree must give.
struct PoLayout
{
    const char* Name;
    /// Path in the project -> corpus file (relative to the corpus's thunar folder).
    std::vector<std::pair<const char*, const char*>> Files;
    /// Made a git work tree that ignores build/ and node_modules/.
    bool Git = false;
    QStringList Rows;
    QString Totals;
    /// "group: totals", in the order of the groups' first rows.
    QStringList Groups;
};

// de.po: 1081 translated; pa.po: 423 translated, 615 untranslated; the broken file: 1 error.
inline const std::vector<PoLayout>& poLayouts()
{
    static const std::vector<PoLayout> layouts = {
        {"flat",
         {{"de.po", "de.po"}, {"pa.po", "pa.po"}},
         false,
         {"de.po", "pa.po"},
         "2 files: 1504 translated, 0 fuzzy, 615 untranslated (70.9% translated)",
         {"./: 2 files: 1504 translated, 0 fuzzy, 615 untranslated (70.9% translated)"}},
        {"lc_messages",
         {{"locale/de/LC_MESSAGES/django.po", "de.po"},
          {"locale/de/LC_MESSAGES/djangojs.po", "pa.po"},
          {"locale/pa/LC_MESSAGES/django.po", "pa.po"}},
         false,
         {"locale/de/LC_MESSAGES/django.po", "locale/de/LC_MESSAGES/djangojs.po", "locale/pa/LC_MESSAGES/django.po"},
         "3 files: 1927 translated, 0 fuzzy, 1230 untranslated (61.0% translated)",
         {"locale/*/LC_MESSAGES/django.po: 2 files: 1504 translated, 0 fuzzy, 615 untranslated (70.9% translated)",
          "locale/*/LC_MESSAGES/djangojs.po: 1 file: 423 translated, 0 fuzzy, 615 untranslated (40.7% translated)"}},
        {"po_and_help",
         {{"po/de.po", "de.po"}, {"po/pa.po", "pa.po"}, {"help/de/de.po", "de.po"}},
         false,
         {"help/de/de.po", "po/de.po", "po/pa.po"},
         "3 files: 2585 translated, 0 fuzzy, 615 untranslated (80.7% translated)",
         {"help/: 1 file: 1081 translated, 0 fuzzy, 0 untranslated (100.0% translated)",
          "po/: 2 files: 1504 translated, 0 fuzzy, 615 untranslated (70.9% translated)"}},
        {"domain_folders",
         {{"po/app/de.po", "de.po"},
          {"po/app/pa.po", "pa.po"},
          {"po/lib/de.po", "de.po"},
          {"po/lib/fr.po", "broken/de-format-mismatch.po"}},
         false,
         {"po/app/de.po", "po/app/pa.po", "po/lib/de.po", "po/lib/fr.po"},
         "4 files, 1 with errors: 2585 translated, 0 fuzzy, 615 untranslated (80.7% translated)",
         {"po/app/: 2 files: 1504 translated, 0 fuzzy, 615 untranslated (70.9% translated)",
          "po/lib/: 2 files, 1 with errors: 1081 translated, 0 fuzzy, 0 untranslated (100.0% translated)"}},
        {"git_ignores_build",
         {{"po/de.po", "de.po"},
          {"build/po/de.po", "pa.po"},
          {"node_modules/x/pa.po", "pa.po"},
          {".tox/pa.po", "pa.po"}},
         true,
         {"po/de.po"},
         "1 file: 1081 translated, 0 fuzzy, 0 untranslated (100.0% translated)",
         {"po/: 1 file: 1081 translated, 0 fuzzy, 0 untranslated (100.0% translated)"}},
    };
    return layouts;
}

/// Makes the layout in root from the corpus folder.
inline void buildPoLayout(const PoLayout& layout, const QString& corpus, const QString& root)
{
    for (const auto& [path, source] : layout.Files) {
        const QString target = QDir(root).filePath(QString::fromUtf8(path));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(target).absolutePath()));
        ASSERT_TRUE(QFile::copy(corpus + QStringLiteral("/thunar/") + QString::fromUtf8(source), target)) << path;
    }
    if (!layout.Git)
        return;
    QFile ignore(QDir(root).filePath(QStringLiteral(".gitignore")));
    ASSERT_TRUE(ignore.open(QIODevice::WriteOnly));
    ignore.write("build/\nnode_modules/\n");
    ignore.close();
    ASSERT_EQ(QProcess::execute(QStringLiteral("git"), {QStringLiteral("init"), QStringLiteral("-q"), root}), 0);
}

#endif // QUILLMARK_CATALOG_POLAYOUTS_H
