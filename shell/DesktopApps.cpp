#include "shell/DesktopApps.h"

#include "runner/LocalPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

// Built with QT_NO_KEYWORDS: GIO's headers name a struct member "signals".
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

struct GObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GFree
{
    void operator()(gpointer memory) const { g_free(memory); }
};
using GChars = std::unique_ptr<gchar, GFree>;

DesktopEntry entryOf(GDesktopAppInfo* info)
{
    GAppInfo* app = G_APP_INFO(info);
    DesktopEntry entry;
    entry.Id = QString::fromUtf8(g_app_info_get_id(app));
    entry.FilePath = QFile::decodeName(g_desktop_app_info_get_filename(info));
    entry.Name = QString::fromUtf8(g_app_info_get_name(app));
    entry.Icon = QString::fromUtf8(GChars(g_desktop_app_info_get_locale_string(info, "Icon")).get());
    entry.Exec = QString::fromUtf8(g_app_info_get_commandline(app));
    entry.Terminal = g_desktop_app_info_get_boolean(info, "Terminal");
    return entry;
}


/// The program an entry starts, looked for behind "env NAME=value".
QString execProgram(const QString& exec)
{
    const QStringList words = ExecWords(exec);
    qsizetype first = 0;
    if (!words.isEmpty() && words.first() == QLatin1String("env")) {
        first = 1;
        while (first < words.size() && words.at(first).contains(QLatin1Char('=')))
            ++first;
    }
    return words.value(first);
}

/// Whether an entry would start Quillmark: opening a PO file there from Quillmark's own menu would only start a
/// second Quillmark.
bool isQuillmark(const DesktopEntry& entry)
{
    return entry.Id == QLatin1String(QUILLMARK_APP_ID ".desktop")
        || QFileInfo(execProgram(entry.Exec)).fileName() == QLatin1String("quillmark");
}

/// Opens filePath in app as the desktop starts it. False with GIO's reason in error when it could not be started.
bool launchFile(GAppInfo* app, const QString& filePath, QString* error)
{
    // The file's own bytes, also where they are not UTF-8.
    const GObjectPtr<GFile> file(g_file_new_for_path(encodeLocalPath(filePath).constData()));
    const GChars uri(g_file_get_uri(file.get()));
    GList uris{uri.get(), nullptr, nullptr};
    GError* failure = nullptr;
    // Without a launch context GIO spawns the program detached, through a child it has already reaped.
    if (g_app_info_launch_uris(app, &uris, nullptr, &failure))
        return true;
    *error = QString::fromUtf8(failure->message);
    g_error_free(failure);
    return false;
}

/// Starts command with filePath as its last argument in a terminal window, detached.
bool startInTerminal(const QStringList& command, const QString& filePath, QString* error)
{
    if (command.isEmpty()) {
        *error = QStringLiteral("its quotes do not pair up.");
        return false;
    }
    if (ResolveProgram(command.first()).isEmpty()) {
        *error = QStringLiteral("it is not installed (no program of that name is on the PATH).");
        return false;
    }
    // The system's choice among its terminals, where it keeps one; each runs what follows -e, with the words after
    // it as the program's arguments.
    if (const QString terminal = ResolveProgram(QStringLiteral("x-terminal-emulator")); !terminal.isEmpty()) {
        QList<QByteArray> words{QFile::encodeName(terminal), "-e"};
        for (const QString& word : command)
            words.append(word.toUtf8());
        words.append(encodeLocalPath(filePath));
        std::vector<char*> argv;
        for (QByteArray& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        GError* failure = nullptr;
        // Without G_SPAWN_DO_NOT_REAP_CHILD GLib starts it through a child of its own that it reaps at once.
        if (g_spawn_async(nullptr, argv.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr, &failure))
            return true;
        *error
            = QStringLiteral("x-terminal-emulator could not be started (%1).").arg(QString::fromUtf8(failure->message));
        g_error_free(failure);
        return false;
    }
    // Elsewhere GIO looks for a terminal it knows. Its command line is an Exec= value, where % starts a field code.
    QStringList quoted;
    for (const QString& word : command)
        quoted.append(QString::fromUtf8(GChars(g_shell_quote(word.toUtf8().constData())).get())
                          .replace(QLatin1Char('%'), QLatin1String("%%")));
    GError* failure = nullptr;
    const GObjectPtr<GAppInfo> app(g_app_info_create_from_commandline(
        quoted.join(QLatin1Char(' ')).toUtf8().constData(), nullptr, G_APP_INFO_CREATE_NEEDS_TERMINAL, &failure));
    if (!app) {
        *error = QString::fromUtf8(failure->message);
        g_error_free(failure);
        return false;
    }
    return launchFile(app.get(), filePath, error);
}

} // namespace

QStringList ExecWords(const QString& exec)
{
    int count = 0;
    gchar** words = nullptr;
    if (!g_shell_parse_argv(exec.toUtf8().constData(), &count, &words, nullptr))
        return {};
    QStringList list;
    for (int i = 0; i < count; ++i)
        list.append(QString::fromUtf8(words[i]));
    g_strfreev(words);
    return list;
}

std::optional<DesktopEntry> FindDesktopEntry(const QString& editor)
{
    if (!editor.endsWith(QLatin1String(".desktop")))
        return std::nullopt;
    GObjectPtr<GDesktopAppInfo> info;
    if (!editor.contains(QLatin1Char('/')))
        info.reset(g_desktop_app_info_new(editor.toUtf8().constData()));
    else if (QDir::isAbsolutePath(editor))
        info.reset(g_desktop_app_info_new_from_filename(QFile::encodeName(editor).constData()));
    if (!info || g_desktop_app_info_get_is_hidden(info.get()))
        return std::nullopt;
    return entryOf(info.get());
}

QStringList EntryCommand(const DesktopEntry& entry, const QString& filePath)
{
    QStringList command;
    bool opensFile = false;
    const QStringList words = ExecWords(entry.Exec);
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words.at(i);
        // The file is put in after the split, so no blank or quote in its path can split it or end it.
        QString expanded;
        bool hasCode = false;
        for (qsizetype c = 0; c < word.size(); ++c) {
            if (word.at(c) != QLatin1Char('%') || c + 1 == word.size()) {
                expanded += word.at(c);
                continue;
            }
            const char16_t code = word.at(++c).unicode();
            if (code == u'%') {
                expanded += QLatin1Char('%');
                continue;
            }
            hasCode = true;
            if (code == u'f' || code == u'F' || code == u'u' || code == u'U') {
                expanded += filePath;
                opensFile = true;
            } else if (code == u'c') {
                expanded += entry.Name;
            } else if (code == u'k') {
                expanded += entry.FilePath;
            }
        }
        // The program comes first; a field code in its place would start the file, or nothing.
        if (hasCode && i == 0)
            return {};
        if (word == QLatin1String("%i")) {
            if (!entry.Icon.isEmpty())
                command << QStringLiteral("--icon") << entry.Icon;
        } else if (!hasCode || !expanded.isEmpty()) {
            command.append(expanded);
        }
    }
    return opensFile ? command : QStringList();
}

QList<DesktopEntry> ApplicationsFor(const QStringList& mimeTypes)
{
    QList<DesktopEntry> apps;
    const auto add = [&apps](GAppInfo* app) {
        if (!G_IS_DESKTOP_APP_INFO(app))
            return;
        const DesktopEntry entry = entryOf(G_DESKTOP_APP_INFO(app));
        if (!isQuillmark(entry)
            && std::none_of(apps.cbegin(), apps.cend(), [&](const DesktopEntry& e) { return e.Id == entry.Id; }))
            apps.append(entry);
    };
    for (const QString& type : mimeTypes) {
        const QByteArray name = type.toUtf8();
        if (const GObjectPtr<GAppInfo> preferred{g_app_info_get_default_for_type(name.constData(), FALSE)})
            add(preferred.get());
        GList* recommended = g_app_info_get_recommended_for_type(name.constData());
        for (GList* item = recommended; item; item = item->next)
            add(static_cast<GAppInfo*>(item->data));
        g_list_free_full(recommended, g_object_unref);
    }
    return apps;
}

bool LaunchApplication(const DesktopEntry& entry, const QString& filePath, QString* error)
{
    const GObjectPtr<GDesktopAppInfo> info(
        entry.Id.isEmpty() ? g_desktop_app_info_new_from_filename(QFile::encodeName(entry.FilePath).constData())
                           : g_desktop_app_info_new(entry.Id.toUtf8().constData()));
    if (!info) {
        *error = QStringLiteral("its desktop entry \"%1\" could not be read.").arg(entry.FilePath);
        return false;
    }
    return launchFile(G_APP_INFO(info.get()), filePath, error);
}

bool OpenInDesktopEditor(const QString& filePath, const QStringList& mimeTypes, QString* error)
{
    QStringList tried{QStringLiteral("Could not open \"%1\" in an editor.").arg(filePath)};
    const QList<DesktopEntry> apps = ApplicationsFor(mimeTypes);
    for (const DesktopEntry& app : apps) {
        QString why;
        if (LaunchApplication(app, filePath, &why))
            return true;
        tried.append(QStringLiteral("\"%1\": %2").arg(app.Name, why));
    }
    if (apps.isEmpty())
        tried.append(QStringLiteral("No program on this desktop opens it, other than Quillmark itself."));

    // A terminal's editor is named by these, VISUAL first, as shells and version control systems read them.
    const char* variable = nullptr;
    for (const char* name : {"VISUAL", "EDITOR"}) {
        if (!qEnvironmentVariable(name).trimmed().isEmpty()) {
            variable = name;
            break;
        }
    }
    if (variable) {
        const QString value = qEnvironmentVariable(variable);
        QString why;
        if (startInTerminal(ExecWords(value), filePath, &why))
            return true;
        tried.append(QStringLiteral("%1 \"%2\" in a terminal: %3").arg(QLatin1String(variable), value, why));
    } else {
        tried.append(QStringLiteral("Neither VISUAL nor EDITOR names an editor."));
    }
    *error = tried.join(QLatin1Char('\n'));
    return false;
}

bool StartEditor(const QString& editor, const QString& filePath, const QString& workingFolder, QString* error)
{
    const auto fail = [&](const QString& why) {
        *error = QStringLiteral("Could not open \"%1\" in the custom editor \"%2\": %3").arg(filePath, editor, why);
        return false;
    };
    if (editor.isEmpty()) {
        *error = QStringLiteral("Could not open \"%1\" in the custom editor: no custom editor is set in the "
                                "preferences.")
                     .arg(filePath);
        return false;
    }
    // A relative path means the same to the started program as to its working folder.
    const QFileInfo path(QDir(workingFolder), editor);
    const bool withFolder = editor.contains(QLatin1Char('/'));
    QString program = withFolder ? (path.isFile() && path.isExecutable() ? path.absoluteFilePath() : QString())
                                 : ResolveProgram(editor);
    QStringList arguments{filePath};
    // A program of that name wins, so an editor stored before entries could be named starts as it always did.
    if (program.isEmpty()) {
        if (const std::optional<DesktopEntry> entry = FindDesktopEntry(editor)) {
            arguments = EntryCommand(*entry, filePath);
            if (arguments.isEmpty())
                return fail(QStringLiteral("its desktop entry does not say how to open a file with it."));
            program = arguments.takeFirst();
        } else if (!withFolder) {
            return fail(QStringLiteral("it is not installed (no program of that name is on the PATH)."));
        } else if (!path.exists()) {
            return fail(QStringLiteral("the program does not exist."));
        } else {
            return fail(QStringLiteral("it is not an executable program."));
        }
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(workingFolder);
    if (!process.startDetached())
        return fail(QStringLiteral("it could not be started (%1).").arg(process.errorString()));
    return true;
}

QString ProgramEntryIcon(const QString& program)
{
    const QFileInfo wanted(program);
    const auto runs = [&wanted](const QString& command) {
        if (command.isEmpty())
            return false;
        if (command.contains(QLatin1Char('/')))
            return QFileInfo(command).canonicalFilePath() == wanted.canonicalFilePath();
        return command == wanted.fileName();
    };
    QString icon;
    GList* apps = g_app_info_get_all();
    for (GList* item = apps; item && icon.isEmpty(); item = item->next) {
        if (!G_IS_DESKTOP_APP_INFO(item->data))
            continue;
        GDesktopAppInfo* info = G_DESKTOP_APP_INFO(item->data);
        const DesktopEntry entry = entryOf(info);
        const GChars tryExec(g_desktop_app_info_get_string(info, "TryExec"));
        if (runs(QString::fromUtf8(tryExec.get())) || runs(execProgram(entry.Exec)))
            icon = entry.Icon;
    }
    g_list_free_full(apps, g_object_unref);
    return icon;
}

QString ResolveProgram(const QString& name)
{
    if (name.isEmpty())
        return QString();
    if (QDir::isAbsolutePath(name)) {
        const QFileInfo info(name);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    if (name.contains(QLatin1Char('/')))
        return QString();
    return QStandardPaths::findExecutable(name);
}

QStringList MimeTypesOfFile(const QString& path)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    QStringList types{type.name()};
    types += type.allAncestors();
    return types;
}
