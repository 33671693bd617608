#include "window/PopupMenus.h"

#include "catalog/CatalogModel.h"
#include "resources/Images.h"
#include "runner/LocalPath.h"
#include "shell/DesktopApps.h"

#include <QAbstractItemView>
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>

namespace {

const QString PlainCustomCaption = QStringLiteral("Open in c&ustom editor");

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

ELaunchFailed::ELaunchFailed(const QString& message)
    : std::runtime_error(message.toStdString())
{ }

bool DesktopLauncher::openWithDesktop(const QString& path, QString* error)
{
    return OpenInDesktopEditor(path, MimeTypesOfFile(path), error);
}

bool DesktopLauncher::startProgram(const QString& program, const QString& argument, const QString& workingFolder,
                                   QString* error)
{
    return StartEditor(program, argument, workingFolder, error);
}

QIcon ProgramIcon(const QString& programPath)
{
    const QString name = QFileInfo(programPath).fileName();
    if (name.isEmpty())
        return QIcon();
    if (QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);
    return iconNamed(ProgramEntryIcon(programPath));
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

    if (editorPath.isEmpty())
        return;
    QString name = editorPath.mid(editorPath.lastIndexOf(QLatin1Char('/')) + 1);
    const QString program = ResolveProgram(editorPath);
    const std::optional<DesktopEntry> entry = program.isEmpty() ? FindDesktopEntry(editorPath) : std::nullopt;
    if (entry)
        name = entry->Name;
    // A "&" in the name is part of the name, not an accelerator.
    name.replace(QLatin1Char('&'), QStringLiteral("&&"));
    if (program.isEmpty() && !entry) {
        // Said before the user tries it; the launch then says why.
        TBItem2->setText(QStringLiteral("%1 (%2: not found)").arg(PlainCustomCaption, name));
        return;
    }
    TBItem2->setText(QStringLiteral("%1 (%2)").arg(PlainCustomCaption, name));

    const QImage image = menuImage(entry ? iconNamed(entry->Icon) : ProgramIcon(program));
    if (image.isNull())
        return;
    MainImages.append(image);
    TBItem2->setIcon(iconOf(MainImages.at(ImageCustomEditor)));
}

void PopupMenus::Openinexternaledito1Click()
{
    QString error;
    if (const std::optional<QString> path = selectedPath(); path && !m_launcher->openWithDesktop(*path, &error))
        throw ELaunchFailed(error);
}

void PopupMenus::TBItem2Click()
{
    QString error;
    if (const std::optional<QString> path = selectedPath();
        path && !m_launcher->startProgram(m_host.editorPath(), *path, m_host.shownFolder(), &error))
        throw ELaunchFailed(error);
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
