#ifndef QUILLMARK_SETTINGS_REGISTRY_H
#define QUILLMARK_SETTINGS_REGISTRY_H

#include "settings/SettingsDocument.h"

#include <QHash>
#include <QJsonValue>
#include <QString>

#include <functional>
#include <stdexcept>

/// An error of the settings store. what() is its message, naming the value, the one line the user has always
/// seen; the file and the reason go below it in FullText().
class ERegistryException : public std::runtime_error
{
public:
    ERegistryException(const QString& message, const QString& valueName, const QString& filePath,
                       const QString& reason);
    const QString& ValueName() const { return FValueName; }
    /// The settings file; empty when the error met none.
    const QString& FilePath() const { return FFilePath; }
    /// Why the value could not be read or written: the system's words for a failed write.
    const QString& Reason() const { return FReason; }
    /// The message, then on the next line the file and the reason, as in "/home/u/.config/…/settings.json: Not a
    /// directory".
    QString FullText() const;

private:
    QString FValueName;
    QString FFilePath;
    QString FReason;
};

/// "Failed to set data for '%s'": a value could not be written.
class ESetDataError : public ERegistryException
{
public:
    ESetDataError(const QString& valueName, const QString& filePath = QString(), const QString& reason = QString());
};

/// "Failed to get data for '%s'": an integer that does not exist.
class EGetDataError : public ERegistryException
{
public:
    EGetDataError(const QString& valueName, const QString& filePath = QString(), const QString& reason = QString());
};

/// "Invalid data type for '%s'": a value of the other kind (or an integer outside 32 bits).
class EInvalidDataType : public ERegistryException
{
public:
    EInvalidDataType(const QString& valueName, const QString& filePath = QString(), const QString& reason = QString());
};

/// The per-user settings: named string and integer values kept in one JSON object in a file of the user's
/// configuration folder. Every operation reads the file afresh and every change rewrites it at once, under a
/// lock and on top of what the file holds then, so two running programs never lose each other's values. A
/// change is written to a new file beside the old one and checked to its last sync before it replaces the old
/// one: a crash or a failed write (a full disk) leaves the old file as it was. The values a change does not
/// set keep their text as written. A file that cannot be read or parsed is kept aside under a new name, never
/// deleted, and the store goes on as if it were empty; takeNotice() tells the user once. The lock is a file
/// beside the settings, "settings.json.lock", which stays. One object serves one thread.
class TRegistry
{
public:
    /// The key the values live under; its last two names make the folder below the configuration folder.
    static constexpr const char* KeyPath = "SOFTWARE\\Velloran\\Quillmark\\";

    /// $XDG_CONFIG_HOME/Velloran/Quillmark/settings.json; ~/.config when XDG_CONFIG_HOME is unset, empty or
    /// relative.
    static QString defaultFilePath();

    /// A store in filePath. Nothing is touched until OpenKey.
    explicit TRegistry(QString filePath = defaultFilePath());
    /// Closes the key.
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    const QString& filePath() const { return FFilePath; }

    /// Opens the key, making its folder when missing, and reads the file (keeping a broken one aside). True when
    /// the folder exists afterwards; writes report their own failures either way.
    bool OpenKey();
    /// Until the key is opened again, nothing exists and every write fails.
    void CloseKey();
    bool isOpen() const { return FOpen; }

    bool ValueExists(const QString& name);
    /// Missing or empty gives ""; the text ends at its first NUL. Throws EInvalidDataType for a non-string.
    QString ReadString(const QString& name);
    /// Throws EGetDataError when missing, EInvalidDataType for a string, a fraction or a number outside 32 bits
    /// (1e400 included, which no parser holds).
    qint32 ReadInteger(const QString& name);
    /// Throw ESetDataError when the value is not on disk afterwards.
    void WriteString(const QString& name, const QString& value);
    void WriteInteger(const QString& name, qint32 value);
    /// A missing value is fine. False when an existing value could not be removed, with the reason in reason.
    bool DeleteValue(const QString& name, QString* reason = nullptr);

    /// Changes several values in one write: edit gets the values as the file holds them now, under the lock, and
    /// what it changes replaces the file at once. Throws ESetDataError naming the first value edit changed when
    /// that cannot be written; the file then stays as it was. Nothing is written when edit changes nothing.
    void save(const std::function<void(SettingsDocument& values)>& edit);

    /// The value as this object last read it (ReadString, ReadInteger) or set it; undefined when it did neither.
    /// What this program holds as stored, so that a save can tell a value its user changed from one another
    /// program wrote since.
    QJsonValue known(const QString& name) const { return FKnown.value(name, QJsonValue(QJsonValue::Undefined)); }

    /// What the user should be told about a settings file that was kept aside; empty once taken.
    QString takeNotice();

private:
    enum class Loaded
    {
        /// FValues holds the file's values, or none when there is no file.
        Ok,
        /// The file is broken and could not be moved aside: writing would destroy it.
        Blocked,
    };

    Loaded load();
    /// nullptr when missing; valid until the next operation.
    const StoredValue* read(const QString& name);
    bool keepAside(const QString& reason);
    /// Removes new files a killed save left beside the settings; only under the lock, when no save runs.
    void removeUnfinishedSaves() const;
    /// Throws ESetDataError for the first value edit would change in an empty store, as no write can be had.
    void failEdit(const std::function<void(SettingsDocument& values)>& edit, const QString& reason) const;
    [[noreturn]] void failWrite(const QString& name, const QString& reason) const;

    QString FFilePath;
    bool FOpen = false;
    /// The file as the last operation read it.
    SettingsDocument FValues;
    QHash<QString, QJsonValue> FKnown;
    QString FNotice;
    bool FToldBlocked = false;
};

#endif // QUILLMARK_SETTINGS_REGISTRY_H
