#include "shell/DesktopApps.h"

#include "runner/LocalPath.h"
#include "shell/TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

static void PrintTo(const QStringList& list, std::ostream* out)
{
    *out << '{';
    for (qsizetype i = 0; i < list.size(); ++i)
        *out << (i ? ", " : "") << '"' << list.at(i).toStdString() << '"';
    *out << '}';
}

namespace {

/// Points the XDG folders at a temporary desktop, and PATH at its bin folder alone, for the life of the object: no
/// terminal or editor of the machine's own can be started, and none changes what is found.
class TemporaryDesktop
{
public:
    TemporaryDesktop()
    {
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS", "PATH",
                                 "XDG_CURRENT_DESKTOP", "DBUS_SESSION_BUS_ADDRESS", "VISUAL", "EDITOR"})
            m_saved.append({name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path("config")));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(path("etc")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("data")));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(path("share")));
        // What the entries and the recorder run besides the stand-ins.
        QDir().mkpath(path("bin"));
        for (const char* tool : {"sh", "env", "mv"})
            QFile::link(QStandardPaths::findExecutable(QLatin1String(tool)), path("bin/") + QLatin1String(tool));
        qputenv("PATH", QFile::encodeName(path("bin")));
        qunsetenv("VISUAL");
        qunsetenv("EDITOR");
        qputenv("XDG_CURRENT_DESKTOP", "Test");
        // No session bus: the programs are started, not activated.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(path("no-bus")));
    }
    ~TemporaryDesktop()
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
    }

    QString path(const QString& relative) const { return m_root.filePath(relative); }

    void write(const QString& relative, const QByteArray& contents, bool executable = false) const
    {
        const QString file = path(relative);
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(contents);
        out.close();
        if (executable)
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void app(const QString& id, const QByteArray& lines) const
    {
        write(QStringLiteral("data/applications/") + id,
              "[Desktop Entry]\nType=Application\nName=Recorder\nIcon=quillmark-rec\n" + lines);
    }

private:
    QTemporaryDir m_root;
    QList<std::pair<const char*, std::optional<QByteArray>>> m_saved;
};

/// Writes its program path and arguments, one a line, into $QUILLMARK_RECORD.
const QByteArray Recorder
    = "#!/bin/sh\n"
      "{ printf '%s\\n' \"$0\"; for a; do printf '%s\\n' \"$a\"; done; } >\"$QUILLMARK_RECORD.part\"\n"
      "mv \"$QUILLMARK_RECORD.part\" \"$QUILLMARK_RECORD\"\n";

QStringList takeRecord(const QString& record)
{
    QDeadlineTimer deadline(10000);
    while (!QFile::exists(record) && !deadline.hasExpired())
        QThread::msleep(10);
    QFile file(record);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = decodeLocalPath(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    file.remove();
    return lines;
}

TEST(DesktopAppsTest, AnEntryStartsItsWholeCommandWithTheFileAsOneArgument)
{
    if (RunInFreshProcess())
        return;
    TemporaryDesktop desktop;
    for (const char* program : {"bin/rec", "bin/flatpak", "my bin/rec"})
        desktop.write(QLatin1String(program), Recorder, true);
    const QString record = desktop.path("record");
    qputenv("QUILLMARK_RECORD", QFile::encodeName(record));
    const QString folder = desktop.path("my po");
    const QString file = folder + QStringLiteral("/de.po");
    desktop.write("my po/de.po", "msgid \"\"\nmsgstr \"\"\n");
    const QString rec = desktop.path("bin/rec");

    const struct
    {
        QString id;
        QByteArray exec;
        QStringList started;
    } cases[] = {
        {"flatpak.desktop",
         "flatpak run --branch=stable --arch=x86_64 --command=gnome-text-editor org.gnome.TextEditor %U",
         {desktop.path("bin/flatpak"), "run", "--branch=stable", "--arch=x86_64", "--command=gnome-text-editor",
          "org.gnome.TextEditor", file}},
        {"env.desktop", "env VAR=1 rec %U", {rec, file}},
        {"sh.desktop", R"(sh -c "rec -n \\"\\$1\\"" sh %f)", {rec, "-n", file}},
        // \s and \\ belong to the key file, the quotes to Exec=; only ASCII blanks part arguments.
        {"escaped.desktop",
         "\"" + QFile::encodeName(desktop.path("my\\sbin/rec")) + R"(" "back\\\\slash" a)" + "\u00a0b %f",
         {desktop.path("my bin/rec"), "back\\slash", "a\u00a0b", file}},
        {"codes.desktop",
         R"(rec --title "Two words" 100%% %i %c %k %F)",
         {rec, "--title", "Two words", "100%", "--icon", "quillmark-rec", "Recorder",
          desktop.path("data/applications/codes.desktop"), file}},
    };
    for (const auto& c : cases)
        desktop.app(c.id, "Exec=" + c.exec + "\n");

    for (const auto& c : cases) {
        const std::optional<DesktopEntry> entry = FindDesktopEntry(c.id);
        ASSERT_TRUE(entry) << c.id.toStdString();
        QString error;
        EXPECT_TRUE(LaunchApplication(*entry, file, &error)) << error.toStdString();
        EXPECT_EQ(takeRecord(record), c.started) << c.id.toStdString() << " as the desktop starts it";
        EXPECT_TRUE(StartEditor(c.id, file, folder, &error)) << error.toStdString();
        EXPECT_EQ(takeRecord(record), c.started) << c.id.toStdString() << " as the custom editor";
    }
    qunsetenv("QUILLMARK_RECORD");
}

TEST(DesktopAppsTest, APoFileOpensInTheFirstEditorThatStartsNeverInQuillmark)
{
    if (RunInFreshProcess())
        return;
    TemporaryDesktop desktop;
    desktop.write("bin/rec", Recorder, true);
    // Anything started as Quillmark would show in the record.
    desktop.write("bin/quillmark", Recorder, true);
    const QString record = desktop.path("record");
    qputenv("QUILLMARK_RECORD", QFile::encodeName(record));
    // A name that is not UTF-8 reaches the editor byte for byte. Nothing here reads the file.
    const QString file = desktop.path("de-") + decodeLocalPath("\xe9.po");
    desktop.app(QUILLMARK_APP_ID ".desktop", "Exec=quillmark %f\nMimeType=text/x-gettext-translation;\n");
    desktop.app("own-copy.desktop", "Exec=env A=1 quillmark -f %f\nMimeType=text/x-gettext-translation;\n");
    desktop.app("po.desktop", "Exec=rec %f\nMimeType=text/x-gettext-translation;\n");
    desktop.app("missing.desktop", "Exec=not-installed %f\nMimeType=text/x-gettext-translation;\n");
    desktop.app("text.desktop", "Exec=rec %f\nMimeType=text/plain;\n");
    desktop.app("terminal.desktop", "Exec=rec %f\nTerminal=true\nMimeType=text/plain;\n");
    // What the entries' MimeType= lines say, as the desktop keeps it for GIO; the last two types are the tests' own.
    desktop.write("data/applications/mimeinfo.cache",
                  "[MIME Cache]\n"
                  "text/x-gettext-translation=" QUILLMARK_APP_ID
                  ".desktop;own-copy.desktop;missing.desktop;po.desktop;\n"
                  "text/plain=terminal.desktop;text.desktop;\n"
                  "application/x-quillmark-own=" QUILLMARK_APP_ID ".desktop;own-copy.desktop;\n"
                  "application/x-quillmark-terminal=terminal.desktop;\n");
    // Quillmark made the default for PO files, as the desktop does for the one program that declares them.
    desktop.write("config/mimeapps.list",
                  "[Default Applications]\n"
                  "text/x-gettext-translation=" QUILLMARK_APP_ID ".desktop;missing.desktop;\n"
                  "text/plain=terminal.desktop\n"
                  "application/x-quillmark-own=" QUILLMARK_APP_ID ".desktop\n");

    const QString po = QStringLiteral("text/x-gettext-translation");
    const QString text = QStringLiteral("text/plain");
    const QString none = QStringLiteral("application/x-quillmark-none");
    const QString ownOnly = QStringLiteral("application/x-quillmark-own");
    const QString terminalOnly = QStringLiteral("application/x-quillmark-terminal");
    const QString noApp = QStringLiteral("No program on this desktop opens it, other than Quillmark itself.\n");
    const QString noTerminal = QStringLiteral("Unable to find terminal required for application");
    const struct
    {
        QStringList types;
        QStringList ids;
        /// $VISUAL and $EDITOR, unset when null, and the stand-in terminal program on PATH, none when empty.
        const char* visual;
        const char* editor;
        QString terminal;
        /// What opening the file starts, its program by name; when nothing starts, the message after its first line.
        QStringList started;
        QString error;
    } cases[] = {
        // Quillmark, the default, and an entry that runs it are passed over.
        {{po, text}, {"po.desktop", "terminal.desktop", "text.desktop"}, nullptr, "rec -w", {}, {"rec", file}, {}},
        // An entry that needs a terminal fails to start without one, and the next one opens the file.
        {{none, text}, {"terminal.desktop", "text.desktop"}, nullptr, nullptr, {}, {"rec", file}, {}},
        {{ownOnly}, {}, nullptr, "rec -w", "x-terminal-emulator", {"x-terminal-emulator", "-e", "rec", "-w", file}, {}},
        {{ownOnly}, {}, "rec -v", "rec -w", "gnome-terminal", {"gnome-terminal", "--", "rec", "-v", file}, {}},
        {{none}, {}, nullptr, nullptr, {}, {}, noApp + "Neither VISUAL nor EDITOR names an editor."},
        {{terminalOnly},
         {"terminal.desktop"},
         nullptr,
         "rec -w",
         {},
         {},
         QStringLiteral("\"Recorder\": %1\nEDITOR \"rec -w\" in a terminal: %1").arg(noTerminal)},
    };
    for (const auto& c : cases) {
        const std::string name = c.types.join(' ').toStdString();
        QStringList ids;
        for (const DesktopEntry& app : ApplicationsFor(c.types))
            ids.append(app.Id);
        EXPECT_EQ(ids, c.ids) << name;

        for (const auto& [variable, value] : {std::pair{"VISUAL", c.visual}, std::pair{"EDITOR", c.editor}}) {
            if (value)
                qputenv(variable, value);
            else
                qunsetenv(variable);
        }
        if (!c.terminal.isEmpty())
            desktop.write(QStringLiteral("bin/") + c.terminal, Recorder, true);
        QString error;
        EXPECT_EQ(OpenInDesktopEditor(file, c.types, &error), c.error.isEmpty()) << name;
        EXPECT_EQ(error,
                  c.error.isEmpty() ? QString()
                                    : QStringLiteral("Could not open \"%1\" in an editor.\n").arg(file) + c.error)
            << name;
        if (!c.started.isEmpty()) {
            QStringList started = takeRecord(record);
            if (!started.isEmpty())
                started.first() = QFileInfo(started.first()).fileName();
            EXPECT_EQ(started, c.started) << name;
        }
        if (!c.terminal.isEmpty())
            QFile::remove(desktop.path(QStringLiteral("bin/") + c.terminal));
    }
    // Nothing else was started, Quillmark least of all.
    EXPECT_FALSE(QFile::exists(record));
    qunsetenv("QUILLMARK_RECORD");
}

TEST(DesktopAppsTest, APoFileIsAKindOfText)
{
    QTemporaryDir folder;
    QFile file(folder.filePath("de.po"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("msgid \"\"\nmsgstr \"\"\n");
    file.close();
    const QStringList types = MimeTypesOfFile(file.fileName());
    ASSERT_FALSE(types.isEmpty());
    EXPECT_EQ(types.first(), QStringLiteral("text/x-gettext-translation"));
    EXPECT_TRUE(types.contains(QStringLiteral("text/plain")));
}

} // namespace
