// Runs the built quillmark-report as a child process against real PO files and the real msgfmt.

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QXmlStreamReader>

#include "catalog/PoLayouts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <functional>
#include <optional>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const QString Corpus = QStringLiteral(QUILLMARK_CORPUS);
const QString CleanFolder = Corpus + QStringLiteral("/thunar");
const QString BrokenFolder = Corpus + QStringLiteral("/thunar/broken");

struct Result
{
    bool finished = false;
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QByteArray out;
    QByteArray err;
};

/// Runs quillmark-report with the arguments, or the command line in command (program first) when given; childSetup
/// runs in the child before the program does.
Result runReport(const QStringList& arguments,
                 const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                 const std::function<void()>& childSetup = {})
{
    QProcess process;
    if (childSetup)
        process.setChildProcessModifier(childSetup);
    const bool wholeCommand = !arguments.isEmpty() && arguments.first().startsWith(u'/')
        && QFileInfo(arguments.first()).isExecutable() && QFileInfo(arguments.first()).isFile();
    process.setProgram(wholeCommand ? arguments.first() : QStringLiteral(QUILLMARK_REPORT_PROGRAM));
    process.setArguments(wholeCommand ? arguments.mid(1) : arguments);
    process.setProcessEnvironment(environment);
    process.start();
    Result result;
    result.finished = process.waitForStarted(10000) && process.waitForFinished(180000);
    if (!result.finished) {
        process.kill();
        process.waitForFinished();
    }
    result.exitCode = process.exitCode();
    result.exitStatus = process.exitStatus();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& contents, QIODevice::OpenMode mode)
{
    QFile file(path);
    return file.open(mode) && file.write(contents) == contents.size() && file.flush();
}

/// The expected rows of a folder, header first, split into fields.
QList<QList<QByteArray>> expectedRows(const QString& name)
{
    QList<QList<QByteArray>> rows;
    for (const QByteArray& line : readFile(Corpus + u'/' + name).split('\n')) {
        if (!line.isEmpty())
            rows.append(line.split('\t'));
    }
    return rows;
}

#define SKIP_WITHOUT_CORPUS()                                                                                          \
    do {                                                                                                               \
        if (!QFile::exists(Corpus + QStringLiteral("/thunar.expected.tsv")))                                           \
            GTEST_SKIP() << "no corpus at " << qPrintable(Corpus);                                                     \
        if (QStandardPaths::findExecutable(QStringLiteral("msgfmt")).isEmpty())                                        \
            GTEST_SKIP() << "no msgfmt on PATH";                                                                       \
    } while (false)

TEST(ReportProgramTest, TsvEqualsTheExpectedRowsInAnyLanguage)
{
    SKIP_WITHOUT_CORPUS();
    QProcessEnvironment german = QProcessEnvironment::systemEnvironment();
    german.insert(QStringLiteral("LANGUAGE"), QStringLiteral("de"));
    german.insert(QStringLiteral("LANG"), QStringLiteral("de_DE.UTF-8"));
    // A locale that exists everywhere, under which msgfmt really does speak German when LANGUAGE asks.
    QProcessEnvironment germanUtf8 = german;
    germanUtf8.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));

    for (const QProcessEnvironment& environment : {QProcessEnvironment::systemEnvironment(), german, germanUtf8}) {
        const QString language = environment.value(QStringLiteral("LANGUAGE"), QStringLiteral("(unset)"));
        for (const auto& [folder, expected] : {std::pair(CleanFolder, QStringLiteral("thunar.expected.tsv")),
                                               std::pair(BrokenFolder, QStringLiteral("thunar-broken.expected.tsv"))}) {
            // One check at a time or several: the same bytes.
            for (const QString& jobs : {QStringLiteral("--jobs=1"), QStringLiteral("--jobs=4")}) {
                const Result result
                    = runReport({jobs, QStringLiteral("--format"), QStringLiteral("tsv"), folder}, environment);
                ASSERT_TRUE(result.finished);
                EXPECT_EQ(result.out, readFile(Corpus + u'/' + expected))
                    << qPrintable(folder) << " " << qPrintable(language) << " " << qPrintable(jobs);
                EXPECT_EQ(result.exitStatus, QProcess::NormalExit);
                EXPECT_EQ(result.exitCode, folder == CleanFolder ? 0 : 1);
            }
        }
    }
}

TEST(ReportProgramTest, TableAndJsonShowTheSameRows)
{
    SKIP_WITHOUT_CORPUS();
    const QList<QList<QByteArray>> expected = expectedRows(QStringLiteral("thunar-broken.expected.tsv"));
    ASSERT_EQ(expected.size(), 10);

    const Result json = runReport({QStringLiteral("--format=json"), BrokenFolder});
    QJsonParseError error;
    const QJsonArray array = QJsonDocument::fromJson(json.out, &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out.constData();
    ASSERT_EQ(array.size(), expected.size() - 1);
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QJsonObject object = array.at(i).toObject();
        const QList<QByteArray>& row = expected.at(i + 1);
        EXPECT_EQ(object.value("file").toString().toUtf8(), row.at(0));
        EXPECT_EQ(object.value("status").toString().toUtf8(), row.at(1));
        EXPECT_EQ(object.value("total").toInteger(), row.at(2).toLongLong());
        EXPECT_EQ(object.value("untranslated").toInteger(), row.at(5).toLongLong());
        EXPECT_EQ(object.value("icon").toInteger(), row.at(6).toLongLong());
    }
    EXPECT_EQ(array.at(7).toObject().value("state").toString(), QStringLiteral("red"));
    EXPECT_EQ(array.at(7).toObject().value("bar").toString(), QStringLiteral("#..................."));
    EXPECT_EQ(json.exitCode, 1);

    const Result table = runReport({BrokenFolder});
    const QList<QByteArray> lines = table.out.split('\n');
    ASSERT_EQ(lines.size(), expected.size() + 1);
    EXPECT_TRUE(lines.at(0).startsWith("File"));
    for (qsizetype i = 1; i < expected.size(); ++i) {
        EXPECT_TRUE(lines.at(i).startsWith(expected.at(i).at(0) + ' ')) << lines.at(i).constData();
        EXPECT_TRUE(lines.at(i).endsWith(expected.at(i).at(6) == "3" ? "  errors" : "  red"))
            << lines.at(i).constData();
    }
    EXPECT_TRUE(lines.at(1).contains(" 1 error  !!!!!!!!!!!!!!!!!!!!  ")) << lines.at(1).constData();
    EXPECT_EQ(table.exitCode, 1);
    EXPECT_EQ(table.err, QByteArray("quillmark-report: 8 files with errors\n"));
}

/// A folder holding a PO file that each of the ways a check cannot check touches, and a program named msgfmt,
/// first on PATH, that sleeps on slow.po and runs the real one otherwise.
struct UncheckableFolder
{
    QTemporaryDir dir;
    QTemporaryDir bin;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

    UncheckableFolder()
    {
        const QString msgfmt = QStandardPaths::findExecutable(QStringLiteral("msgfmt"));
        const QString po = QStringLiteral("msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                                          "msgid \"a\"\nmsgstr \"b\"\n");
        for (const char* name : {"a.po", "locked.po", "slow.po", "z.po"})
            writeFile(dir.filePath(QLatin1String(name)), po.toUtf8(), QIODevice::WriteOnly);
        QDir(dir.path()).mkdir(QStringLiteral("x.po"));
        QFile::link(dir.filePath(QStringLiteral("nowhere")), dir.filePath(QStringLiteral("dangling.po")));
        ::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.po"))).constData(), 0644);
        QFile::setPermissions(dir.filePath(QStringLiteral("locked.po")), QFile::WriteOwner);
        const QString script = bin.filePath(QStringLiteral("msgfmt"));
        writeFile(script,
                  QStringLiteral("#!/bin/sh\ncase \"$1\" in *slow.po) exec sleep 30 ;; esac\nexec \"%1\" \"$@\"\n")
                      .arg(msgfmt)
                      .toUtf8(),
                  QIODevice::WriteOnly);
        // Whoever runs the report (another user when the tests run as root) reaches all of it.
        for (const QString& path : {dir.path(), bin.path()})
            ::chmod(QFile::encodeName(path).constData(), 0755);
        ::chmod(QFile::encodeName(script).constData(), 0755);
        environment.insert(QStringLiteral("PATH"), bin.path() + u':' + environment.value(QStringLiteral("PATH")));
    }
};

TEST(ReportProgramTest, JUnitIsValidAndTellsBrokenFilesFromFilesThatCouldNotBeChecked)
{
    SKIP_WITHOUT_CORPUS();
    const QString xmllint = QStandardPaths::findExecutable(QStringLiteral("xmllint"));
    if (xmllint.isEmpty())
        GTEST_SKIP() << "no xmllint on PATH";
    // What a file's test case holds: "" when it passes, "failure" when it fails, "error" when it was not checked.
    using Kinds = QList<std::pair<QByteArray, QByteArray>>;
    const auto fromExpectedRows = [](const QString& name) {
        // A failure exactly where the row has the error icon or stays below 60% translated.
        Kinds kinds;
        for (const QList<QByteArray>& row : expectedRows(name).mid(1)) {
            const bool fails = row.at(6) == "3" || row.at(3).toLongLong() * 100 < 60 * row.at(2).toLongLong();
            kinds.append({row.at(0), fails ? "failure" : ""});
        }
        return kinds;
    };
    UncheckableFolder uncheckable;
    ASSERT_TRUE(QFile::copy(BrokenFolder + QStringLiteral("/de-missing-quote.po"),
                            uncheckable.dir.filePath(QStringLiteral("broken.po"))));
    const QByteArray lockedKind = ::geteuid() == 0 ? "" : "error";
    const std::vector<std::pair<QString, Kinds>> cases = {
        {CleanFolder, fromExpectedRows(QStringLiteral("thunar.expected.tsv"))},
        {BrokenFolder, fromExpectedRows(QStringLiteral("thunar-broken.expected.tsv"))},
        {uncheckable.dir.path(),
         {{"a.po", ""},
          {"broken.po", "failure"},
          {"dangling.po", "error"},
          {"locked.po", lockedKind},
          {"pipe.po", "error"},
          {"slow.po", "error"},
          {"x.po", "error"},
          {"z.po", ""}}},
    };
    QTemporaryDir dir;
    for (const auto& [folder, expected] : cases) {
        SCOPED_TRACE(folder.toStdString());
        const Result result = runReport({QStringLiteral("--format=junit"), QStringLiteral("--fail-under=60"),
                                         QStringLiteral("--timeout=1"), folder},
                                        uncheckable.environment);
        EXPECT_EQ(result.exitCode, 1);
        const QString path = dir.filePath(QStringLiteral("junit.xml"));
        ASSERT_TRUE(writeFile(path, result.out, QIODevice::WriteOnly | QIODevice::Truncate));
        QProcess lint;
        lint.start(
            xmllint,
            {QStringLiteral("--noout"), QStringLiteral("--schema"), QStringLiteral(QUILLMARK_JUNIT_SCHEMA), path});
        ASSERT_TRUE(lint.waitForFinished(30000));
        EXPECT_EQ(lint.exitCode(), 0) << lint.readAllStandardError().constData();

        Kinds kinds;
        QHash<QByteArray, double> seconds;
        QXmlStreamAttributes suite;
        QXmlStreamReader reader(result.out);
        while (!reader.atEnd()) {
            reader.readNext();
            if (!reader.isStartElement())
                continue;
            const QByteArray name = reader.attributes().value("name").toUtf8();
            if (reader.name() == QLatin1String("testsuite")) {
                suite = reader.attributes();
            } else if (reader.name() == QLatin1String("testcase")) {
                kinds.append({name, ""});
                bool timed = false;
                seconds.insert(name, reader.attributes().value("time").toDouble(&timed));
                EXPECT_TRUE(timed) << name.constData();
            } else if (!kinds.isEmpty()) {
                kinds.last().second = reader.name().toUtf8();
            }
        }
        ASSERT_FALSE(reader.hasError()) << qPrintable(reader.errorString());
        EXPECT_EQ(kinds, expected);
        EXPECT_EQ(suite.value("failures").toInt(), std::count_if(kinds.cbegin(), kinds.cend(), [](const auto& kind) {
                      return kind.second == "failure";
                  }));
        EXPECT_EQ(suite.value("errors").toInt(),
                  std::count_if(kinds.cbegin(), kinds.cend(), [](const auto& kind) { return kind.second == "error"; }));
        EXPECT_TRUE(QDateTime::fromString(suite.value("timestamp").toString(), Qt::ISODate).isValid());
        EXPECT_EQ(suite.value("hostname").toString(), QSysInfo::machineHostName());
        // A test case's time is its own check's: slow.po's ran until the limit's timer, which may fire a little
        // early, stopped it.
        if (seconds.contains("slow.po")) {
            EXPECT_GE(seconds.value("slow.po"), 0.9);
        }
    }
}

TEST(ReportProgramTest, ExitStatusSaysWhetherEveryFilePassed)
{
    SKIP_WITHOUT_CORPUS();
    const Result clean = runReport({QStringLiteral("--format=tsv"), CleanFolder});
    EXPECT_EQ(clean.exitCode, 0);
    // Not a terminal: no progress.
    EXPECT_EQ(clean.err, QByteArray());

    // Files whose share is below 50.5% by the expected counts: bn.po at 50.47% among them, am.po at 50.77% not.
    int below = 0;
    for (const QList<QByteArray>& row : expectedRows(QStringLiteral("thunar.expected.tsv")).mid(1))
        below += row.at(3).toLongLong() * 1000 < 505 * row.at(2).toLongLong() ? 1 : 0;
    ASSERT_GT(below, 0);
    // One check at a time gives the same rows as the default's several at once.
    const Result half = runReport({QStringLiteral("--fail-under"), QStringLiteral("50.5"), QStringLiteral("--jobs=1"),
                                   QStringLiteral("--format=tsv"), CleanFolder});
    EXPECT_EQ(half.exitCode, 1);
    EXPECT_EQ(half.out, clean.out);
    EXPECT_EQ(half.err, QStringLiteral("quillmark-report: %1 files below 50.5%\n").arg(below).toUtf8());
    EXPECT_EQ(runReport({QStringLiteral("--fail-under=5"), QStringLiteral("--format=tsv"), CleanFolder}).exitCode, 0);
    // The threshold changes icons, never the exit status.
    const Result strict = runReport({QStringLiteral("--ratio=0"), QStringLiteral("--format=tsv"), CleanFolder});
    EXPECT_EQ(strict.exitCode, 0);
    EXPECT_TRUE(strict.out.contains("\nam.po\t50%\t776\t394\t0\t382\t2\n"));
    EXPECT_TRUE(strict.out.contains("\nar.po\t83%\t1073\t897\t0\t176\t1\n"));

    EXPECT_EQ(runReport({BrokenFolder}).exitCode, 1);

    // A folder with no PO file checked nothing: a wrong path, or PO files deeper down.
    QTemporaryDir empty;
    QTemporaryDir project;
    for (const char* path : {"po/de.po", "po/.hidden/fr.po", "doc/po/pa.po"}) {
        const QString file = project.filePath(QLatin1String(path));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
        ASSERT_TRUE(writeFile(file, "", QIODevice::WriteOnly));
    }
    const std::vector<std::tuple<QStringList, int, QString>> nothingToCheck = {
        {{empty.path()}, 1, QStringLiteral("quillmark-report: no PO file in '%1'\n").arg(empty.path())},
        {{QStringLiteral("--allow-empty"), empty.path()}, 0, QString()},
        {{project.path()},
         1,
         QStringLiteral("quillmark-report: no PO file in '%1' itself; 2 below it: --recursive (-r) includes them\n")
             .arg(project.path())},
    };
    for (const auto& [arguments, exitCode, error] : nothingToCheck) {
        const Result none = runReport(QStringList{QStringLiteral("--format=tsv")} + arguments);
        EXPECT_EQ(none.exitCode, exitCode) << qPrintable(arguments.join(u' '));
        EXPECT_EQ(none.out, QByteArray("file\tstatus\ttotal\ttranslated\tfuzzy\tuntranslated\ticon\n"));
        EXPECT_EQ(none.err, error.toUtf8());
    }

    // A folder named like a PO file is listed but cannot be checked: an error row, a failure.
    ASSERT_TRUE(QDir(empty.path()).mkdir(QStringLiteral("folder.po")));
    const Result folder = runReport({QStringLiteral("--format=tsv"), empty.path()});
    EXPECT_TRUE(folder.out.endsWith("\nfolder.po\tIs a directory\t\t\t\t\t3\n")) << folder.out.constData();
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_EQ(folder.err, QByteArray("quillmark-report: 1 file with errors\n")) << folder.err.constData();
    EXPECT_EQ(runReport({QStringLiteral("--fail-under=0"), empty.path()}).exitCode, 1);
}

TEST(ReportProgramTest, RecursiveListsEveryLayoutByRelativePathWithTotals)
{
    SKIP_WITHOUT_CORPUS();
    const QRegularExpression counts(QStringLiteral("(\\d+) translated, (\\d+) fuzzy, (\\d+) untranslated"));
    for (const PoLayout& layout : poLayouts()) {
        SCOPED_TRACE(layout.Name);
        QTemporaryDir dir;
        buildPoLayout(layout, Corpus, dir.path());
        const QRegularExpressionMatch total = counts.match(layout.Totals);
        ASSERT_TRUE(total.hasMatch());

        const Result tsv = runReport({QStringLiteral("-r"), QStringLiteral("--totals"), QStringLiteral("--format=tsv"), dir.path()});
        QList<QByteArray> lines = tsv.out.split('\n');
        ASSERT_EQ(lines.size(), layout.Rows.size() + layout.Groups.size() + 3) << tsv.out.constData();
        QStringList files;
        for (qsizetype i = 1; i <= layout.Rows.size(); ++i)
            files.append(QString::fromUtf8(lines.at(i).split('\t').first()));
        EXPECT_EQ(files, layout.Rows);
        const QList<QByteArray> last = lines.at(lines.size() - 2).split('\t');
        EXPECT_EQ(last.mid(0, 1) + last.mid(3, 3),
                  QList<QByteArray>({"TOTAL", total.captured(1).toUtf8(), total.captured(2).toUtf8(), total.captured(3).toUtf8()}));

        const Result json = runReport({QStringLiteral("--recursive"), QStringLiteral("--format=json"), dir.path()});
        const QJsonObject document = QJsonDocument::fromJson(json.out).object();
        files.clear();
        for (const QJsonValue& row : document.value(QStringLiteral("files")).toArray())
            files.append(row.toObject().value(QStringLiteral("file")).toString());
        EXPECT_EQ(files, layout.Rows);
        const QJsonObject totals = document.value(QStringLiteral("totals")).toObject();
        EXPECT_EQ(totals.value(QStringLiteral("files")).toInt(), layout.Rows.size());
        EXPECT_EQ(totals.value(QStringLiteral("translated")).toInteger(), total.captured(1).toLongLong());
        EXPECT_EQ(totals.value(QStringLiteral("untranslated")).toInteger(), total.captured(3).toLongLong());
        EXPECT_EQ(document.value(QStringLiteral("groups")).toArray().size(), layout.Groups.size());
    }
}

TEST(ReportProgramTest, AnEmptyFolderNamesTheFilesBelowAndRecursiveRefusesAFile)
{
    SKIP_WITHOUT_CORPUS();
    QTemporaryDir dir;
    buildPoLayout(poLayouts().at(1), Corpus, dir.path());
    const Result flat = runReport({dir.path()});
    EXPECT_EQ(flat.err, QStringLiteral("quillmark-report: no PO file in '%1' itself; 3 below it: --recursive (-r) "
                                       "includes them\n").arg(dir.path()).toUtf8());
    const QString file = dir.filePath(QStringLiteral("locale/de/LC_MESSAGES/django.po"));
    const Result onFile = runReport({QStringLiteral("-r"), file});
    EXPECT_EQ(onFile.exitCode, 2);
    EXPECT_EQ(onFile.err, QStringLiteral("quillmark-report: not a folder: '%1'\n").arg(file).toUtf8());
}

TEST(ReportProgramTest, UsageErrorsAndMissingFoldersGiveStatusTwo)
{
    const Result bad = runReport({QStringLiteral("--colour"), QStringLiteral("/tmp")});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.out.isEmpty());
    EXPECT_TRUE(bad.err.startsWith("quillmark-report: unknown option '--colour'\nUsage: quillmark-report "))
        << bad.err.constData();
    EXPECT_EQ(runReport({}).exitCode, 2);
    EXPECT_EQ(runReport({QStringLiteral("/tmp"), QStringLiteral("/var")}).exitCode, 2);
    EXPECT_EQ(runReport({QStringLiteral("--ratio"), QStringLiteral("9"), QStringLiteral("/tmp")}).exitCode, 2);
    EXPECT_EQ(runReport({QStringLiteral("--fail-under"), QStringLiteral("x"), QStringLiteral("/tmp")}).exitCode, 2);

    QTemporaryDir dir;
    const QString missing = dir.path() + QStringLiteral("/nowhere");
    const Result absent = runReport({QStringLiteral("--format=tsv"), missing});
    EXPECT_EQ(absent.exitCode, 2);
    EXPECT_TRUE(absent.out.isEmpty());
    EXPECT_EQ(absent.err, QStringLiteral("quillmark-report: no such folder: '%1'\n").arg(missing).toUtf8());
    // A file is no folder.
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("a.po")), "", QIODevice::WriteOnly));
    EXPECT_EQ(runReport({dir.filePath(QStringLiteral("a.po"))}).exitCode, 2);

    const Result help = runReport({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: quillmark-report [--ratio POS]"));
    EXPECT_TRUE(help.err.isEmpty());
}

TEST(ReportProgramTest, UnreadableFolderDoesNotPassAsEmpty)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every folder";
    QTemporaryDir dir;
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("a.po")), "", QIODevice::WriteOnly));
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0), 0);
    const Result result = runReport({dir.path()});
    ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.startsWith("quillmark-report: cannot read folder")) << result.err.constData();
}

TEST(ReportProgramTest, WithoutMsgfmtEveryRowShowsTheStartError)
{
    if (!QFile::exists(Corpus + QStringLiteral("/thunar.expected.tsv")))
        GTEST_SKIP() << "no corpus";
    QTemporaryDir emptyPath;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), emptyPath.path());

    QElapsedTimer clock;
    clock.start();
    const Result result = runReport({QStringLiteral("--format=tsv"), CleanFolder}, environment);
    ASSERT_TRUE(result.finished);
    EXPECT_LT(clock.elapsed(), 60000);
    EXPECT_EQ(result.exitCode, 1);
    const QList<QList<QByteArray>> expected = expectedRows(QStringLiteral("thunar.expected.tsv"));
    const QList<QByteArray> lines = result.out.split('\n');
    ASSERT_EQ(lines.size(), expected.size() + 1);
    EXPECT_EQ(lines.at(0), expected.at(0).join('\t'));
    for (qsizetype i = 1; i < expected.size(); ++i) {
        const QByteArray& file = expected.at(i).at(0);
        EXPECT_EQ(lines.at(i), file + "\tmsgfmt could not be started; it comes with GNU gettext\t\t\t\t\t3");
    }
    // The whole command line and the reason go to standard error, one line a file, before the summary.
    const QList<QByteArray> errors = result.err.split('\n');
    ASSERT_EQ(errors.size(), expected.size() + 1);
    for (qsizetype i = 1; i < expected.size(); ++i) {
        const QByteArray& file = expected.at(i).at(0);
        EXPECT_EQ(errors.at(i - 1),
                  "quillmark-report: " + file + ": Cannot run msgfmt \"" + QFile::encodeName(CleanFolder) + '/' + file
                      + "\" -v -c -o /dev/null: no program msgfmt on PATH");
    }
    EXPECT_EQ(errors.at(expected.size() - 1), QByteArray("quillmark-report: 67 files with errors"));
}

/// The user quillmark-report runs as to find a file it cannot read: the tests' own when they are not root,
/// nobody through setpriv when they are; empty when there is no way.
QStringList asUserWhoCannotRead()
{
    if (::geteuid() != 0)
        return {};
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty())
        return {QString()};
    return {setpriv, QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
            QStringLiteral("--clear-groups")};
}

TEST(ReportProgramTest, FilesThatCouldNotBeCheckedAreFailuresThatSayWhy)
{
    SKIP_WITHOUT_CORPUS();
    UncheckableFolder folder;
    QStringList command = asUserWhoCannotRead();
    if (command == QStringList{QString()})
        GTEST_SKIP() << "the tests run as root and there is no setpriv to run the report as another user";
    command << QStringLiteral(QUILLMARK_REPORT_PROGRAM) << QStringLiteral("--format=tsv") << QStringLiteral("--timeout")
            << QStringLiteral("1") << folder.dir.path();
    QElapsedTimer clock;
    clock.start();
    const Result result = runReport(command, folder.environment);
    EXPECT_LT(clock.elapsed(), 20000);
    EXPECT_EQ(result.out,
              QByteArray("file\tstatus\ttotal\ttranslated\tfuzzy\tuntranslated\ticon\n"
                         "a.po\t100%\t1\t1\t0\t0\t0\n"
                         "dangling.po\tNo such file or directory\t\t\t\t\t3\n"
                         "locked.po\tPermission denied\t\t\t\t\t3\n"
                         "pipe.po\tIs a named pipe, not a file\t\t\t\t\t3\n"
                         "slow.po\tTimed out after 1 s\t\t\t\t\t3\n"
                         "x.po\tIs a directory\t\t\t\t\t3\n"
                         "z.po\t100%\t1\t1\t0\t0\t0\n"));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.endsWith("quillmark-report: 5 files with errors\n")) << result.err.constData();
    EXPECT_TRUE(result.err.contains(": error while opening \"" + QFile::encodeName(folder.dir.path())
                                    + "/locked.po\" for reading: Permission denied\n"))
        << result.err.constData();
}

TEST(ReportProgramTest, AnUnreadableFileIsAnErrorWhateverItsFolderIsCalled)
{
    SKIP_WITHOUT_CORPUS();
    QStringList command = asUserWhoCannotRead();
    if (command == QStringList{QString()})
        GTEST_SKIP() << "the tests run as root and there is no setpriv to run the report as another user";
    command << QStringLiteral(QUILLMARK_REPORT_PROGRAM) << QStringLiteral("--format=tsv");
    // msgfmt's error line quotes the path, and these paths hold words and counts of its statistics line.
    for (const QString name : {"po 3 translated", "not translated"}) {
        SCOPED_TRACE(name.toStdString());
        QTemporaryDir dir;
        const QString folder = dir.filePath(name);
        ASSERT_TRUE(QDir().mkdir(folder));
        ASSERT_TRUE(writeFile(folder + QStringLiteral("/de.po"),
                              "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                              "msgid \"a\"\nmsgstr \"b\"\n",
                              QIODevice::WriteOnly));
        for (const QString& path : {dir.path(), folder})
            ::chmod(QFile::encodeName(path).constData(), 0755);
        ::chmod(QFile::encodeName(folder + QStringLiteral("/de.po")).constData(), 0);
        const Result result = runReport(command + QStringList{folder});
        EXPECT_EQ(result.out, QByteArray("file\tstatus\ttotal\ttranslated\tfuzzy\tuntranslated\ticon\n"
                                         "de.po\tPermission denied\t\t\t\t\t3\n"));
        EXPECT_EQ(result.exitCode, 1);
    }
}

/// Sets a limit of the report's own, soft and hard, as a shell's ulimit does; with asNobody, makes it run as the
/// user nobody first (a process that becomes a user already at its limit on processes cannot run a program).
std::function<void()> underLimit(int resource, rlim_t value, bool asNobody = false)
{
    return [resource, value, asNobody] {
        if (asNobody && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(126);
        const rlimit limit{value, value};
        ::setrlimit(resource, &limit);
    };
}

/// The rows the report gives for every file of the clean folder when no check could start for want of processes.
QByteArray unstartedRows()
{
    QList<QList<QByteArray>> rows = expectedRows(QStringLiteral("thunar.expected.tsv"));
    QByteArray text = rows.takeFirst().join('\t') + '\n';
    for (const QList<QByteArray>& row : rows)
        text += row.at(0) + "\tResource temporarily unavailable\t\t\t\t\t3\n";
    return text;
}

/// The environment, but for the leak check of a sanitized build, which needs a thread of its own at exit that a
/// limit on processes refuses.
QProcessEnvironment withoutLeakCheck()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString options = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"), options + QStringLiteral(" detect_leaks=0"));
    return environment;
}

TEST(ReportProgramTest, UnderALimitOnProcessesTheChecksFitOrSayWhyTheyCouldNotStart)
{
    SKIP_WITHOUT_CORPUS();
    if (::geteuid() != 0)
        GTEST_SKIP() << "the limit counts every process of the user: only root can run the report as a user of its own";
    // The kernel applies no such limit to root. Up to 3, the first that cannot be made is the report's thread for
    // signals, a check's reader thread, a check's msgfmt; 12 holds three checks at once.
    for (const rlim_t processes : {1, 2, 3, 12}) {
        SCOPED_TRACE(processes);
        const Result result = runReport({QStringLiteral("--jobs=8"), QStringLiteral("--format=tsv"), CleanFolder},
                                        withoutLeakCheck(), underLimit(RLIMIT_NPROC, processes, true));
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitStatus, QProcess::NormalExit);
        const bool checked = processes > 3;
        EXPECT_EQ(result.out, checked ? readFile(Corpus + QStringLiteral("/thunar.expected.tsv")) : unstartedRows());
        EXPECT_EQ(result.exitCode, checked ? 0 : 1);
        EXPECT_TRUE(result.err.startsWith("quillmark-report: running ")) << result.err.left(300).constData();
        EXPECT_TRUE(result.err.contains(
            QStringLiteral(" at once instead of 8, as many as the limit of %1 (ulimit -u) allows\n")
                .arg(processes == 1 ? QStringLiteral("1 process") : QStringLiteral("%1 processes").arg(processes))
                .toUtf8()));
    }
}

TEST(ReportProgramTest, UnderALimitOnOpenFilesEveryFileGetsItsRow)
{
    SKIP_WITHOUT_CORPUS();
    // Asked for as many checks at once as the limit has descriptors: far more than it holds.
    for (const rlim_t files : {64, 256}) {
        SCOPED_TRACE(files);
        const Result result
            = runReport({QStringLiteral("--jobs=%1").arg(files), QStringLiteral("--format=tsv"), CleanFolder},
                        QProcessEnvironment::systemEnvironment(), underLimit(RLIMIT_NOFILE, files));
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.out, readFile(Corpus + QStringLiteral("/thunar.expected.tsv")));
        EXPECT_EQ(result.exitCode, 0);
        const QRegularExpression note(
            QStringLiteral("^quillmark-report: running \\d+ checks? at once instead of %1, as many as the limit of "
                           "%1 open files \\(ulimit -n\\) allows\n$")
                .arg(files));
        EXPECT_TRUE(note.match(QString::fromUtf8(result.err)).hasMatch()) << result.err.left(300).constData();
    }
}

/// Whether a process of that pid exists and is no zombie.
bool processAlive(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype end = text.lastIndexOf(')');
    return end >= 0 && text.mid(end + 2, 1) != "Z";
}

/// A folder of a.po, slow.po and z.po (and slow2.po … for more sleepers), with a msgfmt first on PATH that writes
/// its pid into msgfmt.pid and then sleeps on each slow file; with leaveGrandchild, it first starts a sleep of its
/// own in the background, whose pid goes into grandchild.pid.
struct SleepingCheck
{
    QTemporaryDir dir;
    QTemporaryDir bin;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

    explicit SleepingCheck(bool leaveGrandchild = false, int sleepers = 1)
    {
        const QByteArray po = "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                              "msgid \"a\"\nmsgstr \"b\"\n";
        QStringList names{QStringLiteral("a.po"), QStringLiteral("slow.po"), QStringLiteral("z.po")};
        for (int i = 2; i <= sleepers; ++i)
            names.append(QStringLiteral("slow%1.po").arg(i));
        for (const QString& name : names)
            writeFile(dir.filePath(name), po, QIODevice::WriteOnly);
        const QString script = bin.filePath(QStringLiteral("msgfmt"));
        writeFile(script,
                  QStringLiteral("#!/bin/sh\ncase \"$1\" in *slow*.po) %3echo $$ > '%1'; exec sleep 30 ;; esac\n"
                                 "exec '%2' \"$@\"\n")
                      .arg(pidFile(), QStandardPaths::findExecutable(QStringLiteral("msgfmt")),
                           leaveGrandchild ? QStringLiteral("sleep 1000 & echo $! > '%1'; ").arg(grandchildFile())
                                           : QString())
                      .toUtf8(),
                  QIODevice::WriteOnly);
        ::chmod(QFile::encodeName(script).constData(), 0755);
        environment.insert(QStringLiteral("PATH"), bin.path() + u':' + environment.value(QStringLiteral("PATH")));
    }

    QString pidFile() const { return bin.filePath(QStringLiteral("msgfmt.pid")); }
    QString grandchildFile() const { return bin.filePath(QStringLiteral("grandchild.pid")); }

    /// The pid of the sleeping msgfmt once it has started; 0 when it does not within 10 s.
    pid_t sleeper() const
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            const pid_t pid = readFile(pidFile()).trimmed().toInt();
            if (pid > 0)
                return pid;
            QThread::msleep(10);
        }
        return 0;
    }
};

TEST(ReportProgramTest, ASignalDuringTheFirstPassPrintsTheRowsCheckedAndLeavesNoMsgfmt)
{
    SKIP_WITHOUT_CORPUS();
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        SleepingCheck folder;
        QProcess report;
        report.setProcessEnvironment(folder.environment);
        // One check at a time, so that the rows checked when the signal comes are known.
        report.start(QStringLiteral(QUILLMARK_REPORT_PROGRAM),
                     {QStringLiteral("--jobs=1"), QStringLiteral("--format=tsv"), folder.dir.path()});
        const pid_t msgfmt = folder.sleeper();
        ASSERT_GT(msgfmt, 0);
        ::kill(static_cast<pid_t>(report.processId()), signal);
        ASSERT_TRUE(report.waitForFinished(5000));
        EXPECT_EQ(report.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(report.exitCode(), 1);
        EXPECT_EQ(
            report.readAllStandardOutput(),
            QByteArray("file\tstatus\ttotal\ttranslated\tfuzzy\tuntranslated\ticon\na.po\t100%\t1\t1\t0\t0\t0\n"));
        EXPECT_EQ(report.readAllStandardError(),
                  QStringLiteral("quillmark-report: stopped by %1: 2 files not checked\n")
                      .arg(QString::fromLatin1(::sigabbrev_np(signal)))
                      .toUtf8());
        EXPECT_FALSE(processAlive(msgfmt));
    }
}

TEST(ReportProgramTest, CtrlCInATerminalReachesTheReportAndNotItsChecks)
{
    SKIP_WITHOUT_CORPUS();
    // A terminal sends it to its foreground process group, which the report leads here. Were the checks in that
    // group, one of them ended by the signal would now and then be taken for its file's row. Several rounds of
    // several sleeping checks give that a fair chance to show.
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        SleepingCheck folder(false, 5);
        QProcess report;
        report.setProcessEnvironment(folder.environment);
        report.setChildProcessModifier([] { ::setsid(); });
        report.start(QStringLiteral(QUILLMARK_REPORT_PROGRAM),
                     {QStringLiteral("--jobs=8"), QStringLiteral("--format=tsv"), folder.dir.path()});
        ASSERT_GT(folder.sleeper(), 0);
        ::kill(-static_cast<pid_t>(report.processId()), SIGINT);
        ASSERT_TRUE(report.waitForFinished(5000));
        EXPECT_EQ(report.exitCode(), 1);
        // The quick files may or may not have been checked by then; the sleeping ones never were.
        const QByteArray out = report.readAllStandardOutput();
        QByteArray checked = "file\tstatus\ttotal\ttranslated\tfuzzy\tuntranslated\ticon\n";
        int notChecked = 7;
        for (const QByteArray& row :
             {QByteArray("a.po\t100%\t1\t1\t0\t0\t0\n"), QByteArray("z.po\t100%\t1\t1\t0\t0\t0\n")}) {
            if (out.contains('\n' + row)) {
                checked += row;
                --notChecked;
            }
        }
        EXPECT_EQ(out.toStdString(), checked.toStdString());
        EXPECT_EQ(
            report.readAllStandardError().toStdString(),
            QStringLiteral("quillmark-report: stopped by INT: %1 files not checked\n").arg(notChecked).toStdString());
    }
}

TEST(ReportProgramTest, NothingAMsgfmtStartedOutlivesItsCheck)
{
    SKIP_WITHOUT_CORPUS();
    // Ended by the check's time limit, or by the report's stop on a signal.
    for (const bool byTimeLimit : {true, false}) {
        SCOPED_TRACE(byTimeLimit ? "time limit" : "signal");
        SleepingCheck folder(true);
        QProcess report;
        report.setProcessEnvironment(folder.environment);
        report.start(QStringLiteral(QUILLMARK_REPORT_PROGRAM),
                     {QStringLiteral("--timeout=1"), QStringLiteral("--format=tsv"), folder.dir.path()});
        ASSERT_GT(folder.sleeper(), 0);
        const pid_t grandchild = readFile(folder.grandchildFile()).trimmed().toInt();
        ASSERT_GT(grandchild, 0);
        if (!byTimeLimit)
            ::kill(static_cast<pid_t>(report.processId()), SIGTERM);
        ASSERT_TRUE(report.waitForFinished(10000));
        if (byTimeLimit) {
            EXPECT_TRUE(report.readAllStandardOutput().contains("\nslow.po\tTimed out after 1 s\t"));
        }
        QElapsedTimer clock;
        clock.start();
        while (processAlive(grandchild) && clock.elapsed() < 5000)
            QThread::msleep(10);
        EXPECT_FALSE(processAlive(grandchild));
        if (processAlive(grandchild))
            ::kill(grandchild, SIGKILL);
    }
}

TEST(ReportProgramTest, MsgfmtEndsWithAReportKilledOutright)
{
    SKIP_WITHOUT_CORPUS();
    SleepingCheck folder;
    QProcess report;
    report.setProcessEnvironment(folder.environment);
    report.start(QStringLiteral(QUILLMARK_REPORT_PROGRAM), {folder.dir.path()});
    const pid_t msgfmt = folder.sleeper();
    ASSERT_GT(msgfmt, 0);
    ::kill(static_cast<pid_t>(report.processId()), SIGKILL);
    ASSERT_TRUE(report.waitForFinished(5000));
    // Its parent gone, the child was ended by the kernel, and init reaps it.
    QElapsedTimer clock;
    clock.start();
    while (processAlive(msgfmt) && clock.elapsed() < 5000)
        QThread::msleep(10);
    EXPECT_FALSE(processAlive(msgfmt));
}

TEST(ReportProgramTest, ASignalEndsAReportBlockedOnItsOutputWithinASecond)
{
    SKIP_WITHOUT_CORPUS();
    // Rows longer than the smallest pipe, written into a pipe that nobody reads.
    QTemporaryDir dir;
    const QByteArray po = "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";
    for (int i = 0; i < 40; ++i)
        writeFile(dir.filePath(QStringLiteral("%1%2.po").arg(i, 2, 10, QLatin1Char('0')).arg(QString(200, u'x'))), po,
                  QIODevice::WriteOnly);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        int output[2];
        ASSERT_EQ(::pipe2(output, O_CLOEXEC), 0);
        ::fcntl(output[1], F_SETPIPE_SZ, 4096);
        const int capacity = ::fcntl(output[1], F_GETPIPE_SZ);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        const QByteArray program = QUILLMARK_REPORT_PROGRAM;
        const QByteArray folder = QFile::encodeName(dir.path());
        char* argv[] = {const_cast<char*>(program.constData()), const_cast<char*>(folder.constData()), nullptr};
        pid_t pid = -1;
        ASSERT_EQ(::posix_spawn(&pid, program.constData(), &actions, nullptr, argv, environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(output[1]);
        // Full: the report is stuck in its write.
        QElapsedTimer clock;
        clock.start();
        int queued = 0;
        while ((::ioctl(output[0], FIONREAD, &queued) != 0 || queued < capacity) && clock.elapsed() < 20000)
            QThread::msleep(10);
        ASSERT_GE(queued, capacity);
        QThread::msleep(100);
        ::kill(pid, signal);
        clock.restart();
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0 && clock.elapsed() < 5000)
            QThread::msleep(5);
        const qint64 took = clock.elapsed();
        ::close(output[0]);
        EXPECT_LT(took, 1000) << "ended " << took << " ms after the signal";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        if (took >= 5000) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
}

/// quillmark-report --watch as a child, read line by line. runAs, when given, is the command line (program first)
/// that runs it as another user.
class WatchedReport
{
public:
    explicit WatchedReport(const QStringList& arguments, const QString& shellPrefix = QString(),
                           const QStringList& runAs = {})
    {
        const QStringList watch = QStringList{QStringLiteral("--watch")} + arguments;
        if (!runAs.isEmpty()) {
            m_process.setProgram(runAs.first());
            m_process.setArguments(runAs.mid(1) + QStringList{QStringLiteral(QUILLMARK_REPORT_PROGRAM)} + watch);
        } else if (shellPrefix.isEmpty()) {
            m_process.setProgram(QStringLiteral(QUILLMARK_REPORT_PROGRAM));
            m_process.setArguments(watch);
        } else {
            // The shell replaces itself with the program, which keeps what the prefix set up.
            m_process.setProgram(QStringLiteral("/bin/sh"));
            m_process.setArguments(QStringList{QStringLiteral("-c"),
                                               shellPrefix + QStringLiteral("; exec \"$0\" \"$@\""),
                                               QStringLiteral(QUILLMARK_REPORT_PROGRAM)}
                                   + watch);
        }
        m_process.start();
    }
    ~WatchedReport()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    /// The next line without its newline, or nothing when none comes within timeoutMs.
    std::optional<QByteArray> nextLine(int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            const qsizetype end = m_buffer.indexOf('\n');
            if (end >= 0) {
                const QByteArray line = m_buffer.left(end);
                m_buffer.remove(0, end + 1);
                return line;
            }
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0)
                return std::nullopt;
            m_process.waitForReadyRead(static_cast<int>(left));
            m_buffer += m_process.readAllStandardOutput();
            if (m_process.state() == QProcess::NotRunning && !m_buffer.contains('\n'))
                return std::nullopt;
        }
    }

    /// Sends the signal and gives the exit code of a normal end, -1 for any other end.
    int stop(int signal)
    {
        ::kill(static_cast<pid_t>(m_process.processId()), signal);
        if (!m_process.waitForFinished(20000) || m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_process.exitCode();
    }

    QByteArray rest() { return m_buffer + m_process.readAllStandardOutput(); }
    QByteArray errors() { return m_process.readAllStandardError(); }

private:
    QProcess m_process;
    QByteArray m_buffer;
};

const QRegularExpression WatchTime(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\t"));

TEST(ReportProgramTest, WatchPrintsOneRowForEachSaveOfAListedFile)
{
    SKIP_WITHOUT_CORPUS();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"de.po", "fr.po", "pa.po", "si.po"})
        ASSERT_TRUE(QFile::copy(CleanFolder + u'/' + QLatin1String(name), dir.filePath(QLatin1String(name))));

    WatchedReport report({QStringLiteral("--format=tsv"), dir.path()});
    const QByteArray header = "file\tstatus\ttotal\ttranslated\tfuzzy\tuntranslated\ticon";
    const QList<QByteArray> firstPass = {
        header,
        "de.po\t100%\t1081\t1081\t0\t0\t0",
        "fr.po\t100%\t1081\t1081\t0\t0\t0",
        "pa.po\t40%\t1038\t423\t0\t615\t2",
        "si.po\t5%\t736\t38\t8\t690\t2",
    };
    for (const QByteArray& expected : firstPass)
        ASSERT_EQ(report.nextLine(60000).value_or("(nothing)"), expected);
    // Let the watcher settle after the first pass, which wrote nothing.
    EXPECT_FALSE(report.nextLine(500).has_value());

    const QString broken = BrokenFolder + u'/';
    struct Save
    {
        const char* description;
        std::function<bool()> save;
        QByteArray row;
    };
    const std::vector<Save> saves = {
        {"in-place write, no truncation",
         [&] {
             // One entry appended again: longer than the original, so it covers all of it.
             return writeFile(dir.filePath("fr.po"), readFile(broken + "fr-duplicate-msgid.po"), QIODevice::ReadWrite);
         },
         "fr.po\t1 error\t0\t0\t0\t0\t3"},
        {"truncate and write",
         [&] {
             return writeFile(dir.filePath("de.po"), readFile(broken + "de-missing-open-quote.po"),
                              QIODevice::WriteOnly | QIODevice::Truncate);
         },
         "de.po\t3 errors\t0\t0\t0\t0\t3"},
        {"temporary file renamed over",
         [&] {
             const QString temporary = dir.filePath("si.po.tmp");
             return writeFile(temporary, readFile(broken + "si-truncated.po"), QIODevice::WriteOnly)
                 && ::rename(QFile::encodeName(temporary).constData(),
                             QFile::encodeName(dir.filePath("si.po")).constData())
                 == 0;
         },
         "si.po\t1 error\t0\t0\t0\t0\t3"},
        {"touch", [&] { return QProcess::execute(QStringLiteral("touch"), {dir.filePath("pa.po")}) == 0; },
         "pa.po\t40%\t1038\t423\t0\t615\t2"},
    };
    for (const Save& save : saves) {
        SCOPED_TRACE(save.description);
        ASSERT_TRUE(save.save());
        const std::optional<QByteArray> line = report.nextLine(20000);
        ASSERT_TRUE(line.has_value());
        EXPECT_TRUE(WatchTime.match(QString::fromUtf8(*line)).hasMatch()) << line->constData();
        EXPECT_EQ(line->mid(20), save.row);
        // Exactly one row for one save.
        const std::optional<QByteArray> second = report.nextLine(700);
        EXPECT_FALSE(second.has_value()) << second.value_or("").constData();
    }

    EXPECT_EQ(report.stop(SIGINT), 0);
    EXPECT_EQ(report.rest(), QByteArray());
    EXPECT_EQ(report.errors(), QByteArray());
}

TEST(ReportProgramTest, WatchIgnoresUnlistedFilesAndEndsOnSigterm)
{
    SKIP_WITHOUT_CORPUS();
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(CleanFolder + QStringLiteral("/hr.po"), dir.filePath(QStringLiteral("hr.po"))));

    WatchedReport report({QStringLiteral("--format=json"), dir.path()});
    for (const char* expected : {"[", "  {\"file\": \"hr.po\"", "]"})
        ASSERT_TRUE(report.nextLine(60000).value_or("").startsWith(expected));
    EXPECT_FALSE(report.nextLine(500).has_value());

    // A file not named like a catalog has no row.
    ASSERT_TRUE(
        writeFile(dir.filePath(QStringLiteral("new.pot")), "msgid \"a\"\nmsgstr \"b\"\n", QIODevice::WriteOnly));
    EXPECT_FALSE(report.nextLine(1000).has_value());

    ASSERT_EQ(QProcess::execute(QStringLiteral("touch"), {dir.filePath(QStringLiteral("hr.po"))}), 0);
    const std::optional<QByteArray> line = report.nextLine(20000);
    ASSERT_TRUE(line.has_value());
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(*line, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << line->constData();
    EXPECT_EQ(object.value("file").toString(), QStringLiteral("hr.po"));
    EXPECT_EQ(object.value("status").toString(), QStringLiteral("99%"));
    EXPECT_EQ(object.value("state").toString(), QStringLiteral("yellow"));
    EXPECT_TRUE(WatchTime.match(object.value("time").toString() + u'\t').hasMatch());

    EXPECT_EQ(report.stop(SIGTERM), 0);
}

TEST(ReportProgramTest, WatchPrintsFilesThatComeAndGo)
{
    SKIP_WITHOUT_CORPUS();
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    const auto copy = [](const QString& from, const QString& to) { return QFile::copy(CleanFolder + u'/' + from, to); };
    ASSERT_TRUE(copy(QStringLiteral("de.po"), dir.filePath(QStringLiteral("de.po"))));
    ASSERT_TRUE(copy(QStringLiteral("pa.po"), elsewhere.filePath(QStringLiteral("pa.po"))));

    WatchedReport report({QStringLiteral("--format=tsv"), dir.path()});
    for (int line = 0; line < 2; ++line)
        ASSERT_TRUE(report.nextLine(60000).has_value());
    EXPECT_FALSE(report.nextLine(500).has_value());

    const QByteArray de = "de.po\t100%\t1081\t1081\t0\t0\t0";
    const QByteArray pa = "pa.po\t40%\t1038\t423\t0\t615\t2";
    struct Step
    {
        const char* description;
        std::function<bool()> change;
        QByteArray line;
    };
    const std::vector<Step> steps = {
        {"created", [&] { return copy(QStringLiteral("fr.po"), dir.filePath(QStringLiteral("fr.po"))); },
         "fr.po\t100%\t1081\t1081\t0\t0\t0"},
        {"deleted", [&] { return QFile::remove(dir.filePath(QStringLiteral("de.po"))); }, "de.po\tremoved\t\t\t\t\t-1"},
        {"created again later", [&] { return copy(QStringLiteral("de.po"), dir.filePath(QStringLiteral("de.po"))); },
         de},
        {"moved in",
         [&] {
             return QFile::rename(elsewhere.filePath(QStringLiteral("pa.po")), dir.filePath(QStringLiteral("pa.po")));
         },
         pa},
        {"moved out",
         [&] {
             return QFile::rename(dir.filePath(QStringLiteral("pa.po")), elsewhere.filePath(QStringLiteral("pa.po")));
         },
         "pa.po\tremoved\t\t\t\t\t-1"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.description);
        ASSERT_TRUE(step.change());
        EXPECT_EQ(report.nextLine(20000).value_or("(nothing)").mid(20), step.line);
        const std::optional<QByteArray> second = report.nextLine(700);
        EXPECT_FALSE(second.has_value()) << second.value_or("").constData();
    }
    EXPECT_EQ(report.stop(SIGINT), 0);
    EXPECT_EQ(report.errors(), QByteArray());
}

TEST(ReportProgramTest, RecursiveWatchFollowsTheWholeTree)
{
    SKIP_WITHOUT_CORPUS();
    QTemporaryDir dir;
    buildPoLayout(poLayouts().at(1), Corpus, dir.path());
    const QDir root(dir.path());
    WatchedReport report({QStringLiteral("-r"), QStringLiteral("--format=tsv"), dir.path()});
    for (int line = 0; line < 4; ++line)
        ASSERT_TRUE(report.nextLine(60000).has_value());

    const auto copy = [&](const char* from, const QString& to) {
        QFile::remove(root.filePath(to));
        return QFile::copy(CleanFolder + u'/' + QLatin1String(from), root.filePath(to));
    };
    const QByteArray de = "\t100%\t1081\t1081\t0\t0\t0";
    struct Step
    {
        const char* description;
        std::function<bool()> change;
        QList<QByteArray> lines;
    };
    const std::vector<Step> steps = {
        {"saved three folders down", [&] { return copy("pa.po", QStringLiteral("locale/de/LC_MESSAGES/django.po")); },
         {"locale/de/LC_MESSAGES/django.po\t40%\t1038\t423\t0\t615\t2"}},
        {"a language folder made after the read",
         [&] {
             return root.mkpath(QStringLiteral("locale/fr/LC_MESSAGES"))
                 && copy("de.po", QStringLiteral("locale/fr/LC_MESSAGES/django.po"));
         },
         {"locale/fr/LC_MESSAGES/django.po" + de}},
        {"a folder renamed",
         [&] { return QDir().rename(root.filePath(QStringLiteral("locale/fr")), root.filePath(QStringLiteral("locale/ca"))); },
         {"locale/fr/LC_MESSAGES/django.po\tremoved\t\t\t\t\t-1", "locale/ca/LC_MESSAGES/django.po" + de}},
        {"a folder removed", [&] { return QDir(root.filePath(QStringLiteral("locale/ca"))).removeRecursively(); },
         {"locale/ca/LC_MESSAGES/django.po\tremoved\t\t\t\t\t-1"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.description);
        ASSERT_TRUE(step.change());
        QList<QByteArray> lines;
        while (lines.size() < step.lines.size())
            lines.append(report.nextLine(20000).value_or("(nothing)").mid(20));
        EXPECT_EQ(lines, step.lines);
        const std::optional<QByteArray> more = report.nextLine(700);
        EXPECT_FALSE(more.has_value()) << more.value_or("").constData();
    }
    EXPECT_EQ(report.stop(SIGINT), 0);
    EXPECT_EQ(report.errors(), QByteArray());
}

TEST(ReportProgramTest, WatchFollowsTheFolderByItsPath)
{
    SKIP_WITHOUT_CORPUS();
    QTemporaryDir parent;
    const QString po = parent.filePath(QStringLiteral("po"));
    const QString away = parent.filePath(QStringLiteral("away"));
    ASSERT_TRUE(QDir().mkpath(po));
    for (const char* name : {"de.po", "pa.po"})
        ASSERT_TRUE(QFile::copy(CleanFolder + u'/' + QLatin1String(name), po + u'/' + QLatin1String(name)));

    WatchedReport report({QStringLiteral("--format=tsv"), po});
    for (int line = 0; line < 3; ++line)
        ASSERT_TRUE(report.nextLine(60000).has_value());
    EXPECT_FALSE(report.nextLine(500).has_value());
    const auto expectLines = [&](const QList<QByteArray>& expected) {
        for (const QByteArray& line : expected)
            EXPECT_EQ(report.nextLine(20000).value_or("(nothing)").mid(20), line);
        const std::optional<QByteArray> more = report.nextLine(700);
        EXPECT_FALSE(more.has_value()) << more.value_or("").constData();
    };

    ASSERT_TRUE(QDir(po).removeRecursively());
    expectLines({"de.po\tFolder not found\t\t\t\t\t3", "pa.po\tFolder not found\t\t\t\t\t3"});
    // Made again elsewhere and put in place at once, as a checkout does.
    ASSERT_TRUE(QDir().mkpath(away));
    ASSERT_TRUE(QFile::copy(CleanFolder + QStringLiteral("/de.po"), away + QStringLiteral("/de.po")));
    ASSERT_TRUE(QDir().rename(away, po));
    expectLines({"pa.po\tremoved\t\t\t\t\t-1", "de.po\t100%\t1081\t1081\t0\t0\t0"});

    // Renamed away, saved there, and back: the save is checked.
    ASSERT_TRUE(QDir().rename(po, away));
    expectLines({"de.po\tFolder not found\t\t\t\t\t3"});
    ASSERT_TRUE(writeFile(away + QStringLiteral("/de.po"),
                          readFile(BrokenFolder + QStringLiteral("/de-missing-open-quote.po")),
                          QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_TRUE(QDir().rename(away, po));
    expectLines({"de.po\t3 errors\t0\t0\t0\t0\t3"});

    EXPECT_EQ(report.stop(SIGINT), 0);
    EXPECT_EQ(report.errors(), QByteArray());
}

TEST(ReportProgramTest, WatchFollowsTheFolderThroughChangesAboveIt)
{
    SKIP_WITHOUT_CORPUS();
    // Run as another user when the tests run as root, whom no permission keeps out of a folder.
    const QStringList runAs = asUserWhoCannotRead();
    const bool permissionsCount = runAs != QStringList{QString()};

    struct Paths
    {
        QString parent; // holds po, which holds de.po and pa.po
        QString po;
        QString fresh; // holds fr.po
        QString link; // points at po
    };
    struct Step
    {
        std::function<bool(const Paths&)> change;
        QList<QByteArray> lines;
    };
    struct Case
    {
        const char* description;
        bool throughLink; // the folder is given as the link
        bool takesPermissions;
        std::vector<Step> steps;
    };
    const auto setMode
        = [](const QString& path, mode_t mode) { return ::chmod(QFile::encodeName(path).constData(), mode) == 0; };
    const QList<QByteArray> lost = {"de.po\tFolder not found\t\t\t\t\t3", "pa.po\tFolder not found\t\t\t\t\t3"};
    const QList<QByteArray> replaced
        = {"pa.po\tremoved\t\t\t\t\t-1", "de.po\tremoved\t\t\t\t\t-1", "fr.po\t100%\t1081\t1081\t0\t0\t0"};
    const QList<QByteArray> denied = {"de.po\tPermission denied\t\t\t\t\t3", "pa.po\tPermission denied\t\t\t\t\t3"};
    const QList<QByteArray> checked = {"de.po\t100%\t1081\t1081\t0\t0\t0", "pa.po\t40%\t1038\t423\t0\t615\t2"};
    const Case cases[] = {
        {"a parent renamed away, then a fresh folder made at the path",
         false,
         false,
         {{[](const Paths& p) { return QDir().rename(p.parent, p.parent + QStringLiteral(".old")); }, lost},
          {[](const Paths& p) {
               return QDir().mkpath(p.po)
                   && QDir().rename(p.fresh + QStringLiteral("/fr.po"), p.po + QStringLiteral("/fr.po"));
           },
           replaced}}},
        {"a symbolic link re-pointed",
         true,
         false,
         {{[](const Paths& p) {
               return QProcess::execute(QStringLiteral("ln"), {QStringLiteral("-sfn"), p.fresh, p.link}) == 0;
           },
           replaced}}},
        {"the folder's permissions taken and given back",
         false,
         true,
         {{[&](const Paths& p) { return setMode(p.po, 0); }, denied},
          {[&](const Paths& p) { return setMode(p.po, 0755); }, checked}}},
        {"a parent's search permission taken and given back",
         false,
         true,
         {{[&](const Paths& p) { return setMode(p.parent, 0644); }, denied},
          {[&](const Paths& p) { return setMode(p.parent, 0755); }, checked}}},
    };

    for (const Case& change : cases) {
        SCOPED_TRACE(change.description);
        // The last cases.
        if (change.takesPermissions && !permissionsCount)
            GTEST_SKIP() << "the tests run as root and there is no setpriv to run the report as another user";
        QTemporaryDir dir;
        const Paths paths{dir.filePath(QStringLiteral("project")), dir.filePath(QStringLiteral("project/po")),
                          dir.filePath(QStringLiteral("fresh")), dir.filePath(QStringLiteral("link"))};
        ASSERT_TRUE(QDir().mkpath(paths.po) && QDir().mkpath(paths.fresh));
        ASSERT_TRUE(QFile::link(paths.po, paths.link));
        for (const char* name : {"de.po", "pa.po"})
            ASSERT_TRUE(QFile::copy(CleanFolder + u'/' + QLatin1String(name), paths.po + u'/' + QLatin1String(name)));
        ASSERT_TRUE(QFile::copy(CleanFolder + QStringLiteral("/fr.po"), paths.fresh + QStringLiteral("/fr.po")));
        // Whoever runs the report reaches all of it.
        for (const QString& folder : {dir.path(), paths.parent, paths.po, paths.fresh})
            ASSERT_TRUE(setMode(folder, 0755));

        // One check at a time: the rows are checked again in their order.
        WatchedReport report(
            {QStringLiteral("--format=tsv"), QStringLiteral("--jobs=1"), change.throughLink ? paths.link : paths.po},
            QString(), runAs);
        for (int line = 0; line < 3; ++line)
            ASSERT_TRUE(report.nextLine(60000).has_value()) << report.errors().constData();
        EXPECT_FALSE(report.nextLine(500).has_value());
        for (const Step& step : change.steps) {
            ASSERT_TRUE(step.change(paths));
            for (const QByteArray& line : step.lines)
                EXPECT_EQ(report.nextLine(20000).value_or("(nothing)").mid(20), line);
            const std::optional<QByteArray> more = report.nextLine(700);
            EXPECT_FALSE(more.has_value()) << more.value_or("").constData();
        }
        EXPECT_EQ(report.stop(SIGINT), 0);
        EXPECT_EQ(report.errors(), QByteArray());
    }
}

TEST(ReportProgramTest, AFolderNameThatIsNotUtf8IsReadCheckedAndWatched)
{
    SKIP_WITHOUT_CORPUS();
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + "/po-\xff";
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    ASSERT_TRUE(QFile::copy(CleanFolder + QStringLiteral("/pa.po"), dir.filePath(QStringLiteral("pa.po"))));
    ASSERT_EQ(
        ::rename(QFile::encodeName(dir.filePath(QStringLiteral("pa.po"))).constData(), (folder + "/pa.po").constData()),
        0);

    // The name reaches the report as the bytes the shell gives it.
    WatchedReport report({QStringLiteral("--format=tsv")},
                         QStringLiteral("set -- \"$@\" \"$(printf '%1/po-\\377')\"").arg(dir.path()));
    EXPECT_EQ(report.nextLine(60000).value_or("(nothing)"),
              "file\tstatus\ttotal\ttranslated\tfuzzy\tuntranslated\ticon");
    const QByteArray row = "pa.po\t40%\t1038\t423\t0\t615\t2";
    EXPECT_EQ(report.nextLine(60000).value_or("(nothing)"), row);
    EXPECT_FALSE(report.nextLine(500).has_value());
    ASSERT_EQ(::utimensat(AT_FDCWD, (folder + "/pa.po").constData(), nullptr, 0), 0);
    EXPECT_EQ(report.nextLine(20000).value_or("(nothing)").mid(20), row);
    EXPECT_EQ(report.stop(SIGINT), 0);
    EXPECT_EQ(report.errors(), QByteArray());
    // QTemporaryDir would not find the folder by a decoded name.
    ::unlink((folder + "/pa.po").constData());
    ::rmdir(folder.constData());
}

TEST(ReportProgramTest, AFileNameThatIsNotUtf8IsCheckedAndPrintedDecoded)
{
    SKIP_WITHOUT_CORPUS();
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(CleanFolder + QStringLiteral("/pa.po"), dir.filePath(QStringLiteral("x"))));
    const QByteArray latin1 = QFile::encodeName(dir.path()) + "/caf\xe9.po";
    ASSERT_EQ(::rename(QFile::encodeName(dir.filePath(QStringLiteral("x"))).constData(), latin1.constData()), 0);
    const QByteArray row = "caf\xef\xbf\xbd.po\t40%\t1038\t423\t0\t615\t2";

    EXPECT_EQ(runReport({QStringLiteral("--format=tsv"), dir.path()}).out,
              "file\tstatus\ttotal\ttranslated\tfuzzy\tuntranslated\ticon\n" + row + "\n");
    const QJsonArray json
        = QJsonDocument::fromJson(runReport({QStringLiteral("--format=json"), dir.path()}).out).array();
    EXPECT_EQ(json.at(0).toObject().value("file").toString(), QStringLiteral("caf\uFFFD.po"));
    EXPECT_EQ(json.at(0).toObject().value("total").toInteger(), 1038);
    EXPECT_TRUE(runReport({dir.path()}).out.split('\n').value(1).startsWith("caf\xef\xbf\xbd.po     40%"));

    WatchedReport report({QStringLiteral("--format=tsv"), dir.path()});
    for (int line = 0; line < 2; ++line)
        ASSERT_TRUE(report.nextLine(60000).has_value());
    EXPECT_FALSE(report.nextLine(500).has_value());
    ASSERT_EQ(::utimensat(AT_FDCWD, latin1.constData(), nullptr, 0), 0);
    EXPECT_EQ(report.nextLine(20000).value_or("(nothing)").mid(20), row);
    EXPECT_EQ(report.stop(SIGINT), 0);
    // QTemporaryDir would not find the file by a decoded name.
    ::unlink(latin1.constData());
}

TEST(ReportProgramTest, ANameIsReadByteForByteAByteOrderMarkIncluded)
{
    SKIP_WITHOUT_CORPUS();
    QTemporaryDir dir;
    // A folder whose own name is not UTF-8, named on the command line.
    const QByteArray folder = QFile::encodeName(dir.path()) + "/po\xe9";
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    const QList<std::pair<QByteArray, QString>> files = {
        {"de.po", QStringLiteral("am.po")},
        {"\xef\xbb\xbf" "de.po", QStringLiteral("pa.po")},
        {"de\xef\xbb\xbf.po", QStringLiteral("si.po")},
    };
    for (const auto& [name, source] : files) {
        // Written by their bytes: QFile would take a byte-order mark off the front of a name.
        const QByteArray contents = readFile(CleanFolder + u'/' + source);
        const int fd = ::open((folder + '/' + name).constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(::write(fd, contents.constData(), static_cast<std::size_t>(contents.size())), contents.size());
        ::close(fd);
    }

    const Result result = runReport({QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                                     QStringLiteral("exec \"$0\" --format=tsv \"$1\"$(printf '\\351')"),
                                     QStringLiteral(QUILLMARK_REPORT_PROGRAM), dir.filePath(QStringLiteral("po"))});
    EXPECT_EQ(result.out, QByteArray("file\tstatus\ttotal\ttranslated\tfuzzy\tuntranslated\ticon\n"
                                     "de.po\t50%\t776\t394\t0\t382\t1\n"
                                     "de\xef\xbb\xbf.po\t5%\t736\t38\t8\t690\t2\n"
                                     "\xef\xbb\xbf" "de.po\t40%\t1038\t423\t0\t615\t2\n"))
        << result.err.constData();
    // QTemporaryDir would not find them by decoded names.
    for (const auto& [name, source] : files)
        ::unlink((folder + '/' + name).constData());
    ::rmdir(folder.constData());
}

TEST(ReportProgramTest, WatchGoesOnAfterARecheckThatTimesOut)
{
    SKIP_WITHOUT_CORPUS();
    UncheckableFolder folder;
    // One check at a time, so that z.po's re-check waits for slow.po's to time out.
    WatchedReport report(
        {QStringLiteral("--jobs=1"), QStringLiteral("--format=tsv"), QStringLiteral("--timeout=1"), folder.dir.path()},
        QStringLiteral("PATH='%1':\"$PATH\"; export PATH").arg(folder.bin.path()));
    for (int line = 0; line < 8; ++line)
        ASSERT_TRUE(report.nextLine(30000).has_value()) << line;
    EXPECT_FALSE(report.nextLine(500).has_value());

    ASSERT_EQ(QProcess::execute(QStringLiteral("touch"), {folder.dir.filePath(QStringLiteral("slow.po"))}), 0);
    ASSERT_EQ(QProcess::execute(QStringLiteral("touch"), {folder.dir.filePath(QStringLiteral("z.po"))}), 0);
    EXPECT_EQ(report.nextLine(20000).value_or("(nothing)").mid(20),
              QByteArray("slow.po\tTimed out after 1 s\t\t\t\t\t3"));
    EXPECT_EQ(report.nextLine(20000).value_or("(nothing)").mid(20), QByteArray("z.po\t100%\t1\t1\t0\t0\t0"));
    EXPECT_EQ(report.stop(SIGTERM), 0);
}

TEST(ReportProgramTest, WatchEndsOnSigintAlsoWhenStartedWithItIgnored)
{
    // As a shell script's background job is started.
    QTemporaryDir dir;
    WatchedReport report({QStringLiteral("--format=tsv"), dir.path()}, QStringLiteral("trap '' INT"));
    ASSERT_EQ(report.nextLine(30000).value_or(""),
              QByteArray("file\tstatus\ttotal\ttranslated\tfuzzy\tuntranslated\ticon"));
    // An empty folder is watched all the same, for the files that come.
    EXPECT_EQ(report.stop(SIGINT), 0);
    EXPECT_EQ(report.errors(), QStringLiteral("quillmark-report: no PO file in '%1'\n").arg(dir.path()).toUtf8());
}

} // namespace
