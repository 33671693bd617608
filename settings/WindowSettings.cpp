#include "settings/WindowSettings.h"

#include "settings/Registry.h"
#include "shell/DesktopApps.h"

#include <QDir>

#include <algorithm>
#include <optional>

namespace {

QString dirName(int n)
{
    return QStringLiteral("Dir%1").arg(n);
}

void setDefault(SettingsDocument& values, const QString& name, const QJsonValue& value)
{
    if (!values.contains(name))
        values.insert(name, value);
}

/// Sets name to the value this program shows, unless loading could not read it, or unless the value is the one this
/// program last knew as stored and the file holds one: a value the user did not change is never written over one
/// another program wrote since.
void storeShown(const TRegistry& registry, SettingsDocument& values, const QString& name, const QJsonValue& shown,
                const UnreadValues& unread)
{
    if (unread.contains(name) || (values.contains(name) && registry.known(name) == shown))
        return;
    values.insert(name, shown);
}

/// The history as the file holds it now: "Dir1" to "Dir10" that hold a text, from the top, without repeats.
QStringList storedHistory(const SettingsDocument& values)
{
    QStringList history;
    for (int n = 1; n <= FolderHistorySize; ++n) {
        const StoredValue* stored = values.value(dirName(n));
        if (stored && stored->Value.isString() && !history.contains(stored->Value.toString()))
            history.append(stored->Value.toString());
    }
    return history;
}

} // namespace

QString DefaultEditor()
{
    const QString gedit = QStringLiteral("gedit");
    if (!ResolveProgram(gedit).isEmpty())
        return gedit;
    // The custom editor is started without a terminal, so a terminal's editor is no choice. An entry is stored by
    // its id, so that its whole command (a Flatpak's, a wrapper's) is what starts it.
    for (const DesktopEntry& app : ApplicationsFor({QStringLiteral("text/plain")})) {
        if (!app.Terminal)
            return app.Id;
    }
    for (const char* common :
         {"gnome-text-editor", "kate", "kwrite", "mousepad", "pluma", "xed", "featherpad", "geany", "leafpad"}) {
        if (!ResolveProgram(QLatin1String(common)).isEmpty())
            return QLatin1String(common);
    }
    // None here: the menu then says that it cannot be found.
    return gedit;
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

qint32 ReadableFontSize(qint32 points)
{
    return std::clamp(points, MinFontSize, MaxFontSize);
}

SettingsLoad LoadSettings(TRegistry& registry, SettingsTarget& target)
{
    SettingsLoad load;
    registry.OpenKey();

    std::optional<QString> defaultEditor;
    const auto editorDefault = [&] {
        if (!defaultEditor)
            defaultEditor = DefaultEditor();
        return *defaultEditor;
    };
    try {
        registry.save([&](SettingsDocument& values) {
            setDefault(values, QStringLiteral("LastDir"), QDir::homePath());
            if (!values.contains(QStringLiteral("Editor")))
                values.insert(QStringLiteral("Editor"), editorDefault());
            setDefault(values, QStringLiteral("Ratio"), 3);
            setDefault(values, QStringLiteral("Default"), 0);
            setDefault(values, QStringLiteral("Font"), QStringLiteral("Tahoma"));
            setDefault(values, QStringLiteral("FontSize"), 8);
            setDefault(values, QStringLiteral("FontStyle"), QString());
            setDefault(values, QStringLiteral("Jobs"), 0);
        });
    } catch (const ERegistryException& error) {
        load.Errors.append(error.FullText());
    }

    // A value missing here is one whose default could not be written: it is used all the same.
    const auto readValue = [&](const QString& name, auto fallback, auto read) -> std::optional<decltype(fallback)> {
        try {
            if (!registry.ValueExists(name))
                return fallback;
            return (registry.*read)(name);
        } catch (const ERegistryException& error) {
            load.Errors.append(error.FullText());
            load.Unread.insert(name);
            return std::nullopt;
        }
    };
    const auto readString = [&](const QString& name, const QString& fallback) {
        return readValue(name, fallback, &TRegistry::ReadString);
    };
    const auto readInteger
        = [&](const QString& name, qint32 fallback) { return readValue(name, fallback, &TRegistry::ReadInteger); };

    if (registry.ValueExists(QStringLiteral("ConsoleFont"))) {
        if (const auto name = readString(QStringLiteral("ConsoleFont"), QString()))
            target.setConsoleFontName(*name);
    }
    if (registry.ValueExists(QStringLiteral("ConsoleFontSize"))) {
        if (const auto size = readInteger(QStringLiteral("ConsoleFontSize"), 0))
            target.setConsoleFontSize(ReadableFontSize(*size));
    }

    const QString fontName = readString(QStringLiteral("Font"), QStringLiteral("Tahoma")).value_or("Tahoma");
    const QString styleCode = readString(QStringLiteral("FontStyle"), QString()).value_or(QString());
    const qint32 fontSize = ReadableFontSize(readInteger(QStringLiteral("FontSize"), 8).value_or(8));
    target.setInterfaceFont(FontFromSettings(fontName, fontSize, styleCode),
                            FontButtonCaption(fontName, fontSize, styleCode));

    target.setDefaultAction(readInteger(QStringLiteral("Default"), 0).value_or(0));
    // Looking for the default editor takes a walk through the desktop's applications: only when it is needed.
    const std::optional<QString> editor = registry.ValueExists(QStringLiteral("Editor"))
        ? readString(QStringLiteral("Editor"), QString())
        : std::nullopt;
    target.setEditorPath(editor ? *editor : editorDefault());
    target.showDefaultAction();

    // The slider and the threshold show one position, the one the rows are judged by.
    const qint32 ratio
        = std::clamp(readInteger(QStringLiteral("Ratio"), 3).value_or(3), MinRatioPosition, MaxRatioPosition);
    target.setTrackPosition(ratio);
    target.setYellowThreshold(RatioFromPosition(ratio));
    target.setJobs(std::clamp(readInteger(QStringLiteral("Jobs"), 0).value_or(0), MinJobs, qint32{MaxJobs}));
    target.setSubfolders(readInteger(QStringLiteral("Subfolders"), 0).value_or(0) != 0);

    target.updateCustomEditorItem();

    target.setFolderText(readString(QStringLiteral("LastDir"), QDir::homePath()).value_or(QDir::homePath()));

    for (int n = 1; n <= FolderHistorySize; ++n) {
        if (!registry.ValueExists(dirName(n)))
            continue;
        if (const auto folder = readString(dirName(n), QString()))
            target.appendFolderHistory(*folder);
    }
    return load;
}

void SaveFolders(TRegistry& registry, const QString& folderText, const QStringList& history, const UnreadValues& unread)
{
    bool historyUnread = false;
    QStringList loaded;
    for (int n = 1; n <= FolderHistorySize; ++n) {
        historyUnread |= unread.contains(dirName(n));
        if (const QJsonValue known = registry.known(dirName(n)); known.isString())
            loaded.append(known.toString());
    }
    // The history grows only at its top: what it holds beyond what was loaded are the folders read here.
    QStringList added;
    for (const QString& folder : history) {
        if (!loaded.contains(folder))
            added.append(folder);
    }

    registry.save([&](SettingsDocument& values) {
        storeShown(registry, values, QStringLiteral("LastDir"), folderText, unread);
        if (historyUnread)
            return;
        // Another program may have saved its own folders since: they follow the ones read here.
        QStringList merged = added;
        for (const QString& folder : storedHistory(values)) {
            if (!merged.contains(folder))
                merged.append(folder);
        }
        for (int n = 1; n <= FolderHistorySize; ++n) {
            if (n <= merged.size())
                values.insert(dirName(n), merged.at(n - 1));
            else
                values.remove(dirName(n));
        }
    });
}

void StoreContinue(TRegistry& registry, const QString& editorPath, qint32 defaultAction, qint32 trackPosition,
                   const UnreadValues& unread)
{
    registry.save([&](SettingsDocument& values) {
        storeShown(registry, values, QStringLiteral("Editor"), editorPath, unread);
        storeShown(registry, values, QStringLiteral("Default"), defaultAction, unread);
        storeShown(registry, values, QStringLiteral("Ratio"), trackPosition, unread);
    });
}

void StoreSubfolders(TRegistry& registry, bool on, const UnreadValues& unread)
{
    registry.save([&](SettingsDocument& values) {
        storeShown(registry, values, QStringLiteral("Subfolders"), on ? 1 : 0, unread);
    });
}

void StoreInterfaceFont(TRegistry& registry, const InterfaceFont& font, const UnreadValues& unread)
{
    registry.save([&](SettingsDocument& values) {
        storeShown(registry, values, QStringLiteral("Font"), font.Name, unread);
        storeShown(registry, values, QStringLiteral("FontSize"), font.Size, unread);
        storeShown(registry, values, QStringLiteral("FontStyle"), StyleCode(font.Bold, font.Italic), unread);
    });
}
