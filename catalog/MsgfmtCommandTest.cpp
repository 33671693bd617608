#include "catalog/MsgfmtCommand.h"

#include "catalog/CatalogRow.h"
#include "catalog/MsgfmtStats.h"
#include "catalog/TestPrinters.h"
#include "runner/CommandLine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <utility>

namespace {

TEST(MsgfmtCommandLineTest, QuotesThePathBeforeTheOptions)
{
    EXPECT_EQ(msgfmtCommandLine("/home/ana/po files/de.po"), "msgfmt \"/home/ana/po files/de.po\" -v -c -o /dev/null");
    EXPECT_EQ(msgfmtCommandLine("/po/\"de\".po"), "msgfmt \"/po/\\\"de\\\".po\" -v -c -o /dev/null");
}

TEST(MsgfmtCommandLineTest, GivesMsgfmtThePathAsOneArgument)
{
    const QString paths[] = {"/po/de.po", "/po/a\\\"b.po", "/po/dir\\", "/po/%1 %2\t.po", "\"", ""};
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(splitCommandLine(msgfmtCommandLine(path)),
                  QStringList({"msgfmt", path, "-v", "-c", "-o", "/dev/null"}));
    }
}

TEST(MsgfmtEnvironmentTest, SetsTheCLocaleAndRemovesLanguage)
{
    // Either change alone keeps msgfmt English where no other locale is installed, so the runs below cannot
    // tell when one of them is lost.
    const EnvironmentChanges expected{{"LC_ALL", "C"}, {"LANGUAGE", std::nullopt}};
    EXPECT_EQ(msgfmtCatalogEnvironment(), expected);
}

TEST(MsgfmtStartErrorTest, NamesGettextOnlyForAMissingProgram)
{
    const std::pair<int, QString> cases[] = {
        {ENOENT, QStringLiteral("msgfmt could not be started; it comes with GNU gettext")},
        {EMFILE, QStringLiteral("Too many open files")},
        {EAGAIN, QStringLiteral("Resource temporarily unavailable")},
        {EACCES, QStringLiteral("Permission denied")},
    };
    for (const auto& [errorNumber, status] : cases)
        EXPECT_EQ(msgfmtStartErrorStatus(errorNumber), status);
}

QString corpusPath(const QString& name)
{
    return QDir::cleanPath(QStringLiteral(QUILLMARK_CORPUS "/") + name);
}

/// The non-empty output lines of a check's command line run as the runner runs it: split into program and
/// arguments, standard output and error as one stream, cut at LF, CR and CR LF.
QList<QByteArray> runCheck(const QString& path, const QProcessEnvironment& environment, const QString& folder = {})
{
    QStringList words = splitCommandLine(msgfmtCommandLine(path));
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(words.takeFirst(), words);
    if (!process.waitForFinished(60000)) {
        ADD_FAILURE() << "msgfmt did not run: " << process.errorString().toStdString();
        return {};
    }
    QList<QByteArray> lines = process.readAll().replace("\r\n", "\n").replace('\r', '\n').split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

/// The line a catalog row is evaluated from. An error line is kept against later lines, because msgfmt's checks
/// can count fatal errors and then print the statistics of a file that does not compile.
QByteArray catalogLine(const QList<QByteArray>& lines)
{
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        if (line->contains("fatal error") || line->contains("many errors"))
            return *line;
    }
    return lines.isEmpty() ? QByteArray() : lines.last();
}

/// The row a catalog check gives: the catalog's environment changes over the given one, threshold 1/2.
CatalogRow checkedRow(const QString& path, QProcessEnvironment environment = QProcessEnvironment::systemEnvironment(),
                      const QString& folder = {})
{
    for (const auto& [name, value] : msgfmtCatalogEnvironment()) {
        if (value)
            environment.insert(QString::fromLocal8Bit(name), QString::fromLocal8Bit(*value));
        else
            environment.remove(QString::fromLocal8Bit(name));
    }
    CatalogRow row;
    row.Caption = QFileInfo(path).fileName();
    const YellowThreshold threshold = RatioFromPosition(3);
    EvaluateRow(row, ParseStatsLine(catalogLine(runCheck(path, environment, folder))).value_or(TMsgfmtStats{}),
                threshold.Num, threshold.Den);
    return row;
}

/// The expected rows of a corpus folder by file name, from its TSV: file, status, total, translated, fuzzy,
/// untranslated and icon, after a header line.
QMap<QString, CatalogRow> expectedRows(const QString& tsvName)
{
    QFile file(corpusPath(tsvName));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    QMap<QString, CatalogRow> rows;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> f = lines[i].split('\t');
        if (f.size() == 7)
            rows.insert(f[0], {f[0], {f[1], "", f[2], f[3], f[4], f[5]}, f[6].toInt(), {}});
    }
    return rows;
}

class CorpusTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!QFileInfo(corpusPath("thunar")).isDir())
            GTEST_SKIP() << "no corpus at " << corpusPath("thunar").toStdString();
    }
};

TEST_F(CorpusTest, GoodFilesGiveTheirRows)
{
    const QMap<QString, CatalogRow> expected = expectedRows("thunar.expected.tsv");
    // Just above and below the threshold, complete, fuzzy entries, warnings before the statistics line.
    for (const QString name : {"am.po", "pa.po", "bg.po", "si.po", "lo.po", "ur_PK.po"}) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(expected.contains(name));
        EXPECT_EQ(checkedRow(corpusPath("thunar/" + name)), expected[name]);
    }
}

TEST_F(CorpusTest, BrokenFilesGiveTheirRows)
{
    const QMap<QString, CatalogRow> expected = expectedRows("thunar-broken.expected.tsv");
    ASSERT_FALSE(expected.isEmpty());
    for (const CatalogRow& row : expected) {
        SCOPED_TRACE(row.Caption.toStdString());
        EXPECT_EQ(checkedRow(corpusPath("thunar/broken/" + row.Caption)), row);
    }
}

TEST_F(CorpusTest, PathWithQuotesAndBackslashesReachesMsgfmt)
{
    CatalogRow expected = expectedRows("thunar.expected.tsv").value("bg.po");
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    expected.Caption = R"(say "hi" \"to\ me\.po)";
    ASSERT_TRUE(QFile::copy(corpusPath("thunar/bg.po"), folder.filePath(expected.Caption)));
    EXPECT_EQ(checkedRow(folder.filePath(expected.Caption), QProcessEnvironment::systemEnvironment(), folder.path()),
              expected);
    // The compiled catalog went nowhere, neither beside the file nor into the working folder.
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{expected.Caption});
}

TEST_F(CorpusTest, StatisticsStayEnglishUnderAnotherLanguage)
{
    const QString path = corpusPath("thunar/lt.po");
    // With any locale but C, gettext takes the language from LANGUAGE first.
    QProcessEnvironment german = QProcessEnvironment::systemEnvironment();
    german.insert("LC_ALL", "C.UTF-8");
    german.insert("LANGUAGE", "de");
    if (ParseStatsLine(catalogLine(runCheck(path, german))))
        GTEST_SKIP() << "msgfmt speaks no German here, so its English proves nothing";
    EXPECT_EQ(checkedRow(path, german), expectedRows("thunar.expected.tsv").value("lt.po"));
}

} // namespace
