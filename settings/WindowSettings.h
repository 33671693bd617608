#ifndef QUILLMARK_SETTINGS_WINDOWSETTINGS_H
#define QUILLMARK_SETTINGS_WINDOWSETTINGS_H

#include "catalog/MsgfmtStats.h"
#include "runner/Processors.h"

#include <QSet>
#include <QString>
#include <QStringList>

class TRegistry;

/// The interface font as the settings keep it: of its style only bold and italic count.
struct InterfaceFont
{
    QString Name;
    /// Points.
    qint32 Size = 0;
    bool Bold = false;
    bool Italic = false;

    friend bool operator==(const InterfaceFont&, const InterfaceFont&) = default;
};

/// The window as the loading sees it. LoadSettings calls these in the order listed, each once at most; a value that
/// cannot be read is given as its default, and an optional one (the console font) is not given.
class SettingsTarget
{
public:
    virtual ~SettingsTarget() = default;

    /// Output's font name; only when "ConsoleFont" exists.
    virtual void setConsoleFontName(const QString& name) = 0;
    /// Output's font size in points; only when "ConsoleFontSize" exists.
    virtual void setConsoleFontSize(qint32 points) = 0;
    /// BtnFont's caption, then the font of the window and of Label2, whose colour then returns to #516D91.
    virtual void setInterfaceFont(const InterfaceFont& font, const QString& buttonCaption) = 0;
    /// DefaultAction := action, as stored (any integer).
    virtual void setDefaultAction(qint32 action) = 0;
    /// EditorPath := path.
    virtual void setEditorPath(const QString& path) = 0;
    /// ComboDbl selects item DefaultAction (no item outside 0..2), then MarkDefaultItem.
    virtual void showDefaultAction() = 0;
    /// Track := position as stored; the slider keeps it within 0..6 and runs TrackChange if its position changes.
    virtual void setTrackPosition(qint32 position) = 0;
    /// FYellowNum, FYellowDen := threshold, the ratio of the stored position itself (not the slider's).
    virtual void setYellowThreshold(YellowThreshold threshold) = 0;
    /// The checks the catalog runs at once, as stored within MinJobs..MaxJobs: 0 for one per processor available.
    virtual void setJobs(qint32 jobs) = 0;
    /// Whether reads list the PO files in subfolders too: "Subfolders" as stored, any value but 0 counting as on.
    virtual void setSubfolders(bool on) = 0;
    /// UpdateCustomEditorItem.
    virtual void updateCustomEditorItem() = 0;
    /// EdtDir's text.
    virtual void setFolderText(const QString& text) = 0;
    /// Appends folder at the bottom of EdtDir's history.
    virtual void appendFolderHistory(const QString& folder) = 0;
};

/// How many folders the history keeps: "Dir1" to "Dir10".
constexpr int FolderHistorySize = 10;

/// The font sizes in points a stored size is kept within: outside them a window cannot be read.
constexpr qint32 MinFontSize = 6;
constexpr qint32 MaxFontSize = 32;
/// points, kept within MinFontSize..MaxFontSize.
qint32 ReadableFontSize(qint32 points);

/// The slider positions a stored "Ratio" is kept within.
constexpr qint32 MinRatioPosition = 0;
constexpr qint32 MaxRatioPosition = 6;

/// The stored "Jobs" is kept within these: 0 asks for one check per processor available.
constexpr qint32 MinJobs = 0;

/// The names of stored values that loading could not read: each took its default for this run, and the saves
/// leave it as it is in the store until the user sets that value himself, so a hand-edited file never loses what
/// it says to a default.
using UnreadValues = QSet<QString>;

/// What loading met.
struct SettingsLoad
{
    /// The full text of each error (ERegistryException::FullText), in the order met.
    QStringList Errors;
    UnreadValues Unread;
};

/// The custom editor a first start stores, one this desktop has: "gedit" where it is installed, else the desktop
/// file id of the desktop's preferred text editor, else the first of a few common editors found on PATH; "gedit"
/// when there is none.
QString DefaultEditor();

/// "b" when bold, followed by "i" when italic.
QString StyleCode(bool bold, bool italic);
/// "Normal", "Bold", "Italic" or "Bold Italic" for exactly "", "b", "i" or "bi"; empty for any other code.
QString StyleWord(const QString& styleCode);
/// The stored font: bold when the code holds a "b" anywhere, italic when it holds an "i".
InterfaceFont FontFromSettings(const QString& name, qint32 size, const QString& styleCode);
/// BtnFont's caption: name, ", ", size, ", " and the style word, as in "Tahoma, 8, Normal".
QString FontButtonCaption(const QString& name, qint32 size, const QString& styleCode);
/// The caption of a font chosen in the dialog.
QString FontButtonCaption(const InterfaceFont& font);

/// When the window is created: opens the key, writes the defaults of missing values and hands every value to
/// target. An error never ends the loading: the value it met takes its default, and every later step still runs
/// (the defaults go in one write, whose failure names the first of them and leaves them in use all the same). A
/// value the file holds is never replaced by a default, not even one the JSON parser cannot hold. Stored font
/// sizes are kept readable, "Ratio" within the slider's positions and "Jobs" within MinJobs..MaxJobs.
SettingsLoad LoadSettings(TRegistry& registry, SettingsTarget& target);

/// When the window is destroyed, after the catalog runner has stopped, in one write: "LastDir" := folderText, and
/// "Dir1" to "Dir10" := the history from the top, deleted where it has no entry. The history written is the folders
/// read since loading (those of history that registry did not load), newest first, followed by the history the
/// file holds now, where another program may have saved its own. A value equal to what registry last knew as stored
/// is left as the file holds it; so is "LastDir" while it is unread, and the whole history while any of "Dir1" to
/// "Dir10" is. Throws ESetDataError naming the first value it would change when the file cannot be written.
void SaveFolders(TRegistry& registry, const QString& folderText, const QStringList& history,
                 const UnreadValues& unread = {});

/// The Continue button's writes, in one: "Editor", "Default", "Ratio", each unless unread or unchanged since
/// registry last knew it as stored (see SaveFolders).
void StoreContinue(TRegistry& registry, const QString& editorPath, qint32 defaultAction, qint32 trackPosition,
                   const UnreadValues& unread = {});

/// After each toggle of "Include subfolders", in one write: "Subfolders" := 1 or 0, unless unread or unchanged
/// since registry last knew it as stored. Until the first toggle the file holds no such value, which reads as off.
void StoreSubfolders(TRegistry& registry, bool on, const UnreadValues& unread = {});

/// After every use of the font dialog, with the dialog's font, in one write: "Font", "FontSize", "FontStyle", each
/// unless unread or unchanged since registry last knew it as stored.
void StoreInterfaceFont(TRegistry& registry, const InterfaceFont& font, const UnreadValues& unread = {});

#endif // QUILLMARK_SETTINGS_WINDOWSETTINGS_H
