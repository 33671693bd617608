#ifndef QUILLMARK_WINDOW_PREFERENCESPANEL_H
#define QUILLMARK_WINDOW_PREFERENCESPANEL_H

#include "catalog/MsgfmtStats.h"
#include "settings/WindowSettings.h"

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>

class AnchorLayout;
class QCheckBox;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class TRegistry;

/// What the preferences panel needs of the window that holds it. The names match the window's own, so one
/// method of the window can serve this and the settings loading alike.
class PreferencesHost
{
public:
    virtual ~PreferencesHost() = default;

    /// The settings the panel writes to; open for as long as the panel can be used.
    virtual TRegistry& registry() = 0;
    /// The stored values that loading could not read: the panel writes none of them until the user sets it.
    virtual UnreadValues& unreadValues() = 0;
    /// EditorPath.
    virtual QString editorPath() const = 0;
    /// EditorPath := path.
    virtual void setEditorPath(const QString& path) = 0;
    /// DefaultAction := action (-1 when ComboDbl shows no choice).
    virtual void setDefaultAction(qint32 action) = 0;
    /// FYellowNum, FYellowDen := threshold. Rows checked from now on are judged by it.
    virtual void setYellowThreshold(YellowThreshold threshold) = 0;
    /// Makes font the window's font and Label2's, whose colour stays LinkLabelColor (see ApplyInterfaceFont).
    virtual void applyInterfaceFont(const QFont& font) = 0;
    /// Marks the popup item of DefaultAction as the menu's default.
    virtual void MarkDefaultItem() = 0;
    /// Refreshes the custom-editor item from EditorPath.
    virtual void UpdateCustomEditorItem() = 0;
};

/// The colour of the link label, which a font change must not take away: red 81, green 109, blue 145.
inline constexpr QColor LinkLabelColor{81, 109, 145};

/// The font the interface uses for font: its name, size in points, bold and italic, nothing else.
QFont MakeInterfaceFont(const InterfaceFont& font);
/// What of qfont the settings keep. A font sized in pixels gives the points it comes to on screen.
InterfaceFont InterfaceFontOf(const QFont& qfont);

/// Makes font the font of window, which every control follows unless it keeps its own font (KeepOwnFont), then
/// gives linkLabel (may be null) the font too, in LinkLabelColor.
void ApplyInterfaceFont(QWidget* window, const QFont& font, QLabel* linkLabel);
/// Keeps widget's present font whatever font its parents get later: Output's fixed-pitch font and the folder
/// tree's close mark must not follow the interface font, and a font that sets only some of its properties
/// would still take the others (bold, italic, size) from the window.
void KeepOwnFont(QWidget* widget);

/// A modal open-file dialog for a program: a non-native QFileDialog whose first filter, "Executables (*)", lists
/// folders and executable files only, its second, "All Files (*)", everything. The full path of the chosen file;
/// empty when cancelled.
QString ChooseEditorProgram(QWidget* parent);
/// A modal non-native font dialog starting from initial, without its effects (underline, strike-out). The chosen
/// font; none when cancelled.
std::optional<QFont> ChooseInterfaceFont(QWidget* parent, const QFont& initial);

/// The preferences panel PnlEditor: the custom editor, the double-click action, the yellow threshold and the
/// interface font. A raised panel over the window's pages, hidden until BtnPrefClick; there is no cancel, only
/// Continue. The panel does not bind its controls' events: the window binds them to its handlers, which call the
/// methods named after them here.
class PreferencesPanel : public QFrame
{
    Q_OBJECT

public:
    /// Where the panel lies in a parent of DesignParentSize at the design font; in a parent of any other size its
    /// centre keeps its relative place, and a larger font grows it.
    static constexpr QRect DesignRect{115, 72, 412, 209};
    static constexpr QSize DesignParentSize{642, 386};

    using EditorDialog = std::function<QString(QWidget* parent)>;
    using FontDialog = std::function<std::optional<QFont>(QWidget* parent, const QFont& initial)>;

    /// Hidden, at DesignRect in parent, kept centred as parent is resized.
    PreferencesPanel(PreferencesHost& host, QWidget* parent);

    /// Show the panel: EdtEditor := EditorPath, shown in front of every other control. Nothing else is reset.
    void BtnPrefClick();
    /// Browse for the editor program; a confirmed choice goes into EdtEditor, nothing is stored.
    void Button4Click();
    /// A key pressed in EdtEditor: Enter (either key) acts as Continue and goes no further (true); other keys are
    /// typed as usual (false).
    bool EdtEditorKeyPress(const QKeyEvent& key);
    /// The slider is at position: the threshold takes effect at once and Label10 shows it. Nothing is stored.
    void TrackChange(int position);
    /// Choose the interface font, starting from the window's font. Confirmed, it goes on BtnFont's caption and
    /// into effect, its size kept readable; confirmed or not, the dialog's font is stored ("Font", "FontSize",
    /// "FontStyle").
    void BtnFontClick();
    /// Continue: EditorPath and DefaultAction from the panel, "Editor", "Default" and "Ratio" stored, the menu's
    /// default item marked, the panel hidden, the custom-editor item refreshed.
    void BtnEditorClick();

    /// At start: ComboDbl shows item action, none outside 0..2.
    void selectDefaultAction(qint32 action);
    /// At start: Track := position, kept within 0..6; TrackChange follows when the position changes.
    void setTrackPosition(qint32 position);

    /// Grows the panel and its controls' places by scale (1 at the design font); its centre keeps its place.
    void setScale(double scale);
    /// The scale the panel's texts ask for in its present font.
    void fitToFont();

    /// Replace the dialogs, for tests that must not block.
    void setEditorDialog(EditorDialog dialog) { m_editorDialog = std::move(dialog); }
    void setFontDialog(FontDialog dialog) { m_fontDialog = std::move(dialog); }

    QLabel* Label5;
    QLabel* Label4;
    QLineEdit* EdtEditor;
    QPushButton* Button4;
    QLabel* Label1;
    QComboBox* ComboDbl;
    QLabel* Label11;
    QPushButton* BtnFont;
    QLabel* Label6;
    QSlider* Track;
    QLabel* Label10;
    QLabel* Label9;
    QLabel* Label7;
    QLabel* Label8;
    QPushButton* BtnEditor;
    /// Reads list the PO files of the subfolders too; the window acts on each toggle.
    QCheckBox* ChkSubfolders;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    /// The user set the value stored under name: from now on it is written like any other.
    void userSet(const QString& name);
    void followParent();

    AnchorLayout* m_layout;

    PreferencesHost& m_host;
    EditorDialog m_editorDialog;
    FontDialog m_fontDialog;
};

#endif // QUILLMARK_WINDOW_PREFERENCESPANEL_H
