#ifndef QUILLMARK_CATALOG_CATALOGTESTSUPPORT_H
#define QUILLMARK_CATALOG_CATALOGTESTSUPPORT_H

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

/// Writes a PO file with the given numbers of translated, fuzzy and untranslated messages.
inline void writePoFile(const QString& path, int translated, int fuzzy, int untranslated)
{
    QByteArray text = "msgid \"\"\nmsgstr \"\"\n"
                      "\"Project-Id-Version: test\\n\"\n"
                      "\"PO-Revision-Date: 2026-01-01 00:00+0000\\n\"\n"
                      "\"Last-Translator: Tester <t@localhost>\\n\"\n"
                      "\"Language-Team: none\\n\"\n"
                      "\"Language: de\\n\"\n"
                      "\"MIME-Version: 1.0\\n\"\n"
                      "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
                      "\"Content-Transfer-Encoding: 8bit\\n\"\n\n";
    int n = 0;
    for (int i = 0; i < translated; ++i, ++n)
        text += "msgid \"m" + QByteArray::number(n) + "\"\nmsgstr \"t" + QByteArray::number(n) + "\"\n\n";
    for (int i = 0; i < fuzzy; ++i, ++n)
        text += "#, fuzzy\nmsgid \"m" + QByteArray::number(n) + "\"\nmsgstr \"f" + QByteArray::number(n) + "\"\n\n";
    for (int i = 0; i < untranslated; ++i, ++n)
        text += "msgid \"m" + QByteArray::number(n) + "\"\nmsgstr \"\"\n\n";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(text);
}

inline void writeTextFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(text);
}

/// The real msgfmt, found before any test changes PATH.
inline QString realMsgfmt()
{
    static const QString path = QStandardPaths::findExecutable(QStringLiteral("msgfmt"));
    return path;
}

/// Puts a folder first on PATH for the lifetime of the object. Change PATH only while no check runs.
class PathOverride
{
public:
    explicit PathOverride(const QString& folder, bool keepRest = true)
        : m_old(qgetenv("PATH"))
    {
        qputenv("PATH", keepRest ? QFile::encodeName(folder) + ':' + m_old : QFile::encodeName(folder));
    }
    ~PathOverride() { qputenv("PATH", m_old); }
    PathOverride(const PathOverride&) = delete;
    PathOverride& operator=(const PathOverride&) = delete;

private:
    QByteArray m_old;
};

/// Writes into folder a program named msgfmt that sleeps for the given seconds before it runs the real one,
/// when its first argument ends in suffix (every time when suffix is empty), printing "started" first.
inline void writeSlowMsgfmt(const QString& folder, const QString& seconds, const QString& suffix = QString())
{
    const QString script = QStringLiteral("#!/bin/sh\ncase \"$1\" in\n  *%1) echo started; sleep %2 ;;\nesac\n"
                                          "exec \"%3\" \"$@\"\n")
                               .arg(suffix, seconds, realMsgfmt());
    const QString path = QDir(folder).filePath(QStringLiteral("msgfmt"));
    writeTextFile(path, script.toUtf8());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

/// The slow msgfmt of writeSlowMsgfmt first on PATH while this lives.
class SlowMsgfmtOnPath
{
public:
    SlowMsgfmtOnPath(const QString& seconds, const QString& suffix)
    {
        writeSlowMsgfmt(m_bin.path(), seconds, suffix);
        m_path.emplace(m_bin.path());
    }

private:
    QTemporaryDir m_bin;
    std::optional<PathOverride> m_path;
};

#endif // QUILLMARK_CATALOG_CATALOGTESTSUPPORT_H
