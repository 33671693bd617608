#ifndef QUILLMARK_SHELL_DESKTOPAPPS_H
#define QUILLMARK_SHELL_DESKTOPAPPS_H

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The desktop's applications as GIO reads them from the XDG applications folders and MIME lists. GIO reads
// where those folders are once per process, at first use.

/// An application's desktop entry, as far as starting it goes.
struct DesktopEntry
{
    /// As the MIME lists name it, "org.gnome.TextEditor.desktop"; empty for an entry read from a file of its own.
    QString Id;
    QString FilePath;
    /// Name=, localised.
    QString Name;
    /// Icon=: an icon name or a path; empty when there is none.
    QString Icon;
    /// Exec=, its key-file escapes undone; its quoting and field codes are still in it.
    QString Exec;
    /// Terminal=true: the program needs a terminal window.
    bool Terminal = false;
};

/// The application entry that editor names: a desktop file id ("gedit.desktop") of the applications folders, or
/// the absolute path of a desktop entry file. None for anything else, or when the entry is hidden or its program is
/// not installed.
std::optional<DesktopEntry> FindDesktopEntry(const QString& editor);

/// An Exec= line (or a command such as $EDITOR) split by its quoting, the way GIO splits it; empty when it cannot
/// be split.
QStringList ExecWords(const QString& exec);

/// The arguments that start entry on filePath, the program first: Exec= split by its quoting, each of %f, %F, %u
/// and %U giving filePath (as one argument when it stands alone), %i "--icon" and the icon, %c the name, %k the
/// entry file, %% a "%"; other field codes give nothing. Empty when Exec= cannot be split, when a field code stands
/// where the program belongs, or when it has no file field code (the entry then opens no file).
QStringList EntryCommand(const DesktopEntry& entry, const QString& filePath);

/// The applications that open a file of mimeTypes (its own type first, then the types it is a kind of), in the order
/// the XDG MIME applications lists give: for each type its default, then the others that say they open it. Only
/// applications whose program is installed count, and never Quillmark itself (its own entry, or any entry that runs
/// a program named quillmark): as the one program that declares PO files, it easily becomes their default.
QList<DesktopEntry> ApplicationsFor(const QStringList& mimeTypes);

/// Opens filePath in entry's application as the desktop starts it (field codes, D-Bus activation, a terminal where
/// it asks for one), detached. False with the reason in error when it could not be started.
bool LaunchApplication(const DesktopEntry& entry, const QString& filePath, QString* error);

/// Opens filePath in an editor, detached: the first of ApplicationsFor(mimeTypes) that starts, else the editor that
/// $VISUAL, or else $EDITOR, names (words split as a shell splits them), in a terminal: x-terminal-emulator where the
/// system has one, else a terminal GIO knows. False when none started, with each one tried and why in error.
bool OpenInDesktopEditor(const QString& filePath, const QStringList& mimeTypes, QString* error);

/// Starts the custom editor on filePath, detached, in workingFolder: a program (editor names one as ResolveProgram
/// says, or as a relative path from workingFolder) with filePath as its one argument, else the entry FindDesktopEntry
/// finds, with the arguments of EntryCommand. False with the user's message in error when it could not be started.
bool StartEditor(const QString& editor, const QString& filePath, const QString& workingFolder, QString* error);

/// The Icon= of the first application that runs program: its TryExec= or the program its Exec= starts (looked for
/// behind "env NAME=value") is program's file name, or program itself when given with a folder. Empty when none.
QString ProgramEntryIcon(const QString& program);

/// The program name names: an absolute path to an executable file, or a bare name found on PATH. Empty when it
/// names no program (a relative path with a folder in it names none either: what it meant would depend on the
/// working folder of the moment).
QString ResolveProgram(const QString& name);

/// The MIME type of a file by its name and contents, then the types it is a kind of ("text/plain" for a PO file).
QStringList MimeTypesOfFile(const QString& path);

#endif // QUILLMARK_SHELL_DESKTOPAPPS_H
