#include "settings/WindowSettings.h"

#include "settings/Registry.h"

#include <QDir>

namespace {

QString dirName(int n)
{
    return QStringLiteral("Dir%1").arg(n);
}

void defaultString(TRegistry& registry, const QString& name, const QString& value)
{
    if (!registry.ValueExists(name))
        registry.WriteString(name, value);
}

void defaultInteger(TRegistry& registry, const QString& name, qint32 value)
{
    if (!registry.ValueExists(name))
        registry.WriteInteger(name, value);
}

} // namespace

QString DefaultEditor()
{
    return QStringLiteral("gedit");
}

QString StyleCode(bool bold, bool italic)
{
    QString code;
    if (bold)
        code += QLatin1Char('b');
    if (italic)
        code += QLatin1Char('i');
    return code;
}

QString StyleWord(const QString& styleCode)
{
    if (styleCode.isEmpty())
        return QStringLiteral("Normal");
    if (styleCode == QLatin1String("b"))
        return QStringLiteral("Bold");
    if (styleCode == QLatin1String("i"))
        return QStringLiteral("Italic");
    if (styleCode == QLatin1String("bi"))
        return QStringLiteral("Bold Italic");
    return QString();
}

InterfaceFont FontFromSettings(const QString& name, qint32 size, const QString& styleCode)
{
    return {name, size, styleCode.contains(QLatin1Char('b')), styleCode.contains(QLatin1Char('i'))};
}

QString FontButtonCaption(const QString& name, qint32 size, const QString& styleCode)
{
    return QStringLiteral("%1, %2, %3").arg(name).arg(size).arg(StyleWord(styleCode));
}

QString FontButtonCaption(const InterfaceFont& font)
{
    return FontButtonCaption(font.Name, font.Size, StyleCode(font.Bold, font.Italic));
}

void LoadSettings(TRegistry& registry, SettingsTarget& target)
{
    registry.OpenKey();

    defaultString(registry, QStringLiteral("LastDir"), QDir::homePath());
    defaultString(registry, QStringLiteral("Editor"), DefaultEditor());
    defaultInteger(registry, QStringLiteral("Ratio"), 3);
    defaultInteger(registry, QStringLiteral("Default"), 0);
    defaultString(registry, QStringLiteral("Font"), QStringLiteral("Tahoma"));
    defaultInteger(registry, QStringLiteral("FontSize"), 8);
    defaultString(registry, QStringLiteral("FontStyle"), QString());

    if (registry.ValueExists(QStringLiteral("ConsoleFont")))
        target.setConsoleFontName(registry.ReadString(QStringLiteral("ConsoleFont")));
    if (registry.ValueExists(QStringLiteral("ConsoleFontSize")))
        target.setConsoleFontSize(registry.ReadInteger(QStringLiteral("ConsoleFontSize")));

    const QString fontName = registry.ReadString(QStringLiteral("Font"));
    const QString styleCode = registry.ReadString(QStringLiteral("FontStyle"));
    const qint32 fontSize = registry.ReadInteger(QStringLiteral("FontSize"));
    target.setInterfaceFont(FontFromSettings(fontName, fontSize, styleCode),
                            FontButtonCaption(fontName, fontSize, styleCode));

    target.setDefaultAction(registry.ReadInteger(QStringLiteral("Default")));
    target.setEditorPath(registry.ReadString(QStringLiteral("Editor")));
    target.showDefaultAction();

    // The slider clamps the stored position, but the threshold follows the stored value: above 6 that is 1/2.
    const qint32 ratio = registry.ReadInteger(QStringLiteral("Ratio"));
    const YellowThreshold threshold = RatioFromPosition(ratio);
    target.setTrackPosition(ratio);
    target.setYellowThreshold(threshold);

    target.updateCustomEditorItem();

    target.setFolderText(registry.ReadString(QStringLiteral("LastDir")));

    for (int n = 1; n <= FolderHistorySize; ++n) {
        if (registry.ValueExists(dirName(n)))
            target.appendFolderHistory(registry.ReadString(dirName(n)));
    }
}

void SaveFolders(TRegistry& registry, const QString& folderText, const QStringList& history)
{
    registry.WriteString(QStringLiteral("LastDir"), folderText);
    for (int n = 1; n <= FolderHistorySize; ++n) {
        if (n <= history.size())
            registry.WriteString(dirName(n), history.at(n - 1));
        else if (!registry.DeleteValue(dirName(n)))
            // A stale entry left behind would come back as history at the next start.
            throw ESetDataError(dirName(n));
    }
}

void StoreContinue(TRegistry& registry, const QString& editorPath, qint32 defaultAction, qint32 trackPosition)
{
    registry.WriteString(QStringLiteral("Editor"), editorPath);
    registry.WriteInteger(QStringLiteral("Default"), defaultAction);
    registry.WriteInteger(QStringLiteral("Ratio"), trackPosition);
}

void StoreInterfaceFont(TRegistry& registry, const InterfaceFont& font)
{
    registry.WriteString(QStringLiteral("Font"), font.Name);
    registry.WriteInteger(QStringLiteral("FontSize"), font.Size);
    registry.WriteString(QStringLiteral("FontStyle"), StyleCode(font.Bold, font.Italic));
}
