#include "shell/DesktopApps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

/// Points the XDG folders (and PATH) at a temporary desktop for the life of the object.
class TemporaryDesktop
{
public:
    TemporaryDesktop()
    {
        for (const char* name :
             {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS", "PATH", "XDG_CURRENT_DESKTOP"})
            m_saved.append({name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path("config")));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(path("etc")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("data")));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(path("share")));
        qputenv("PATH", QFile::encodeName(path("bin")));
        qputenv("XDG_CURRENT_DESKTOP", "Test:Other");
    }
    ~TemporaryDesktop()
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
    }

    QString path(const QString& relative) const { return m_root.filePath(relative); }

    void write(const QString& relative, const QByteArray& contents, bool executable = false) const
    {
        const QString file = path(relative);
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(contents);
        out.close();
        if (executable)
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void app(const QString& relative, const QByteArray& program, const QByteArray& mimeTypes) const
    {
        write(relative,
              "[Desktop Entry]\nType=Application\nName=" + program + "\nExec=" + program + " %F\nMimeType=" + mimeTypes
                  + "\n");
    }

private:
    QTemporaryDir m_root;
    QList<std::pair<const char*, std::optional<QByteArray>>> m_saved;
};

std::optional<QString> defaultId(const QStringList& types)
{
    const std::optional<DesktopApp> app = DefaultApplication(types);
    return app ? std::optional(app->Id) : std::nullopt;
}

TEST(DesktopAppsTest, TheDefaultApplicationFollowsTheMimeAppsLists)
{
    TemporaryDesktop desktop;
    const QStringList po{"text/x-gettext-translation", "text/plain"};
    EXPECT_EQ(defaultId(po), std::nullopt);

    for (const char* program : {"poedit", "kate", "mousepad"})
        desktop.write(QStringLiteral("bin/") + program, "#!/bin/sh\n", true);
    desktop.app("share/applications/kde/kate.desktop", "kate", "text/plain;");
    desktop.app("share/applications/mousepad.desktop", "mousepad", "text/plain;");
    desktop.app("share/applications/missing.desktop", "not-installed", "text/x-gettext-translation;");
    desktop.app("data/applications/poedit.desktop", "poedit", "text/x-gettext-translation;");
    // An application saying it opens the type, else one for the type it is a kind of.
    EXPECT_EQ(defaultId(po), QStringLiteral("poedit.desktop"));
    EXPECT_EQ(defaultId({"text/plain"}), QStringLiteral("kde-kate.desktop"));

    // The user's removal and a default for the wider type; a default for the type itself wins, its first
    // installed application, a desktop's own list before the common one.
    desktop.write("config/mimeapps.list",
                  "[Removed Associations]\ntext/x-gettext-translation=poedit.desktop;\n"
                  "[Default Applications]\ntext/plain=mousepad.desktop\n");
    EXPECT_EQ(defaultId(po), QStringLiteral("mousepad.desktop"));
    desktop.write("etc/other-mimeapps.list",
                  "[Default Applications]\ntext/x-gettext-translation=missing.desktop;kde-kate.desktop;\n");
    EXPECT_EQ(defaultId(po), QStringLiteral("kde-kate.desktop"));
    desktop.write("config/test-mimeapps.list", "[Default Applications]\ntext/x-gettext-translation=poedit.desktop\n");
    const std::optional<DesktopApp> chosen = DefaultApplication(po);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->Program, QStringLiteral("poedit"));
    EXPECT_EQ(chosen->FilePath, desktop.path("data/applications/poedit.desktop"));
}

TEST(DesktopAppsTest, APoFileIsAKindOfText)
{
    QTemporaryDir folder;
    QFile file(folder.filePath("de.po"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("msgid \"\"\nmsgstr \"\"\n");
    file.close();
    const QStringList types = MimeTypesOfFile(file.fileName());
    ASSERT_FALSE(types.isEmpty());
    EXPECT_EQ(types.first(), QStringLiteral("text/x-gettext-translation"));
    EXPECT_TRUE(types.contains(QStringLiteral("text/plain")));
}

} // namespace
