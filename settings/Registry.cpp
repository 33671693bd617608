#include "settings/Registry.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <chrono>
#include <cmath>
#include <limits>
#include <optional>
#include <thread>
#include <utility>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

/// How long an operation waits for another program that holds the store's lock; each holds it for one small
/// read or write, so running out means that program hangs.
constexpr auto LockPatience = 5s;

/// An advisory lock on a file next to the store, held for the life of the object. The kernel drops it when its
/// holder dies, so a crashed program never leaves the store locked.
class FileLock
{
public:
    explicit FileLock(const QString& path)
    {
        const QByteArray name = QFile::encodeName(path);
        m_fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0) {
            // A lock file that is there but not ours to write locks all the same. When it is not there either,
            // the reason is the first failure: the second one only says it is missing.
            const int createError = errno;
            m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
            if (m_fd < 0) {
                m_problem = QString::fromLocal8Bit(std::strerror(createError));
                return;
            }
        }
        const auto deadline = std::chrono::steady_clock::now() + LockPatience;
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) {
                m_problem = QString::fromLocal8Bit(std::strerror(errno));
                return;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                m_problem = QStringLiteral("another program has held the settings locked too long");
                return;
            }
            std::this_thread::sleep_for(1ms);
        }
        m_locked = true;
    }
    ~FileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool locked() const { return m_locked; }
    /// Why the lock could not be had.
    const QString& problem() const { return m_problem; }

private:
    int m_fd = -1;
    bool m_locked = false;
    QString m_problem;
};

/// What a value is, in the user's words: "a text", "a number" …
QString kindOf(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return QStringLiteral("a text");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::Bool:
        return QStringLiteral("true or false");
    case QJsonValue::Array:
        return QStringLiteral("a list");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    default:
        return QStringLiteral("null");
    }
}

QString lockPath(const QString& filePath)
{
    return filePath + QStringLiteral(".lock");
}

/// Makes a finished rename in folder survive a power loss too.
void syncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

/// The prefix of the new files a save writes beside path.
QString unfinishedPrefix(const QString& path)
{
    return QFileInfo(path).fileName() + QStringLiteral(".new-");
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

/// Replaces the file at path with one holding data. The new file is written beside it and each write, the sync
/// and the close are checked before it takes the old one's name, so any failure (a full disk, a file size limit)
/// leaves the old file as it was. False with the system's reason otherwise.
bool replaceFile(const QString& path, const QByteArray& data, QString* reason)
{
    // A link (to a file kept with the user's other configuration) stays a link: its target is replaced.
    QFileInfo file(path);
    for (int depth = 0; depth < 40 && file.isSymLink(); ++depth)
        file.setFile(file.symLinkTarget());
    const QByteArray target = QFile::encodeName(file.absoluteFilePath());
    // A file the user made read-only is not replaced behind his back, though its folder would allow it.
    if (::access(target.constData(), W_OK) != 0 && errno != ENOENT) {
        *reason = systemReason(errno);
        return false;
    }
    QByteArray temporary
        = QFile::encodeName(file.absolutePath() + QLatin1Char('/') + unfinishedPrefix(file.filePath())) + "XXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        *reason = systemReason(errno);
        return false;
    }
    const auto fail = [&](int error) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temporary.constData());
        *reason = systemReason(error);
        return false;
    };
    // The settings keep the permissions the user gave them; a new file is the user's alone.
    struct stat old;
    if (::stat(target.constData(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0)
        return fail(errno);
    for (qsizetype written = 0; written < data.size();) {
        const ssize_t n = ::write(fd, data.constData() + written, static_cast<size_t>(data.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(n < 0 ? errno : EIO);
        written += n;
    }
    if (::fsync(fd) != 0)
        return fail(errno);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0)
        return fail(errno);
    if (::rename(temporary.constData(), target.constData()) != 0)
        return fail(errno);
    syncFolder(file.absolutePath());
    return true;
}

/// Renames from to to unless to exists.
bool renameNoReplace(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the flag: the name was free an instant ago, and we hold the store's lock.
    struct stat info;
    if (::lstat(target.constData(), &info) == 0) {
        errno = EEXIST;
        return false;
    }
    if (errno != ENOENT)
        return false;
    return ::rename(source.constData(), target.constData()) == 0;
}

/// "Velloran/Quillmark" from the key path: its names after the top one.
QString keyFolder()
{
    QStringList names = QString::fromLatin1(TRegistry::KeyPath).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (!names.isEmpty())
        names.removeFirst();
    return names.join(QLatin1Char('/'));
}

} // namespace

ERegistryException::ERegistryException(const QString& message, const QString& valueName, const QString& filePath,
                                       const QString& reason)
    : std::runtime_error(message.toStdString())
    , FValueName(valueName)
    , FFilePath(filePath)
    , FReason(reason)
{ }

QString ERegistryException::FullText() const
{
    QString text = QString::fromStdString(what());
    if (FFilePath.isEmpty() && FReason.isEmpty())
        return text;
    text += QLatin1Char('\n');
    if (!FFilePath.isEmpty())
        text += FFilePath + (FReason.isEmpty() ? QString() : QStringLiteral(": "));
    return text + FReason;
}

ESetDataError::ESetDataError(const QString& valueName, const QString& filePath, const QString& reason)
    : ERegistryException(QStringLiteral("Failed to set data for '%1'").arg(valueName), valueName, filePath, reason)
{ }

EGetDataError::EGetDataError(const QString& valueName, const QString& filePath, const QString& reason)
    : ERegistryException(QStringLiteral("Failed to get data for '%1'").arg(valueName), valueName, filePath, reason)
{ }

EInvalidDataType::EInvalidDataType(const QString& valueName, const QString& filePath, const QString& reason)
    : ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(valueName), valueName, filePath, reason)
{ }

QString TRegistry::defaultFilePath()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is invalid and must be ignored, like an empty one.
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QLatin1Char('/') + keyFolder() + QStringLiteral("/settings.json");
}

TRegistry::TRegistry(QString filePath)
    : FFilePath(std::move(filePath))
{ }

TRegistry::~TRegistry()
{
    CloseKey();
}

bool TRegistry::OpenKey()
{
    FOpen = true;
    const QString folder = QFileInfo(FFilePath).absolutePath();
    QDir().mkpath(folder);
    FileLock lock(lockPath(FFilePath));
    if (lock.locked())
        removeUnfinishedSaves();
    load();
    return QFileInfo(folder).isDir();
}

void TRegistry::CloseKey()
{
    FOpen = false;
    FValues = SettingsDocument();
}

void TRegistry::removeUnfinishedSaves() const
{
    QDir folder = QFileInfo(FFilePath).absoluteDir();
    for (const QString& name :
         folder.entryList({unfinishedPrefix(FFilePath) + QLatin1Char('*')}, QDir::Files | QDir::Hidden))
        folder.remove(name);
}

bool TRegistry::ValueExists(const QString& name)
{
    return read(name) != nullptr;
}

QString TRegistry::ReadString(const QString& name)
{
    const StoredValue* stored = read(name);
    if (!stored)
        return QString();
    if (!stored->Value.isString())
        throw EInvalidDataType(name, FFilePath,
                               QStringLiteral("it holds %1 where a text belongs").arg(kindOf(stored->Value)));
    QString text = stored->Value.toString();
    const qsizetype end = text.indexOf(QChar(0));
    if (end >= 0)
        text.truncate(end);
    FKnown.insert(name, text);
    return text;
}

qint32 TRegistry::ReadInteger(const QString& name)
{
    const StoredValue* stored = read(name);
    if (!stored)
        throw EGetDataError(name, FFilePath, QStringLiteral("it is not there"));
    if (!stored->Value.isDouble())
        throw EInvalidDataType(name, FFilePath,
                               QStringLiteral("it holds %1 where a whole number belongs").arg(kindOf(stored->Value)));
    const double number = stored->Value.toDouble();
    if (stored->Unrepresentable || number != std::trunc(number) || number < std::numeric_limits<qint32>::min()
        || number > std::numeric_limits<qint32>::max())
        throw EInvalidDataType(name, FFilePath,
                               QStringLiteral("it holds %1, which is not a whole number from %2 to %3")
                                   .arg(QString::fromUtf8(stored->Text))
                                   .arg(std::numeric_limits<qint32>::min())
                                   .arg(std::numeric_limits<qint32>::max()));
    const auto integer = static_cast<qint32>(number);
    FKnown.insert(name, integer);
    return integer;
}

void TRegistry::WriteString(const QString& name, const QString& value)
{
    save([&](SettingsDocument& values) { values.insert(name, value); });
}

void TRegistry::WriteInteger(const QString& name, qint32 value)
{
    save([&](SettingsDocument& values) { values.insert(name, value); });
}

bool TRegistry::DeleteValue(const QString& name, QString* reason)
{
    if (!ValueExists(name))
        return true;
    try {
        save([&](SettingsDocument& values) { values.remove(name); });
        return true;
    } catch (const ESetDataError& error) {
        if (reason)
            *reason = error.Reason();
        return false;
    }
}

QString TRegistry::takeNotice()
{
    return std::exchange(FNotice, QString());
}

TRegistry::Loaded TRegistry::load()
{
    FValues = SettingsDocument();
    // No file, or a link to one not made yet: nothing was stored.
    struct stat info;
    if (::stat(QFile::encodeName(FFilePath).constData(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR))
        return Loaded::Ok;
    QFile file(FFilePath);

    QString problem;
    if (!file.open(QIODevice::ReadOnly)) {
        problem = file.errorString();
    } else {
        const QByteArray data = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            problem = file.errorString();
        } else if (std::optional<SettingsDocument> values = SettingsDocument::fromJson(data, &problem)) {
            FValues = std::move(*values);
        }
    }
    if (problem.isEmpty())
        return Loaded::Ok;
    file.close();
    return keepAside(problem) ? Loaded::Ok : Loaded::Blocked;
}

bool TRegistry::keepAside(const QString& reason)
{
    const QString stem = FFilePath + QStringLiteral(".corrupt-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const QString keptAs = attempt == 1 ? stem : QStringLiteral("%1-%2").arg(stem).arg(attempt);
        if (renameNoReplace(FFilePath, keptAs)) {
            syncFolder(QFileInfo(FFilePath).absolutePath());
            if (!FNotice.isEmpty())
                FNotice += QStringLiteral("\n\n");
            FNotice += QStringLiteral("The settings file \"%1\" could not be read (%2). It was kept as \"%3\", and "
                                      "Quillmark starts with its default settings.")
                           .arg(FFilePath, reason, keptAs);
            return true;
        }
        if (errno != EEXIST && errno != ENOTEMPTY)
            break;
    }
    if (!FToldBlocked) {
        FToldBlocked = true;
        if (!FNotice.isEmpty())
            FNotice += QStringLiteral("\n\n");
        FNotice += QStringLiteral("The settings file \"%1\" could not be read (%2), nor moved aside. It was left "
                                  "untouched, and Quillmark starts with its default settings without saving them.")
                       .arg(FFilePath, reason);
    }
    return false;
}

const StoredValue* TRegistry::read(const QString& name)
{
    if (!FOpen)
        return nullptr;
    // Readers need no lock to see whole files, but one may have to move a broken file aside.
    FileLock lock(lockPath(FFilePath));
    load();
    return FValues.value(name);
}

void TRegistry::failWrite(const QString& name, const QString& reason) const
{
    throw ESetDataError(name, FFilePath, reason);
}

void TRegistry::failEdit(const std::function<void(SettingsDocument& values)>& edit, const QString& reason) const
{
    SettingsDocument none;
    edit(none);
    if (!none.changed().isEmpty())
        failWrite(none.changed().first(), reason);
}

void TRegistry::save(const std::function<void(SettingsDocument& values)>& edit)
{
    if (!FOpen) {
        failEdit(edit, QStringLiteral("the settings are closed"));
        return;
    }
    // The folder may have been removed while the key was open.
    QDir().mkpath(QFileInfo(FFilePath).absolutePath());
    FileLock lock(lockPath(FFilePath));
    if (!lock.locked()) {
        failEdit(edit, lock.problem());
        return;
    }
    if (load() == Loaded::Blocked) {
        failEdit(edit, QStringLiteral("the file could not be read, and it is left untouched"));
        return;
    }

    SettingsDocument values = FValues;
    edit(values);
    if (!values.changed().isEmpty()) {
        QString reason;
        if (!replaceFile(FFilePath, values.toJson(), &reason))
            failWrite(values.changed().first(), reason);
        FValues = values;
    }
    for (const QString& name : values.edited()) {
        const StoredValue* stored = values.value(name);
        FKnown.insert(name, stored ? stored->Value : QJsonValue(QJsonValue::Undefined));
    }
}
