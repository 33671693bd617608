#ifndef QUILLMARK_SETTINGS_WINDOWSETTINGS_H
#define QUILLMARK_SETTINGS_WINDOWSETTINGS_H

#include "catalog/MsgfmtStats.h"

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

/// The window as the loading sees it. LoadSettings calls these in the order listed, each once at most; an error
/// of the store stops the loading, so the calls made before it stay and the rest never come.
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
    /// UpdateCustomEditorItem.
    virtual void updateCustomEditorItem() = 0;
    /// EdtDir's text.
    virtual void setFolderText(const QString& text) = 0;
    /// Appends folder at the bottom of EdtDir's history.
    virtual void appendFolderHistory(const QString& folder) = 0;
};

/// How many folders the history keeps: "Dir1" to "Dir10".
constexpr int FolderHistorySize = 10;

/// The custom editor a first start stores.
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
/// target. Throws the store's errors (ERegistryException) after applying what came before.
void LoadSettings(TRegistry& registry, SettingsTarget& target);

/// When the window is destroyed, after the catalog runner has stopped: "LastDir" := folderText, and "Dir1" to
/// "Dir10" := history from the top, deleted where history has no entry. Stops at the first error, which it throws
/// (a delete that fails throws ESetDataError for its value).
void SaveFolders(TRegistry& registry, const QString& folderText, const QStringList& history);

/// The Continue button's writes: "Editor", "Default", "Ratio", in that order, stopping at the first error.
void StoreContinue(TRegistry& registry, const QString& editorPath, qint32 defaultAction, qint32 trackPosition);

/// After every use of the font dialog, with the dialog's font: "Font", "FontSize", "FontStyle".
void StoreInterfaceFont(TRegistry& registry, const InterfaceFont& font);

#endif // QUILLMARK_SETTINGS_WINDOWSETTINGS_H
