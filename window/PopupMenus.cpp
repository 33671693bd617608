#include "window/PopupMenus.h"

#include "catalog/CatalogModel.h"
#include "resources/Images.h"
#include "runner/LocalPath.h"

#include <QAbstractItemView>
#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>

namespace {

const QString PlainCustomCaption = QStringLiteral("Open in c&ustom editor");

/// The words of a desktop entry's Exec= line up to the program: double quotes group, a backslash escapes.
QString execProgram(const QString& exec)
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

/// The [Desktop Entry] group of a desktop entry file: its unlocalised keys.
QHash<QString, QString> desktopEntry(const QString& filePath)
{
    QHash<QString, QString> values;
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return values;
    QTextStream in(&file);
    bool inGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inGroup || equals <= 0 || line.startsWith(QLatin1Char('#')))
            continue;
        const QString key = line.left(equals).trimmed();
        if (!key.contains(QLatin1Char('[')) && !values.contains(key))
            values.insert(key, line.mid(equals + 1).trimmed());
    }
    return values;
}

/// Does the command word of a desktop entry start programPath?
bool runsProgram(const QString& command, const QFileInfo& program)
{
    if (command.isEmpty())
        return false;
    if (command.contains(QLatin1Char('/')))
        return QFileInfo(command).canonicalFilePath() == program.canonicalFilePath();
    return command == program.fileName();
}

QIcon iconNamed(const QString& name)
{
    if (name.isEmpty())
        return QIcon();
    if (QDir::isAbsolutePath(name))
        return QFileInfo(name).isFile() ? QIcon(name) : QIcon();
    if (QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);
    // Entries may name an icon kept outside any theme, in the shared pixmaps folders.
    for (const QString& dataFolder : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        for (const char* suffix : {".png", ".svg", ".xpm"}) {
            const QString candidate = dataFolder + QStringLiteral("/pixmaps/") + name + QLatin1String(suffix);
            if (QFileInfo(candidate).isFile())
                return QIcon(candidate);
        }
    }
    return QIcon();
}

/// image, made 16 by 16: scaled down keeping its shape, centred on a transparent square.
QImage menuImage(const QIcon& icon)
{
    const int side = Images::MenuImageSize;
    const QImage drawn = icon.pixmap(QSize(side, side)).toImage();
    if (drawn.isNull())
        return QImage();
    if (drawn.size() == QSize(side, side))
        return drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage scaled = drawn.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    QPainter painter(&square);
    painter.drawImage((side - scaled.width()) / 2, (side - scaled.height()) / 2, scaled);
    return square;
}

QIcon iconOf(const QImage& image)
{
    return QIcon(QPixmap::fromImage(image));
}

} // namespace

void DesktopLauncher::openWithDesktop(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void DesktopLauncher::startProgram(const QString& program, const QString& argument, const QString& workingFolder)
{
    QProcess::startDetached(program, {argument}, workingFolder);
}

QString ResolveProgram(const QString& editorPath)
{
    if (editorPath.isEmpty())
        return QString();
    if (QDir::isAbsolutePath(editorPath)) {
        const QFileInfo info(editorPath);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    if (editorPath.contains(QLatin1Char('/')))
        return QString();
    return QStandardPaths::findExecutable(editorPath);
}

QIcon ProgramIcon(const QString& programPath)
{
    const QFileInfo program(programPath);
    if (program.fileName().isEmpty())
        return QIcon();
    if (QIcon::hasThemeIcon(program.fileName()))
        return QIcon::fromTheme(program.fileName());

    // Earlier folders take precedence, as they do for the desktop itself.
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
        QStringList entries;
        QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            entries.append(it.next());
        entries.sort();
        for (const QString& entryPath : entries) {
            const QHash<QString, QString> entry = desktopEntry(entryPath);
            if (entry.value(QStringLiteral("Hidden")) == QLatin1String("true"))
                continue;
            if (!runsProgram(entry.value(QStringLiteral("TryExec")), program)
                && !runsProgram(execProgram(entry.value(QStringLiteral("Exec"))), program))
                continue;
            const QIcon icon = iconNamed(entry.value(QStringLiteral("Icon")));
            if (!icon.isNull())
                return icon;
        }
    }
    return QIcon();
}

QString TBSkin1StyleSheet()
{
    // tcPopup, tcBorder, tcSelItem with tcSelItemBorder, tcSeparator, tcText and tcHighlightText.
    return QStringLiteral("QMenu { background-color: #F4F4ED; border: 1px solid #989389; color: palette(window-text); "
                          "padding: 1px; }"
                          "QMenu::item { padding: 3px 20px 3px 26px; border: 1px solid transparent; "
                          "background-color: transparent; }"
                          "QMenu::item:selected { background-color: #B3C1C5; border: 1px solid palette(highlight); "
                          "color: palette(window-text); }"
                          "QMenu::item:default { font-weight: bold; }"
                          "QMenu::icon { padding-left: 3px; }"
                          "QMenu::separator { height: 1px; background-color: #C7C2B7; margin: 2px 0px 2px 24px; }");
}

QString FolderPartOf(const QString& filePath)
{
    return filePath.left(filePath.lastIndexOf(QLatin1Char('/')) + 1);
}

PopupMenus::PopupMenus(PopupMenusHost& host, QAbstractItemView* list, QWidget* parent)
    : QObject(parent)
    , m_host(host)
    , m_list(list)
    , m_launcher(std::make_unique<DesktopLauncher>())
    , MainImages{Images::pencilImage(), Images::magnifierImage()}
{
    TBPopupMenu1 = new QMenu(parent);
    TBPopupMenu1->setObjectName(QStringLiteral("TBPopupMenu1"));
    TBPopupMenu1->setStyleSheet(TBSkin1StyleSheet());
    TBItem3 = TBPopupMenu1->addAction(iconOf(MainImages.at(ImagePencil)), QStringLiteral("&Open in associated editor"));
    TBItem3->setObjectName(QStringLiteral("TBItem3"));
    TBItem2 = TBPopupMenu1->addAction(PlainCustomCaption);
    TBItem2->setObjectName(QStringLiteral("TBItem2"));
    TBItem1 = TBPopupMenu1->addAction(iconOf(MainImages.at(ImageMagnifier)), QStringLiteral("&Check msgfmt output"));
    TBItem1->setObjectName(QStringLiteral("TBItem1"));

    TBPopupMenu2 = new QMenu(parent);
    TBPopupMenu2->setObjectName(QStringLiteral("TBPopupMenu2"));
    TBPopupMenu2->setStyleSheet(TBSkin1StyleSheet());
    Getfromfile1 = TBPopupMenu2->addAction(QStringLiteral("&Get folder from 'single file output' section"));
    Getfromfile1->setObjectName(QStringLiteral("Getfromfile1"));
}

PopupMenus::~PopupMenus() = default;

void PopupMenus::MarkDefaultItem(int defaultAction)
{
    const QList<QAction*> items{TBItem3, TBItem2, TBItem1};
    TBPopupMenu1->setDefaultAction(defaultAction >= 0 && defaultAction < items.size() ? items.at(defaultAction)
                                                                                      : nullptr);
}

void PopupMenus::UpdateCustomEditorItem(const QString& editorPath)
{
    if (MainImages.size() > ImageCustomEditor)
        MainImages.resize(ImageCustomEditor);
    TBItem2->setIcon(QIcon());
    TBItem2->setText(PlainCustomCaption);

    const QString program = ResolveProgram(editorPath);
    if (program.isEmpty())
        return;
    // A "&" in the name is part of the name, not an accelerator.
    QString name = editorPath.mid(editorPath.lastIndexOf(QLatin1Char('/')) + 1);
    name.replace(QLatin1Char('&'), QStringLiteral("&&"));
    TBItem2->setText(QStringLiteral("%1 (%2)").arg(PlainCustomCaption, name));

    const QImage image = menuImage(ProgramIcon(program));
    if (image.isNull())
        return;
    MainImages.append(image);
    TBItem2->setIcon(iconOf(MainImages.at(ImageCustomEditor)));
}

void PopupMenus::Openinexternaledito1Click()
{
    if (const std::optional<QString> path = selectedPath())
        m_launcher->openWithDesktop(*path);
}

void PopupMenus::TBItem2Click()
{
    if (const std::optional<QString> path = selectedPath())
        m_launcher->startProgram(m_host.editorPath(), *path, m_host.shownFolder());
}

void PopupMenus::Checkmsgfmtoutput1Click()
{
    if (const std::optional<QString> path = selectedPath())
        m_host.checkOnSingleFilePage(*path);
}

void PopupMenus::List2DblClick(int defaultAction)
{
    switch (defaultAction) {
    case 0:
        Openinexternaledito1Click();
        break;
    case 1:
        TBItem2Click();
        break;
    default:
        Checkmsgfmtoutput1Click();
        break;
    }
}

void PopupMenus::popupAt(QPoint globalPos)
{
    TBPopupMenu1->popup(globalPos);
}

std::optional<QString> PopupMenus::selectedPath() const
{
    const QItemSelectionModel* selection = m_list ? m_list->selectionModel() : nullptr;
    if (!selection)
        return std::nullopt;
    const QModelIndexList selected = selection->selectedIndexes();
    if (selected.isEmpty())
        return std::nullopt;
    const QModelIndex first = selected.first();
    // The file's own bytes, not the caption, which shows bytes that are not UTF-8 as replacement characters.
    const QByteArray name = first.siblingAtColumn(0).data(CatalogModel::RowRole).value<CatalogRow>().Name;
    return m_host.shownFolder() + decodeLocalPath(name);
}

void PopupMenus::setLauncher(std::unique_ptr<EditorLauncher> launcher)
{
    m_launcher = std::move(launcher);
}
