#ifndef QUILLMARK_SETTINGS_SETTINGSDOCUMENT_H
#define QUILLMARK_SETTINGS_SETTINGSDOCUMENT_H

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

/// One named value of the settings file.
struct StoredValue
{
    /// The value as the JSON parser reads it. For an unrepresentable one: the parser's reading with each number it
    /// cannot hold taken as 0, which keeps its kind (a number, a list …).
    QJsonValue Value;
    /// The value exactly as the file writes it.
    QByteArray Text;
    /// The value holds a number the JSON parser cannot hold, such as 1e400 or 1e-400.
    bool Unrepresentable = false;
};

/// The settings file's text as one JSON object of named values. Each value keeps the text it was written with, so
/// that a save rewrites only the values that were set and leaves a hand-written 3.0 or "\u00e9" alone. A number the
/// JSON parser cannot hold (valid JSON, but out of a double's range) costs only the value that holds it: it reads
/// as unrepresentable and keeps its text. A name given twice reads as the parser reads it, the last one winning.
class SettingsDocument
{
public:
    /// An object with no values.
    SettingsDocument() = default;

    /// The object data holds, or nullopt with why not in problem ("unterminated object at byte 24"). A text of
    /// nothing but blanks holds an object with no values: such a file lost nothing.
    static std::optional<SettingsDocument> fromJson(const QByteArray& data, QString* problem = nullptr);

    bool contains(const QString& name) const { return value(name) != nullptr; }
    /// nullptr when there is no such value; valid until the next change.
    const StoredValue* value(const QString& name) const;
    QStringList names() const;

    /// Sets name; a value equal to the one held changes nothing, so its text stays as written.
    void insert(const QString& name, const QJsonValue& value);
    void remove(const QString& name);
    /// The names insert and remove were called for, in the order of their first call.
    const QStringList& edited() const { return m_edited; }
    /// Those of edited() whose text they changed, in the same order: what a write of the file would change.
    const QStringList& changed() const { return m_changed; }

    /// The file's text: each value in its place with its own text, new ones at the end.
    QByteArray toJson() const;

private:
    struct Member
    {
        QString Name;
        /// The name as the file writes it, quotes included.
        QByteArray NameText;
        StoredValue Stored;
    };

    /// The member that holds name: the last one, as the parser reads duplicates.
    qsizetype indexOf(const QString& name) const;
    void noteEdit(const QString& name, bool changed);

    QList<Member> m_members;
    QStringList m_edited;
    QStringList m_changed;
};

#endif // QUILLMARK_SETTINGS_SETTINGSDOCUMENT_H
