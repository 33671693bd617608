#include "shell/KnownFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <functional>
#include <vector>

namespace {

bool isFolder(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

QString writable(QStandardPaths::StandardLocation location, const QString& below = {})
{
    const QString base = QStandardPaths::writableLocation(location);
    if (base.isEmpty())
        return {};
    return below.isEmpty() ? base : base + u'/' + below;
}

/// The first existing folder among the system-wide locations (those after the user's own).
QString systemWide(QStandardPaths::StandardLocation location, const QString& below = {})
{
    const QStringList all = QStandardPaths::standardLocations(location);
    for (qsizetype i = 1; i < all.size(); ++i) {
        const QString path = below.isEmpty() ? all.at(i) : all.at(i) + u'/' + below;
        if (isFolder(path))
            return path;
    }
    return {};
}

/// A folder of the desktop's user-dirs file that Qt has no location for (XDG_TEMPLATES_DIR ...).
QString xdgUserDir(const QString& key, const QString& fallback)
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QLatin1String("/.config");
    QFile file(config + QLatin1String("/user-dirs.dirs"));
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        static const QRegularExpression line(QStringLiteral("^\\s*(\\w+)\\s*=\\s*\"(.*)\"\\s*$"));
        while (!file.atEnd()) {
            const QRegularExpressionMatch match = line.match(QString::fromUtf8(file.readLine()).trimmed());
            if (!match.hasMatch() || match.captured(1) != key)
                continue;
            QString value = match.captured(2);
            value.replace(QLatin1String("$HOME"), QDir::homePath());
            return value;
        }
    }
    return QDir::homePath() + u'/' + fallback;
}

struct SpecialFolder
{
    const char* name;
    /// Null when the name has no counterpart on this platform.
    std::function<QString()> resolve;
};

const std::vector<SpecialFolder>& specialFolders()
{
    using QSP = QStandardPaths;
    static const std::vector<SpecialFolder> folders = {
        {"sfRecycleBin", [] { return writable(QSP::GenericDataLocation, QStringLiteral("Trash")); }},
        {"sfControlPanel", nullptr},
        {"sfDesktop",
         [] {
             const QString desktop = QSP::writableLocation(QSP::DesktopLocation);
             return isFolder(desktop) ? desktop : QDir::homePath();
         }},
        {"sfDesktopDirectory", [] { return writable(QSP::DesktopLocation); }},
        {"sfMyComputer", [] { return QDir::rootPath(); }},
        {"sfFonts", [] { return writable(QSP::FontsLocation); }},
        {"sfNetworkFolder", nullptr},
        {"sfNetworkNeighborhood", nullptr},
        {"sfMyDocuments", [] { return writable(QSP::DocumentsLocation); }},
        {"sfPrinters", nullptr},
        {"sfProgramMenu", [] { return writable(QSP::ApplicationsLocation); }},
        {"sfRecentDocuments", nullptr},
        {"sfSendTo", nullptr},
        {"sfStartMenu", [] { return writable(QSP::ApplicationsLocation); }},
        {"sfStartup", [] { return writable(QSP::GenericConfigLocation, QStringLiteral("autostart")); }},
        {"sfTemplates", [] { return xdgUserDir(QStringLiteral("XDG_TEMPLATES_DIR"), QStringLiteral("Templates")); }},
        {"sfFavorites", nullptr},
        {"sfAltStartup", nullptr},
        {"sfAppData", [] { return writable(QSP::GenericDataLocation); }},
        {"sfCookies", nullptr},
        {"sfHistory", nullptr},
        {"sfInternet", nullptr},
        {"sfInternetCache", [] { return writable(QSP::GenericCacheLocation); }},
        {"sfPrintHood", nullptr},
        {"sfCommonAltStartup", nullptr},
        {"sfCommonDesktopDirectory", nullptr},
        {"sfCommonFavorites", nullptr},
        {"sfCommonPrograms", [] { return systemWide(QSP::ApplicationsLocation); }},
        {"sfCommonStartMenu", [] { return systemWide(QSP::ApplicationsLocation); }},
        {"sfCommonStartup", [] { return systemWide(QSP::GenericConfigLocation, QStringLiteral("autostart")); }},
    };
    return folders;
}

bool equalIgnoringAsciiCase(const QString& text, const char* name)
{
    const qsizetype length = qsizetype(qstrlen(name));
    if (text.size() != length)
        return false;
    for (qsizetype i = 0; i < length; ++i) {
        char16_t a = text.at(i).unicode();
        char16_t b = char16_t(name[i]);
        if (a >= u'A' && a <= u'Z')
            a = char16_t(a - u'A' + u'a');
        if (b >= u'A' && b <= u'Z')
            b = char16_t(b - u'A' + u'a');
        if (a != b)
            return false;
    }
    return true;
}

const SpecialFolder* findSpecialFolder(const QString& name)
{
    for (const SpecialFolder& folder : specialFolders())
        if (equalIgnoringAsciiCase(name, folder.name))
            return &folder;
    return nullptr;
}

} // namespace

QStringList specialFolderNames()
{
    QStringList names;
    for (const SpecialFolder& folder : specialFolders())
        names.append(QString::fromLatin1(folder.name));
    return names;
}

bool isSpecialFolderName(const QString& name)
{
    return findSpecialFolder(name) != nullptr;
}

QString resolveSpecialFolder(const QString& name)
{
    const SpecialFolder* folder = findSpecialFolder(name);
    if (!folder || !folder->resolve)
        return {};
    const QString path = folder->resolve();
    return isFolder(path) ? QDir::cleanPath(path) : QString();
}
