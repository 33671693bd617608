// Property: any bytes as the settings file load without a crash, and a file is never lost. Every value the
// loading hands the window is within its range (font sizes, slider position and its threshold, jobs). A file
// the JSON parser takes alone as an object is not kept aside, and each of its values reads as the parser reads
// it. A file that is not an object is kept aside byte for byte. A load and a close with nothing changed keep
// every value as written, byte for byte; only the folder history may be rewritten, from the top without gaps
// or repeats, and it keeps the same folders in the same order.

#include "fuzz/FuzzCheck.h"
#include "settings/Registry.h"
#include "settings/SettingsDocument.h"
#include "settings/WindowSettings.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace {

QTemporaryDir* g_home = nullptr;

QString settingsFolder()
{
    return g_home->filePath(QStringLiteral("config/Velloran/Quillmark"));
}

QString settingsFile()
{
    return settingsFolder() + QStringLiteral("/settings.json");
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool isHistoryName(const QString& name)
{
    for (int n = 1; n <= FolderHistorySize; ++n) {
        if (name == QStringLiteral("Dir%1").arg(n))
            return true;
    }
    return false;
}

/// "Dir1" to "Dir10" that hold a text, from the top, without repeats.
QStringList history(const SettingsDocument& values)
{
    QStringList folders;
    for (int n = 1; n <= FolderHistorySize; ++n) {
        const StoredValue* stored = values.value(QStringLiteral("Dir%1").arg(n));
        if (stored && stored->Value.isString() && !folders.contains(stored->Value.toString()))
            folders.append(stored->Value.toString());
    }
    return folders;
}

/// The window as loading sees it: checks each value on arrival and keeps what the close saves.
class CheckingTarget : public SettingsTarget
{
public:
    QString folderText;
    QStringList folders;

    void setConsoleFontName(const QString&) override { }
    void setConsoleFontSize(qint32 points) override { FUZZ_CHECK(points >= MinFontSize && points <= MaxFontSize); }
    void setInterfaceFont(const InterfaceFont& font, const QString& buttonCaption) override
    {
        FUZZ_CHECK(font.Size >= MinFontSize && font.Size <= MaxFontSize);
        FUZZ_CHECK(buttonCaption.startsWith(font.Name + QStringLiteral(", %1, ").arg(font.Size)));
    }
    void setDefaultAction(qint32) override { }
    void setEditorPath(const QString&) override { }
    void showDefaultAction() override { }
    void setTrackPosition(qint32 position) override
    {
        FUZZ_CHECK(position >= MinRatioPosition && position <= MaxRatioPosition);
        m_track = position;
    }
    void setYellowThreshold(YellowThreshold threshold) override { FUZZ_CHECK(threshold == RatioFromPosition(m_track)); }
    void setJobs(qint32 jobs) override { FUZZ_CHECK(jobs >= MinJobs && jobs <= MaxJobs); }
    void setSubfolders(bool) override {}
    void updateCustomEditorItem() override { }
    void setFolderText(const QString& text) override { folderText = text; }
    void appendFolderHistory(const QString& folder) override { folders.append(folder); }

private:
    qint32 m_track = -1;
};

/// name reads from registry as the JSON parser reads value.
void checkReadsAsParsed(TRegistry& registry, const QString& name, const QJsonValue& value)
{
    if (value.isString()) {
        QString text = value.toString();
        text.truncate(text.indexOf(QChar(0)) >= 0 ? text.indexOf(QChar(0)) : text.size());
        FUZZ_CHECK(registry.ReadString(name) == text);
        return;
    }
    const double number = value.toDouble();
    const bool integer = value.isDouble() && number == std::trunc(number)
        && number >= std::numeric_limits<qint32>::min() && number <= std::numeric_limits<qint32>::max();
    try {
        FUZZ_CHECK(registry.ReadInteger(name) == number);
        FUZZ_CHECK(integer);
    } catch (const EInvalidDataType&) {
        FUZZ_CHECK(!integer);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // In memory where there is such a place: each save syncs its file.
    g_home = new QTemporaryDir(QStringLiteral("/dev/shm/quillmark-settings-fuzz-XXXXXX"));
    if (!g_home->isValid()) {
        delete g_home;
        g_home = new QTemporaryDir;
    }
    // Empty places for the desktop's applications, so that looking for a default editor costs nothing.
    const QString nothing = g_home->filePath(QStringLiteral("nothing"));
    QDir().mkpath(nothing);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(g_home->filePath(QStringLiteral("config"))));
    for (const char* name : {"PATH", "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS"})
        qputenv(name, QFile::encodeName(nothing));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QDir(settingsFolder()).removeRecursively();
    QDir().mkpath(settingsFolder());
    {
        QFile file(settingsFile());
        FUZZ_CHECK(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    }

    const std::optional<SettingsDocument> before = SettingsDocument::fromJson(text);
    QJsonParseError error;
    const QJsonDocument parsed = QJsonDocument::fromJson(text, &error);
    const bool parsedAlone = error.error == QJsonParseError::NoError && parsed.isObject();
    FUZZ_CHECK(!parsedAlone || before);

    TRegistry registry(settingsFile());
    CheckingTarget target;
    const SettingsLoad load = LoadSettings(registry, target);
    const QString notice = registry.takeNotice();
    FUZZ_CHECK(notice.isEmpty() == before.has_value());
    if (!before) {
        const QStringList kept = QDir(settingsFolder()).entryList({QStringLiteral("settings.json.corrupt-*")});
        FUZZ_CHECK(kept.size() == 1);
        FUZZ_CHECK(readFile(settingsFolder() + QLatin1Char('/') + kept.first()) == text);
        return 0;
    }

    if (parsedAlone) {
        const QJsonObject values = parsed.object();
        for (auto it = values.begin(); it != values.end(); ++it)
            checkReadsAsParsed(registry, it.key(), it.value());
    }

    try {
        SaveFolders(registry, target.folderText, target.folders, load.Unread);
    } catch (const ERegistryException& failure) {
        std::fprintf(stderr, "%s\n", qPrintable(failure.FullText()));
        FUZZ_CHECK(!"the close could not save");
    }
    const std::optional<SettingsDocument> after = SettingsDocument::fromJson(readFile(settingsFile()));
    FUZZ_CHECK(after);
    bool historyUnread = false;
    for (const QString& name : load.Unread)
        historyUnread |= isHistoryName(name);
    for (const QString& name : before->names()) {
        if (isHistoryName(name) && !historyUnread)
            continue;
        FUZZ_CHECK(after->contains(name) && after->value(name)->Text == before->value(name)->Text);
    }
    if (!historyUnread) {
        const QStringList folders = history(*before);
        FUZZ_CHECK(history(*after) == folders);
        for (int n = 1; n <= FolderHistorySize; ++n)
            FUZZ_CHECK(after->contains(QStringLiteral("Dir%1").arg(n)) == (n <= folders.size()));
    }
    return 0;
}
