#include "shell/DesktopApps.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSet>
#include <QStandardPaths>
#include <QTextStream>

namespace {

/// The groups of a mimeapps.list: each MIME type with the ids listed for it, in their order.
struct MimeAppsList
{
    QHash<QString, QStringList> Defaults;
    QHash<QString, QStringList> Added;
    QHash<QString, QStringList> Removed;
};

/// Calls entry(group, key, value) for each "key=value" line of a desktop's key file (a desktop entry, a
/// mimeapps.list), group being the header line above it ("[Desktop Entry]"), key trimmed, value as written; a
/// line before any header, a comment or one without a key is left out.
template <typename Entry> void readKeyFile(const QString& filePath, Entry entry)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QTextStream in(&file);
    QString group;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            group = line;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (group.isEmpty() || equals <= 0 || line.startsWith(QLatin1Char('#')))
            continue;
        entry(group, line.left(equals).trimmed(), line.mid(equals + 1));
    }
}

MimeAppsList readMimeAppsList(const QString& filePath)
{
    MimeAppsList list;
    readKeyFile(filePath, [&list](const QString& group, const QString& type, const QString& ids) {
        QHash<QString, QStringList>* lists = nullptr;
        if (group == QLatin1String("[Default Applications]"))
            lists = &list.Defaults;
        else if (group == QLatin1String("[Added Associations]"))
            lists = &list.Added;
        else if (group == QLatin1String("[Removed Associations]"))
            lists = &list.Removed;
        if (lists)
            (*lists)[type] += ids.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    });
    return list;
}

/// The mimeapps.list files, the most important first: the user's configuration, the system's, then those kept
/// with the applications; each desktop's own list before the common one.
QList<MimeAppsList> mimeAppsLists()
{
    QStringList desktops;
    for (const QString& desktop :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        desktops.append(desktop.toLower());
    QStringList names;
    for (const QString& desktop : desktops)
        names.append(desktop + QStringLiteral("-mimeapps.list"));
    names.append(QStringLiteral("mimeapps.list"));

    QList<MimeAppsList> lists;
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation)) {
        for (const QString& name : names)
            lists.append(readMimeAppsList(folder + QLatin1Char('/') + name));
    }
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
        for (const QString& name : names + QStringList{QStringLiteral("defaults.list")})
            lists.append(readMimeAppsList(folder + QLatin1Char('/') + name));
    }
    return lists;
}

bool isInstalled(const DesktopApp& app)
{
    return (app.TryExec.isEmpty() || !ResolveProgram(app.TryExec).isEmpty()) && !ResolveProgram(app.Program).isEmpty();
}

} // namespace

QHash<QString, QString> ReadDesktopEntry(const QString& filePath)
{
    QHash<QString, QString> values;
    readKeyFile(filePath, [&values](const QString& group, const QString& key, const QString& value) {
        if (group == QLatin1String("[Desktop Entry]") && !key.contains(QLatin1Char('[')) && !values.contains(key))
            values.insert(key, value.trimmed());
    });
    return values;
}

QString ExecProgram(const QString& exec)
{
    QStringList words;
    QString word;
    bool quoted = false;
    bool inWord = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (c == QLatin1Char('\\') && i + 1 < exec.size()) {
            word += exec.at(++i);
            inWord = true;
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
            inWord = true;
        } else if (c.isSpace() && !quoted) {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.append(word);
    // "env NAME=value program …" runs program.
    qsizetype first = 0;
    if (!words.isEmpty() && words.first() == QLatin1String("env")) {
        first = 1;
        while (first < words.size() && words.at(first).contains(QLatin1Char('=')))
            ++first;
    }
    return first < words.size() ? words.at(first) : QString();
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

QList<DesktopApp> DesktopApps()
{
    QList<DesktopApp> apps;
    QSet<QString> ids;
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
        QStringList entries;
        QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            entries.append(it.next());
        entries.sort();
        const QDir root(folder);
        for (const QString& entryPath : entries) {
            const QString id = root.relativeFilePath(entryPath).replace(QLatin1Char('/'), QLatin1Char('-'));
            // An entry of an earlier folder hides the one of the same id, even a hidden one.
            if (ids.contains(id))
                continue;
            ids.insert(id);
            const QHash<QString, QString> entry = ReadDesktopEntry(entryPath);
            if (entry.value(QStringLiteral("Hidden")) == QLatin1String("true"))
                continue;
            DesktopApp app;
            app.Id = id;
            app.FilePath = entryPath;
            app.Name = entry.value(QStringLiteral("Name"));
            app.Program = ExecProgram(entry.value(QStringLiteral("Exec")));
            app.Icon = entry.value(QStringLiteral("Icon"));
            app.TryExec = entry.value(QStringLiteral("TryExec"));
            app.Terminal = entry.value(QStringLiteral("Terminal")) == QLatin1String("true");
            app.MimeTypes = entry.value(QStringLiteral("MimeType")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
            apps.append(app);
        }
    }
    return apps;
}

QStringList MimeTypesOfFile(const QString& path)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    QStringList types{type.name()};
    types += type.allAncestors();
    return types;
}

std::optional<DesktopApp> DefaultApplication(const QStringList& mimeTypes)
{
    const QList<DesktopApp> apps = DesktopApps();
    QHash<QString, qsizetype> byId;
    for (qsizetype i = 0; i < apps.size(); ++i)
        byId.insert(apps.at(i).Id, i);
    const QList<MimeAppsList> lists = mimeAppsLists();
    const auto installed = [&](const QString& id) -> const DesktopApp* {
        const auto found = byId.constFind(id);
        return found != byId.cend() && isInstalled(apps.at(*found)) ? &apps.at(*found) : nullptr;
    };

    for (const QString& type : mimeTypes) {
        for (const MimeAppsList& list : lists) {
            for (const QString& id : list.Defaults.value(type)) {
                if (const DesktopApp* app = installed(id))
                    return *app;
            }
        }
    }
    for (const QString& type : mimeTypes) {
        QSet<QString> removed;
        for (const MimeAppsList& list : lists) {
            for (const QString& id : list.Removed.value(type))
                removed.insert(id);
        }
        for (const MimeAppsList& list : lists) {
            for (const QString& id : list.Added.value(type)) {
                if (const DesktopApp* app = installed(id); app && !removed.contains(id))
                    return *app;
            }
        }
        for (const DesktopApp& app : apps) {
            if (app.MimeTypes.contains(type) && !removed.contains(app.Id) && isInstalled(app))
                return app;
        }
    }
    return std::nullopt;
}
