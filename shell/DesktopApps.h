#ifndef QUILLMARK_SHELL_DESKTOPAPPS_H
#define QUILLMARK_SHELL_DESKTOPAPPS_H

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

/// A program as the desktop knows it: one desktop entry ("gedit.desktop") of the XDG applications folders.
struct DesktopApp
{
    /// The entry's id, as mimeapps.list names it: its path below an applications folder, "/" turned into "-".
    QString Id;
    /// The entry file.
    QString FilePath;
    /// Name=, unlocalised.
    QString Name;
    /// The program Exec= starts, as written there: a bare name or a path.
    QString Program;
    /// Icon=: an icon name or a path.
    QString Icon;
    /// TryExec=, when given.
    QString TryExec;
    /// Terminal=true: the program runs in a terminal window, which the desktop opens for it.
    bool Terminal = false;
    QStringList MimeTypes;
};

/// The [Desktop Entry] group of a desktop entry file: its unlocalised keys and values.
QHash<QString, QString> ReadDesktopEntry(const QString& filePath);

/// The program a desktop entry's Exec= line starts: its first word (double quotes group, a backslash escapes),
/// after "env" and its NAME=value words.
QString ExecProgram(const QString& exec);

/// The program name names: an absolute path to an executable file, or a bare name found on PATH. Empty when it
/// names no program (a relative path with a folder in it names none either: what it meant would depend on the
/// working folder of the moment).
QString ResolveProgram(const QString& name);

/// Every application entry of the XDG applications folders that is not hidden, the first of an id winning, in
/// the order of the folders ($XDG_DATA_HOME first) and then of their paths.
QList<DesktopApp> DesktopApps();

/// The MIME type of a file by its name and contents, then the types it is a kind of ("text/plain" for a PO file).
QStringList MimeTypesOfFile(const QString& path);

/// The application the desktop opens a file of the first of mimeTypes with (the later ones are the types it is a
/// kind of), by the rules of the XDG MIME applications lists: a default application named in a mimeapps.list, else
/// an added association, else an application that says it opens the type, unless an association was removed. Only
/// an application whose program is installed counts. None when there is none.
std::optional<DesktopApp> DefaultApplication(const QStringList& mimeTypes);

#endif // QUILLMARK_SHELL_DESKTOPAPPS_H
