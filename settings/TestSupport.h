#ifndef QUILLMARK_SETTINGS_TESTSUPPORT_H
#define QUILLMARK_SETTINGS_TESTSUPPORT_H

#include "settings/Registry.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

// Readable failures for the Qt types the tests compare.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* out)
{
    *out << '{';
    for (qsizetype i = 0; i < list.size(); ++i)
        *out << (i ? ",\n " : "") << '"' << list.at(i).toStdString() << '"';
    *out << '}';
}

inline void PrintTo(const QJsonValue& value, std::ostream* out)
{
    *out << (value.isUndefined() ? QByteArray("undefined")
                                 : QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact))
                .toStdString();
}

/// Each test gets a configuration folder of its own through XDG_CONFIG_HOME, as a user's program would.
class ConfigHomeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        if (qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
            m_savedConfigHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path()));
    }

    void TearDown() override
    {
        if (m_savedConfigHome)
            qputenv("XDG_CONFIG_HOME", *m_savedConfigHome);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

    QString configHome() const { return m_home.path(); }
    QString settingsFolder() const { return m_home.filePath(QStringLiteral("Velloran/Quillmark")); }
    QString settingsFile() const { return settingsFolder() + QStringLiteral("/settings.json"); }

    void writeSettingsFile(const QByteArray& contents) const
    {
        ASSERT_TRUE(QDir().mkpath(settingsFolder()));
        QFile file(settingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(contents), contents.size());
    }

    QByteArray settingsFileContents() const
    {
        QFile file(settingsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    /// The file as it is on disk; fails the test when it is not one JSON object.
    QJsonObject storedValues() const
    {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(settingsFileContents(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        EXPECT_TRUE(document.isObject());
        return document.object();
    }

private:
    QTemporaryDir m_home;
    std::optional<QByteArray> m_savedConfigHome;
};

#endif // QUILLMARK_SETTINGS_TESTSUPPORT_H
