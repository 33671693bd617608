#include "window/PreferencesPanel.h"

#include "settings/Registry.h"
#include "window/AnchorLayout.h"
#include "window/EnterKey.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QSlider>
#include <QSortFilterProxyModel>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

/// Hides what is neither a folder nor an executable file while executablesOnly is set.
class ExecutableFilter : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void setExecutablesOnly(bool on)
    {
        if (on == m_executablesOnly)
            return;
        m_executablesOnly = on;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override
    {
        if (!m_executablesOnly)
            return true;
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files)
            return true;
        const QFileInfo info = files->fileInfo(files->index(sourceRow, 0, sourceParent));
        return info.isDir() || (info.isFile() && info.isExecutable());
    }

private:
    bool m_executablesOnly = true;
};

/// The style of family that is bold and italic as asked, of the weight nearest to regular or bold, without a
/// stretch in its name when there is a choice; empty when the family has none.
QString styleNamed(const QString& family, bool bold, bool italic)
{
    const int wanted = bold ? QFont::Bold : QFont::Normal;
    QString best;
    int bestDistance = 0;
    for (const QString& style : QFontDatabase::styles(family)) {
        // QFontDatabase::italic() does not count an oblique style; the font's own style does.
        const QFont candidate = QFontDatabase::font(family, style, 10);
        if (candidate.bold() != bold || candidate.italic() != italic)
            continue;
        const bool stretched = style.contains(QLatin1String("Condensed"), Qt::CaseInsensitive)
            || style.contains(QLatin1String("Expanded"), Qt::CaseInsensitive);
        const int distance = std::abs(candidate.weight() - wanted) * 2 + (stretched ? 1 : 0);
        if (best.isEmpty() || distance < bestDistance) {
            best = style;
            bestDistance = distance;
        }
    }
    return best;
}

QLabel* makeLabel(const QString& text, QWidget* parent, Qt::Alignment alignment = Qt::AlignLeft)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(alignment | Qt::AlignTop);
    return label;
}

} // namespace

QFont MakeInterfaceFont(const InterfaceFont& font)
{
    QFont qfont(font.Name);
    if (font.Size > 0)
        qfont.setPointSize(font.Size);
    qfont.setBold(font.Bold);
    qfont.setItalic(font.Italic);
    return qfont;
}

InterfaceFont InterfaceFontOf(const QFont& qfont)
{
    const int points = qfont.pointSize() > 0 ? qfont.pointSize() : QFontInfo(qfont).pointSize();
    return {qfont.family(), points, qfont.bold(), qfont.italic()};
}

void ApplyInterfaceFont(QWidget* window, const QFont& font, QLabel* linkLabel)
{
    window->setFont(font);
    if (!linkLabel)
        return;
    linkLabel->setFont(font);
    QPalette palette = linkLabel->palette();
    palette.setColor(QPalette::WindowText, LinkLabelColor);
    palette.setColor(QPalette::Link, LinkLabelColor);
    linkLabel->setPalette(palette);
}

void KeepOwnFont(QWidget* widget)
{
    QFont font = widget->font();
    font.setResolveMask(QFont::AllPropertiesResolved);
    widget->setFont(font);
}

QString ChooseEditorProgram(QWidget* parent)
{
    QFileDialog dialog(parent, QFileDialog::tr("Open"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Programs here carry no extension; the executable bit is what marks them.
    const QStringList filters{QStringLiteral("Executables (*)"), QStringLiteral("All Files (*)")};
    dialog.setNameFilters(filters);
    auto* filter = new ExecutableFilter(&dialog);
    dialog.setProxyModel(filter);
    QObject::connect(&dialog, &QFileDialog::filterSelected, filter, [filter, filters](const QString& selected) {
        filter->setExecutablesOnly(selected == filters.first());
    });
    dialog.selectNameFilter(filters.first());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

std::optional<QFont> ChooseInterfaceFont(QWidget* parent, const QFont& initial)
{
    // A stored family that is not installed would leave the dialog with no family chosen; it starts from the one
    // that stands in for it on screen.
    QFont start = initial;
    if (!QFontDatabase::hasFamily(initial.family()))
        start.setFamily(QFontInfo(initial).family());
    // The dialog picks the style by name and falls back to the family's first one (often an oblique) when the
    // name is not among them: "Normal" is no style name of many families. Name the style that is meant.
    if (const QString style = styleNamed(start.family(), start.bold(), start.italic()); !style.isEmpty())
        start.setStyleName(style);
    QFontDialog dialog(start, parent);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    // Only bold and italic are kept, so the effects (strike-out, underline) are not offered.
    for (QCheckBox* effect : dialog.findChildren<QCheckBox*>()) {
        if (QWidget* group = effect->parentWidget(); group && group != &dialog)
            group->hide();
        effect->hide();
    }
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedFont();
}

PreferencesPanel::PreferencesPanel(PreferencesHost& host, QWidget* parent)
    : QFrame(parent)
    , m_host(host)
    , m_editorDialog(ChooseEditorProgram)
    , m_fontDialog(ChooseInterfaceFont)
{
    setObjectName(QStringLiteral("PnlEditor"));
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    // It lies over the pages and must hide what is under it.
    setAutoFillBackground(true);
    setGeometry(DesignRect);

    Label5 = makeLabel(QStringLiteral("Preferences"), this);
    // The captions before the controls are right-aligned, laid out 80 wide; a wider font may take them on to the
    // left as far as the panel's border.
    Label4 = makeLabel(QStringLiteral("Custom editor:"), this, Qt::AlignRight);
    EdtEditor = new QLineEdit(this);
    Button4 = new QPushButton(QStringLiteral("..."), this);
    Label1 = makeLabel(QStringLiteral("Double click:"), this, Qt::AlignRight);
    ComboDbl = new QComboBox(this);
    ComboDbl->addItems({QStringLiteral("opens in associated editor"), QStringLiteral("opens in custom editor"),
                        QStringLiteral("checks msgfmt output")});
    Label11 = makeLabel(QStringLiteral("Interface font:"), this, Qt::AlignRight);
    BtnFont = new QPushButton(this);
    Label6 = makeLabel(QStringLiteral("Use yellow if translated/all ratio is greater than:"), this);
    // On a second line if the font needs it, ending before the slider.
    Label6->setWordWrap(true);
    Track = new QSlider(Qt::Horizontal, this);
    Track->setRange(0, 6);
    Track->setPageStep(1);
    Track->setTickPosition(QSlider::TicksBelow);
    Track->setTickInterval(1);
    const YellowThreshold start = RatioFromPosition(Track->value());
    Label10 = makeLabel(QStringLiteral("%1/%2").arg(start.Num).arg(start.Den), this);
    Label9 = makeLabel(QStringLiteral("4/5"), this);
    Label7 = makeLabel(QStringLiteral("1/2"), this);
    Label8 = makeLabel(QStringLiteral("1/8"), this);
    BtnEditor = new QPushButton(QStringLiteral("Co&ntinue"), this);
    ChkSubfolders = new QCheckBox(QStringLiteral("Include &subfolders"), this);

    using Sizing = AnchorLayout::Sizing;
    constexpr Qt::Edges LeftTop = Qt::LeftEdge | Qt::TopEdge;
    m_layout = new AnchorLayout(DesignRect.size(), this);
    m_layout->place(Label5, {10, 10, 200, 15}, LeftTop, Sizing::PreferredWidth);
    m_layout->place(Label4, {2, 42, 84, 15}, LeftTop);
    m_layout->place(EdtEditor, {88, 39, 297, 21}, LeftTop);
    m_layout->place(Button4, {386, 38, 20, 22}, LeftTop);
    m_layout->place(Label1, {2, 72, 84, 15}, LeftTop);
    m_layout->place(ComboDbl, {88, 68, 185, -1}, LeftTop);
    m_layout->place(Label11, {2, 101, 84, 15}, LeftTop);
    m_layout->place(BtnFont, {88, 95, 184, 25}, LeftTop);
    m_layout->place(Label6, {10, 130, 241, 43}, LeftTop);
    // 25 high rather than 28, so that the labels under it do not lie over its lowest pixels.
    m_layout->place(Track, {253, 129, 132, 25}, LeftTop);
    m_layout->place(Label10, {388, 130, 22, 15}, LeftTop, Sizing::PreferredWidth);
    m_layout->place(Label9, {255, 154, 40, 15}, LeftTop, Sizing::PreferredWidth);
    m_layout->place(Label7, {312, 154, 40, 15}, LeftTop, Sizing::PreferredWidth);
    m_layout->place(Label8, {369, 154, 40, 15}, LeftTop, Sizing::PreferredWidth);
    m_layout->place(BtnEditor, {7, 173, 87, 28}, LeftTop);
    m_layout->place(ChkSubfolders, {110, 178, 200, 19}, LeftTop, Sizing::PreferredWidth);

    ChkSubfolders->setObjectName(QStringLiteral("ChkSubfolders"));
    Label5->setObjectName(QStringLiteral("Label5"));
    Label4->setObjectName(QStringLiteral("Label4"));
    EdtEditor->setObjectName(QStringLiteral("EdtEditor"));
    Button4->setObjectName(QStringLiteral("Button4"));
    Label1->setObjectName(QStringLiteral("Label1"));
    ComboDbl->setObjectName(QStringLiteral("ComboDbl"));
    Label11->setObjectName(QStringLiteral("Label11"));
    BtnFont->setObjectName(QStringLiteral("BtnFont"));
    Label6->setObjectName(QStringLiteral("Label6"));
    Track->setObjectName(QStringLiteral("Track"));
    Label10->setObjectName(QStringLiteral("Label10"));
    Label9->setObjectName(QStringLiteral("Label9"));
    Label7->setObjectName(QStringLiteral("Label7"));
    Label8->setObjectName(QStringLiteral("Label8"));
    BtnEditor->setObjectName(QStringLiteral("BtnEditor"));

    fitToFont();

    connect(EdtEditor, &QLineEdit::textEdited, this, [this] { userSet(QStringLiteral("Editor")); });
    connect(ComboDbl, &QComboBox::activated, this, [this] { userSet(QStringLiteral("Default")); });
    connect(Track, &QSlider::actionTriggered, this, [this] { userSet(QStringLiteral("Ratio")); });

    setTabOrder(EdtEditor, BtnEditor);
    setTabOrder(BtnEditor, Button4);
    setTabOrder(Button4, ComboDbl);
    setTabOrder(ComboDbl, Track);
    setTabOrder(Track, BtnFont);

    if (parent)
        parent->installEventFilter(this);
    hide();
}

void PreferencesPanel::BtnPrefClick()
{
    EdtEditor->setText(m_host.editorPath());
    show();
    raise();
}

void PreferencesPanel::Button4Click()
{
    const QString chosen = m_editorDialog(this);
    if (chosen.isEmpty())
        return;
    EdtEditor->setText(chosen);
    userSet(QStringLiteral("Editor"));
}

bool PreferencesPanel::EdtEditorKeyPress(const QKeyEvent& key)
{
    if (!isEnter(key))
        return false;
    BtnEditorClick();
    return true;
}

void PreferencesPanel::TrackChange(int position)
{
    const YellowThreshold threshold = RatioFromPosition(position);
    m_host.setYellowThreshold(threshold);
    Label10->setText(QStringLiteral("%1/%2").arg(threshold.Num).arg(threshold.Den));
}

void PreferencesPanel::BtnFontClick()
{
    const QFont current = window()->font();
    InterfaceFont used = InterfaceFontOf(current);
    if (const std::optional<QFont> chosen = m_fontDialog(this, current)) {
        used = InterfaceFontOf(*chosen);
        used.Size = ReadableFontSize(used.Size);
        BtnFont->setText(FontButtonCaption(used));
        m_host.applyInterfaceFont(MakeInterfaceFont(used));
        for (const char* name : {"Font", "FontSize", "FontStyle"})
            userSet(QString::fromLatin1(name));
    }
    StoreInterfaceFont(m_host.registry(), used, m_host.unreadValues());
}

void PreferencesPanel::BtnEditorClick()
{
    m_host.setEditorPath(EdtEditor->text());
    m_host.setDefaultAction(ComboDbl->currentIndex());
    try {
        StoreContinue(m_host.registry(), EdtEditor->text(), ComboDbl->currentIndex(), Track->value(),
                      m_host.unreadValues());
    } catch (...) {
        // The values already hold; the menu must show them even though they could not all be stored.
        m_host.MarkDefaultItem();
        m_host.UpdateCustomEditorItem();
        throw;
    }
    m_host.MarkDefaultItem();
    hide();
    m_host.UpdateCustomEditorItem();
}

void PreferencesPanel::selectDefaultAction(qint32 action)
{
    ComboDbl->setCurrentIndex(action >= 0 && action < ComboDbl->count() ? action : -1);
}

void PreferencesPanel::setTrackPosition(qint32 position)
{
    Track->setValue(position);
}

void PreferencesPanel::userSet(const QString& name)
{
    m_host.unreadValues().remove(name);
}

bool PreferencesPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        followParent();
    return QFrame::eventFilter(watched, event);
}

void PreferencesPanel::changeEvent(QEvent* event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitToFont();
}

void PreferencesPanel::fitToFont()
{
    setScale(m_layout->requiredScale());
}

void PreferencesPanel::setScale(double scale)
{
    m_layout->setScale(scale);
    resize(m_layout->designSize());
    followParent();
    // Placed now, shown or not, so that the controls stand where they belong before the next event.
    m_layout->activate();
}

void PreferencesPanel::followParent()
{
    const QWidget* holder = parentWidget();
    if (!holder)
        return;
    const auto centred = [](int start, int length, int design, int actual, int now) {
        const double centre = (start + length / 2.0) / design;
        return static_cast<int>(std::lround(centre * actual - now / 2.0));
    };
    move(centred(DesignRect.x(), DesignRect.width(), DesignParentSize.width(), holder->width(), width()),
         centred(DesignRect.y(), DesignRect.height(), DesignParentSize.height(), holder->height(), height()));
}
