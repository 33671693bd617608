#include "settings/WindowSettings.h"

#include "settings/Registry.h"
#include "settings/TestSupport.h"
#include "shell/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>

namespace {

/// Writes down every call of the loading, one line each, in the order they come.
class RecordingTarget : public SettingsTarget
{
public:
    QStringList calls;

    void setConsoleFontName(const QString& name) override { calls << QStringLiteral("console font ") + name; }
    void setConsoleFontSize(qint32 points) override { calls << QStringLiteral("console size %1").arg(points); }
    void setInterfaceFont(const InterfaceFont& font, const QString& buttonCaption) override
    {
        calls << QStringLiteral("font %1 %2%3%4 [%5]")
                     .arg(font.Name)
                     .arg(font.Size)
                     .arg(font.Bold ? QStringLiteral(" bold") : QString())
                     .arg(font.Italic ? QStringLiteral(" italic") : QString())
                     .arg(buttonCaption);
    }
    void setDefaultAction(qint32 action) override { calls << QStringLiteral("default action %1").arg(action); }
    void setEditorPath(const QString& path) override { calls << QStringLiteral("editor ") + path; }
    void showDefaultAction() override { calls << QStringLiteral("show default action"); }
    void setTrackPosition(qint32 position) override { calls << QStringLiteral("track %1").arg(position); }
    void setYellowThreshold(YellowThreshold threshold) override
    {
        calls << QStringLiteral("threshold %1/%2").arg(threshold.Num).arg(threshold.Den);
    }
    void setJobs(qint32 jobs) override { calls << QStringLiteral("jobs %1").arg(jobs); }
    void setSubfolders(bool on) override { calls << QStringLiteral("subfolders %1").arg(on); }
    void updateCustomEditorItem() override { calls << QStringLiteral("update editor item"); }
    void setFolderText(const QString& text) override { calls << QStringLiteral("folder ") + text; }
    void appendFolderHistory(const QString& folder) override { calls << QStringLiteral("history ") + folder; }
};

using WindowSettingsTest = ConfigHomeTest;

template <typename Body> std::string registryError(Body body)
{
    try {
        body();
    } catch (const ERegistryException& error) {
        return error.what();
    }
    ADD_FAILURE() << "no error";
    return std::string();
}

QStringList firstStartCalls()
{
    return {
        QStringLiteral("font Tahoma 8 [Tahoma, 8, Normal]"),
        QStringLiteral("default action 0"),
        QStringLiteral("editor ") + DefaultEditor(),
        QStringLiteral("show default action"),
        QStringLiteral("track 3"),
        QStringLiteral("threshold 1/2"),
        QStringLiteral("jobs 0"),
        QStringLiteral("subfolders 0"),
        QStringLiteral("update editor item"),
        QStringLiteral("folder ") + QDir::homePath(),
    };
}

TEST_F(WindowSettingsTest, FirstStartWritesEveryDefaultWithItsKind)
{
    TRegistry registry;
    RecordingTarget target;
    LoadSettings(registry, target);
    EXPECT_EQ(target.calls, firstStartCalls());

    const QJsonObject stored = storedValues();
    EXPECT_EQ(stored.keys(),
              QStringList({"Default", "Editor", "Font", "FontSize", "FontStyle", "Jobs", "LastDir", "Ratio"}));
    for (const char* name : {"LastDir", "Editor", "Font", "FontStyle"})
        EXPECT_TRUE(stored.value(QLatin1String(name)).isString()) << name;
    for (const char* name : {"Ratio", "Default", "FontSize", "Jobs"})
        EXPECT_TRUE(stored.value(QLatin1String(name)).isDouble()) << name;
    EXPECT_EQ(stored.value(QStringLiteral("LastDir")).toString(), QDir::homePath());
    EXPECT_EQ(stored.value(QStringLiteral("Editor")).toString(), DefaultEditor());
    EXPECT_EQ(stored.value(QStringLiteral("Ratio")).toInt(-1), 3);
    EXPECT_EQ(stored.value(QStringLiteral("Default")).toInt(-1), 0);
    EXPECT_EQ(stored.value(QStringLiteral("Font")).toString(), QStringLiteral("Tahoma"));
    EXPECT_EQ(stored.value(QStringLiteral("FontSize")).toInt(-1), 8);
    EXPECT_EQ(stored.value(QStringLiteral("FontStyle")).toString(QStringLiteral("?")), QString());
    EXPECT_EQ(stored.value(QStringLiteral("Jobs")).toInt(-1), 0);
    EXPECT_EQ(registry.takeNotice(), QString());

    // A second start finds everything and writes nothing.
    const QByteArray before = settingsFileContents();
    TRegistry again;
    RecordingTarget secondTarget;
    LoadSettings(again, secondTarget);
    EXPECT_EQ(secondTarget.calls, firstStartCalls());
    EXPECT_EQ(settingsFileContents(), before);
}

TEST_F(WindowSettingsTest, StoredValuesLoadInOrderAndHistoryClosesItsGaps)
{
    writeSettingsFile(R"({"LastDir": "/po/", "Editor": "/usr/bin/kate", "Ratio": 9, "Default": 5,
                          "Font": "DejaVu Sans", "FontSize": 11, "FontStyle": "ib",
                          "ConsoleFont": "Lucida Console", "ConsoleFontSize": 10, "Jobs": 3,
                          "Dir1": "/a/", "Dir2": "/b c/", "Dir5": "/e/", "Dir11": "/k/", "dir3": "/x/"})");
    TRegistry registry;
    RecordingTarget target;
    LoadSettings(registry, target);
    EXPECT_EQ(target.calls,
              QStringList({
                  "console font Lucida Console",
                  "console size 10",
                  "font DejaVu Sans 11 bold italic [DejaVu Sans, 11, ]",
                  "default action 5",
                  "editor /usr/bin/kate",
                  "show default action",
                  "track 6",
                  "threshold 1/8",
                  "jobs 3",
                  "subfolders 0",
                  "update editor item",
                  "folder /po/",
                  "history /a/",
                  "history /b c/",
                  "history /e/",
              }));

    SaveFolders(registry, QStringLiteral("/typed"), {"/a/", "/b c/", "/e/"});
    const QJsonObject stored = storedValues();
    EXPECT_EQ(stored.value(QStringLiteral("LastDir")).toString(), QStringLiteral("/typed"));
    EXPECT_EQ(stored.value(QStringLiteral("Dir1")).toString(), QStringLiteral("/a/"));
    EXPECT_EQ(stored.value(QStringLiteral("Dir2")).toString(), QStringLiteral("/b c/"));
    EXPECT_EQ(stored.value(QStringLiteral("Dir3")).toString(), QStringLiteral("/e/"));
    EXPECT_FALSE(stored.contains(QStringLiteral("Dir5")));
    // Not ours to touch: only Dir1 to Dir10 belong to the history.
    EXPECT_TRUE(stored.contains(QStringLiteral("Dir11")));
    EXPECT_TRUE(stored.contains(QStringLiteral("dir3")));
}

/// "Dir1" to "Dir10" as the file holds them, from the top; fails the test at a gap.
QStringList storedHistory(const QJsonObject& stored)
{
    QStringList history;
    for (int n = 1; n <= FolderHistorySize; ++n) {
        const QJsonValue folder = stored.value(QStringLiteral("Dir%1").arg(n));
        if (folder.isUndefined())
            break;
        history.append(folder.toString());
    }
    EXPECT_EQ(stored.keys().filter(QRegularExpression(QStringLiteral("^Dir"))).size(), history.size());
    return history;
}

TEST_F(WindowSettingsTest, TwoWindowsKeepEachOthersFolders)
{
    QStringList ten;
    for (int n = 1; n <= FolderHistorySize; ++n)
        ten.append(QStringLiteral("/%1").arg(n));
    struct Case
    {
        const char* name;
        QStringList stored;
        /// The histories at the close, of the window that closes first and of the other one.
        QStringList first;
        QStringList second;
        QStringList saved;
    };
    const Case cases[] = {
        {"first start", {}, {"/x"}, {"/y"}, {"/y", "/x"}},
        {"each reads a folder", {"/a", "/b"}, {"/x", "/a", "/b"}, {"/y", "/a", "/b"}, {"/y", "/x", "/a", "/b"}},
        {"only the first reads one", {"/a"}, {"/x", "/a"}, {"/a"}, {"/x", "/a"}},
        {"both read the same", {"/a"}, {"/x", "/a"}, {"/x", "/a"}, {"/x", "/a"}},
        {"full", ten, QStringList{"/x"} + ten.mid(0, 9), QStringList{"/y"} + ten.mid(0, 9),
         QStringList{"/y", "/x"} + ten.mid(0, 8)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QJsonObject file{{"LastDir", "/start"}};
        // A short history is stored with a gap before its last entry, which the save closes.
        for (qsizetype i = 0; i < c.stored.size(); ++i) {
            const bool gap = i > 0 && i + 1 == c.stored.size() && c.stored.size() < FolderHistorySize;
            file.insert(QStringLiteral("Dir%1").arg(gap ? i + 2 : i + 1), c.stored.at(i));
        }
        writeSettingsFile(QJsonDocument(file).toJson());

        TRegistry first;
        TRegistry second;
        RecordingTarget firstTarget;
        RecordingTarget secondTarget;
        LoadSettings(first, firstTarget);
        LoadSettings(second, secondTarget);
        SaveFolders(first, QStringLiteral("/typed"), c.first);
        // The second window's folder box shows what it loaded: the first one's folder stays.
        SaveFolders(second, QStringLiteral("/start"), c.second);

        EXPECT_EQ(storedHistory(storedValues()), c.saved);
        EXPECT_EQ(storedValues().value(QStringLiteral("LastDir")), QJsonValue("/typed"));
    }
}

TEST_F(WindowSettingsTest, ANumberTheParserCannotHoldCostsOnlyItsValue)
{
    for (const char* ratio : {"1e400", "-1e400", "1e-400", "1.7976931348623159e308", "[1, 2e999]"}) {
        SCOPED_TRACE(ratio);
        const QByteArray ratioMember = "\"Ratio\": " + QByteArray(ratio);
        writeSettingsFile(R"({"LastDir": "/po/", "Dir1": "/a/", )" + ratioMember + R"(, "Jobs": 2.0, "Dir2": "/b/"})");

        TRegistry registry;
        RecordingTarget target;
        const SettingsLoad load = LoadSettings(registry, target);
        EXPECT_EQ(registry.takeNotice(), QString());
        ASSERT_EQ(load.Errors.size(), 1);
        EXPECT_TRUE(load.Errors.first().startsWith("Invalid data type for 'Ratio'\n" + settingsFile() + ": it holds "))
            << load.Errors.first().toStdString();
        EXPECT_EQ(load.Unread, UnreadValues({QStringLiteral("Ratio")}));
        for (const char* call : {"track 3", "threshold 1/2", "jobs 2", "folder /po/", "history /a/", "history /b/"})
            EXPECT_TRUE(target.calls.contains(QLatin1String(call))) << call;

        // Saves that do not set it leave it, and every value they do not change, as written.
        SaveFolders(registry, QStringLiteral("/po/"), {"/new/", "/a/", "/b/"}, load.Unread);
        StoreContinue(registry, QStringLiteral("kate"), 1, 3, load.Unread);
        EXPECT_TRUE(settingsFileContents().contains(ratioMember + ",\n")) << settingsFileContents().toStdString();
        EXPECT_TRUE(settingsFileContents().contains("\"Jobs\": 2.0,\n"));

        StoreContinue(registry, QStringLiteral("kate"), 1, 4);
        const QJsonObject stored = storedValues();
        EXPECT_EQ(stored.value(QStringLiteral("Ratio")), QJsonValue(4));
        EXPECT_EQ(storedHistory(stored), QStringList({"/new/", "/a/", "/b/"}));
    }
}

TEST_F(WindowSettingsTest, AWronglyTypedValueTakesItsDefaultAndNothingIsLostUpToTheClose)
{
    const QJsonObject stored{
        {"ConsoleFont", "DejaVu Sans Mono"},
        {"ConsoleFontSize", 10},
        {"Font", "DejaVu Serif"},
        {"FontSize", 11},
        {"FontStyle", "b"},
        {"Default", 2},
        {"Editor", "/usr/bin/kate"},
        {"Ratio", 5},
        {"Jobs", 1},
        {"Subfolders", 1},
        {"LastDir", "/po/"},
        {"Dir1", "/a/"},
        {"Dir2", "/b/"},
        {"Dir3", "/c/"},
    };
    const QStringList calls{
        "console font DejaVu Sans Mono",
        "console size 10",
        "font DejaVu Serif 11 bold [DejaVu Serif, 11, Bold]",
        "default action 2",
        "editor /usr/bin/kate",
        "show default action",
        "track 5",
        "threshold 1/6",
        "jobs 1",
        "subfolders 1",
        "update editor item",
        "folder /po/",
        "history /a/",
        "history /b/",
        "history /c/",
    };
    struct Case
    {
        const char* name;
        QJsonValue bad;
        /// The calls that change: each of these lines becomes the one after it; an empty one drops the line.
        QStringList changes;
    };
    const Case cases[] = {
        {"ConsoleFont", 12, {"console font DejaVu Sans Mono", ""}},
        {"ConsoleFontSize", "10", {"console size 10", ""}},
        {"Font", true, {calls.at(2), "font Tahoma 11 bold [Tahoma, 11, Bold]"}},
        {"FontStyle", QJsonArray{"b"}, {calls.at(2), "font DejaVu Serif 11 [DejaVu Serif, 11, Normal]"}},
        {"FontSize", "11", {calls.at(2), "font DejaVu Serif 8 bold [DejaVu Serif, 8, Bold]"}},
        {"Default", "2", {"default action 2", "default action 0"}},
        {"Editor", QJsonValue::Null, {"editor /usr/bin/kate", "editor " + DefaultEditor()}},
        {"Ratio", 5.5, {"track 5", "track 3", "threshold 1/6", "threshold 1/2"}},
        {"Jobs", "1", {"jobs 1", "jobs 0"}},
        {"Subfolders", true, {"subfolders 1", "subfolders 0"}},
        {"LastDir", 7, {"folder /po/", "folder " + QDir::homePath()}},
        {"Dir2", 2, {"history /b/", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QJsonObject file = stored;
        file.insert(QLatin1String(c.name), c.bad);
        writeSettingsFile(QJsonDocument(file).toJson());

        TRegistry registry;
        RecordingTarget target;
        const SettingsLoad load = LoadSettings(registry, target);
        ASSERT_EQ(load.Errors.size(), 1);
        const QStringList message = load.Errors.first().split('\n');
        EXPECT_EQ(message.first(), QStringLiteral("Invalid data type for '%1'").arg(QLatin1String(c.name)));
        EXPECT_TRUE(message.value(1).startsWith(settingsFile() + ": it holds ")) << message.value(1).toStdString();
        EXPECT_EQ(load.Unread, UnreadValues({QLatin1String(c.name)}));

        QStringList expected = calls;
        for (qsizetype i = 0; i + 1 < c.changes.size(); i += 2)
            expected.replace(expected.indexOf(c.changes.at(i)), c.changes.at(i + 1));
        expected.removeAll(QString());
        EXPECT_EQ(target.calls, expected);

        // The close saves what the window shows, and the file keeps every value it had, the bad one included.
        QString folderText;
        QStringList history;
        for (const QString& call : target.calls) {
            if (call.startsWith("folder "))
                folderText = call.mid(7);
            else if (call.startsWith("history "))
                history.append(call.mid(8));
        }
        SaveFolders(registry, folderText, history, load.Unread);
        EXPECT_EQ(storedValues(), file);
    }

    // What the user sets is saved: a folder read rewrites the whole history, so no unread entry is left behind.
    writeSettingsFile(R"({"LastDir": 7, "Dir1": "/a/", "Dir2": 2})");
    TRegistry registry;
    RecordingTarget target;
    SettingsLoad load = LoadSettings(registry, target);
    EXPECT_EQ(load.Errors.size(), 2);
    load.Unread.remove("Dir2");
    SaveFolders(registry, QString(), {"/new/", "/a/"}, load.Unread);
    EXPECT_EQ(storedValues().value("LastDir"), QJsonValue(7));
    EXPECT_EQ(storedValues().value("Dir1"), QJsonValue("/new/"));
    EXPECT_EQ(storedValues().value("Dir2"), QJsonValue("/a/"));
}

TEST_F(WindowSettingsTest, StoredSizesPositionsAndJobsAreKeptWithinTheirRanges)
{
    writeSettingsFile(R"({"FontSize": 99999, "ConsoleFontSize": 1, "Ratio": 9, "Jobs": 100000})");
    TRegistry registry;
    RecordingTarget target;
    EXPECT_TRUE(LoadSettings(registry, target).Errors.isEmpty());
    EXPECT_TRUE(target.calls.contains("console size 6")) << target.calls.join('\n').toStdString();
    EXPECT_TRUE(target.calls.contains("font Tahoma 32 [Tahoma, 32, Normal]"));
    // The slider's end and the threshold the rows are judged by are one position.
    EXPECT_TRUE(target.calls.contains("track 6"));
    EXPECT_TRUE(target.calls.contains("threshold 1/8"));
    EXPECT_TRUE(target.calls.contains("jobs 256"));

    writeSettingsFile(R"({"Ratio": -4, "Jobs": -1})");
    RecordingTarget low;
    LoadSettings(registry, low);
    EXPECT_TRUE(low.calls.contains("track 0"));
    EXPECT_TRUE(low.calls.contains("threshold 4/5"));
    EXPECT_TRUE(low.calls.contains("jobs 0"));
}

TEST_F(WindowSettingsTest, CorruptFileIsKeptAsideAndDefaultsFollow)
{
    writeSettingsFile(R"({"LastDir": "/po/", "Ratio": 5,)");
    TRegistry registry;
    RecordingTarget target;
    LoadSettings(registry, target);
    EXPECT_EQ(target.calls, firstStartCalls());
    const QString notice = registry.takeNotice();
    const QStringList kept = QDir(settingsFolder()).entryList({QStringLiteral("settings.json.corrupt-*")});
    ASSERT_EQ(kept.size(), 1);
    EXPECT_TRUE(notice.contains(kept.first())) << notice.toStdString();
    EXPECT_EQ(registry.takeNotice(), QString());
    EXPECT_EQ(storedValues().value(QStringLiteral("Ratio")).toInt(-1), 3);

    SaveFolders(registry, QStringLiteral("/po/"), {});
    EXPECT_EQ(registry.takeNotice(), QString());
}

TEST_F(WindowSettingsTest, StoreThatCannotBeWrittenFailsAtTheFirstDefault)
{
    QFile blocker(configHome() + QStringLiteral("/Velloran"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TRegistry registry;
    RecordingTarget target;
    const SettingsLoad load = LoadSettings(registry, target);
    // The rest of the defaults would fail alike; loading goes on with them all the same.
    EXPECT_EQ(load.Errors, QStringList({"Failed to set data for 'LastDir'\n" + settingsFile() + ": Not a directory"}));
    EXPECT_EQ(target.calls, firstStartCalls());
    // At the close the message names the file and the reason below its first line.
    try {
        SaveFolders(registry, QStringLiteral("/po/"), {"/po/"});
        ADD_FAILURE() << "no error";
    } catch (const ERegistryException& error) {
        EXPECT_EQ(error.FullText(), "Failed to set data for 'LastDir'\n" + settingsFile() + ": Not a directory");
    }
    EXPECT_EQ(registryError([&] { StoreContinue(registry, QStringLiteral("gedit"), 0, 3); }),
              "Failed to set data for 'Editor'");
    EXPECT_TRUE(registry.DeleteValue(QStringLiteral("Dir1")));
    EXPECT_TRUE(registry.takeNotice().isEmpty());
}

TEST_F(WindowSettingsTest, TheFirstStartEditorIsOneThisDesktopHas)
{
    if (RunInFreshProcess())
        return;
    const QString bin = configHome() + QStringLiteral("/bin");
    const QString data = configHome() + QStringLiteral("/data");
    ASSERT_TRUE(QDir().mkpath(bin));
    QList<std::pair<const char*, QByteArray>> saved;
    for (const char* name : {"PATH", "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS"})
        saved.append({name, qgetenv(name)});
    qputenv("PATH", QFile::encodeName(bin));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(configHome() + QStringLiteral("/none")));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(configHome() + QStringLiteral("/none")));
    const auto install = [&](const QString& program) {
        QFile file(bin + QLatin1Char('/') + program);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    };
    const auto write = [&](const char* name, const QByteArray& contents) {
        ASSERT_TRUE(QDir().mkpath(data + QStringLiteral("/applications")));
        QFile file(data + QStringLiteral("/applications/") + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    };
    // The desktop is read once; an entry counts from the moment its program is installed.
    write("vim.desktop", "[Desktop Entry]\nType=Application\nName=Vim\nExec=vim %F\nTerminal=true\n");
    write("mousepad.desktop", "[Desktop Entry]\nType=Application\nName=Mousepad\nExec=mousepad %U\n");
    write("mimeinfo.cache", "[MIME Cache]\ntext/plain=vim.desktop;mousepad.desktop;\n");

    EXPECT_EQ(DefaultEditor(), QStringLiteral("gedit"));
    install(QStringLiteral("kate"));
    EXPECT_EQ(DefaultEditor(), QStringLiteral("kate"));
    // The desktop's own text editor comes first, unless it needs a terminal.
    install(QStringLiteral("vim"));
    EXPECT_EQ(DefaultEditor(), QStringLiteral("kate"));
    install(QStringLiteral("mousepad"));
    EXPECT_EQ(DefaultEditor(), QStringLiteral("mousepad.desktop"));
    install(QStringLiteral("gedit"));
    EXPECT_EQ(DefaultEditor(), QStringLiteral("gedit"));

    for (const auto& [name, value] : saved)
        qputenv(name, value);
}

TEST_F(WindowSettingsTest, FontCodesAndCaptions)
{
    struct Case
    {
        const char* code;
        bool bold;
        bool italic;
        const char* word;
    };
    const Case cases[] = {
        {"", false, false, "Normal"},      {"b", true, false, "Bold"}, {"i", false, true, "Italic"},
        {"bi", true, true, "Bold Italic"}, {"ib", true, true, ""},     {"xbx", true, false, ""},
        {"B", false, false, ""},           {"bb", true, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const InterfaceFont font = FontFromSettings(QStringLiteral("Tahoma"), 8, QLatin1String(c.code));
        EXPECT_EQ(font, (InterfaceFont{QStringLiteral("Tahoma"), 8, c.bold, c.italic}));
        EXPECT_EQ(FontButtonCaption(QStringLiteral("Tahoma"), 8, QLatin1String(c.code)),
                  QStringLiteral("Tahoma, 8, ") + QLatin1String(c.word));
    }
    EXPECT_EQ(StyleCode(false, false), QString());
    EXPECT_EQ(StyleCode(true, false), QStringLiteral("b"));
    EXPECT_EQ(StyleCode(false, true), QStringLiteral("i"));
    EXPECT_EQ(StyleCode(true, true), QStringLiteral("bi"));
    EXPECT_EQ(FontButtonCaption(InterfaceFont{QStringLiteral("DejaVu Sans"), 12, false, true}),
              QStringLiteral("DejaVu Sans, 12, Italic"));
}

TEST_F(WindowSettingsTest, ContinueAndFontButtonWritesComeBackAtTheNextStart)
{
    {
        TRegistry registry;
        RecordingTarget target;
        LoadSettings(registry, target);
        StoreContinue(registry, QStringLiteral("/opt/my editor/ed"), -1, 6);
        // A cancelled dialog stores the current font again, so a bold font stays bold.
        StoreInterfaceFont(registry, InterfaceFont{QStringLiteral("DejaVu Serif"), 10, true, false});
    }
    const QJsonObject stored = storedValues();
    EXPECT_EQ(stored.value(QStringLiteral("Editor")).toString(), QStringLiteral("/opt/my editor/ed"));
    EXPECT_EQ(stored.value(QStringLiteral("Default")).toInt(0), -1);
    EXPECT_EQ(stored.value(QStringLiteral("Ratio")).toInt(-1), 6);
    EXPECT_EQ(stored.value(QStringLiteral("FontSize")).toInt(-1), 10);
    EXPECT_EQ(stored.value(QStringLiteral("FontStyle")).toString(), QStringLiteral("b"));

    TRegistry registry;
    RecordingTarget target;
    LoadSettings(registry, target);
    EXPECT_EQ(target.calls.mid(0, 6),
              QStringList({
                  "font DejaVu Serif 10 bold [DejaVu Serif, 10, Bold]",
                  "default action -1",
                  "editor /opt/my editor/ed",
                  "show default action",
                  "track 6",
                  "threshold 1/8",
              }));

    StoreInterfaceFont(registry, InterfaceFont{QStringLiteral("DejaVu Serif"), 10, true, true});
    EXPECT_EQ(storedValues().value(QStringLiteral("FontStyle")).toString(), QStringLiteral("bi"));
    EXPECT_EQ(storedValues().value(QStringLiteral("Font")).toString(), QStringLiteral("DejaVu Serif"));
}

} // namespace
