#include "settings/Registry.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>
#include <QStringList>

#include <chrono>
#include <cmath>
#include <limits>
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
        if (m_fd < 0)
            m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0) {
            m_problem = QString::fromLocal8Bit(std::strerror(errno));
            return;
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
    load();
    return QFileInfo(folder).isDir();
}

void TRegistry::CloseKey()
{
    FOpen = false;
    FValues = QJsonObject();
}

bool TRegistry::ValueExists(const QString& name)
{
    return !read(name).isUndefined();
}

QString TRegistry::ReadString(const QString& name)
{
    const QJsonValue value = read(name);
    if (value.isUndefined())
        return QString();
    if (!value.isString())
        throw EInvalidDataType(name, FFilePath, QStringLiteral("it holds %1 where a text belongs").arg(kindOf(value)));
    QString text = value.toString();
    const qsizetype end = text.indexOf(QChar(0));
    if (end >= 0)
        text.truncate(end);
    return text;
}

qint32 TRegistry::ReadInteger(const QString& name)
{
    const QJsonValue value = read(name);
    if (value.isUndefined())
        throw EGetDataError(name, FFilePath, QStringLiteral("it is not there"));
    if (!value.isDouble())
        throw EInvalidDataType(name, FFilePath,
                               QStringLiteral("it holds %1 where a whole number belongs").arg(kindOf(value)));
    const double number = value.toDouble();
    if (number != std::trunc(number) || number < std::numeric_limits<qint32>::min()
        || number > std::numeric_limits<qint32>::max())
        throw EInvalidDataType(name, FFilePath,
                               QStringLiteral("it holds %1, which is not a whole number from %2 to %3")
                                   .arg(number)
                                   .arg(std::numeric_limits<qint32>::min())
                                   .arg(std::numeric_limits<qint32>::max()));
    return static_cast<qint32>(number);
}

void TRegistry::WriteString(const QString& name, const QString& value)
{
    change(name, QJsonValue(value));
}

void TRegistry::WriteInteger(const QString& name, qint32 value)
{
    change(name, QJsonValue(static_cast<qint64>(value)));
}

bool TRegistry::DeleteValue(const QString& name, QString* reason)
{
    if (!ValueExists(name))
        return true;
    try {
        change(name, QJsonValue(QJsonValue::Undefined));
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
    FValues = QJsonObject();
    QFile file(FFilePath);
    if (!file.exists())
        return Loaded::Ok;

    QString problem;
    if (!file.open(QIODevice::ReadOnly)) {
        problem = file.errorString();
    } else {
        const QByteArray data = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            problem = file.errorString();
        } else {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(data, &error);
            if (error.error != QJsonParseError::NoError)
                problem = QStringLiteral("%1 at byte %2").arg(error.errorString()).arg(error.offset);
            else if (!document.isObject())
                problem = QStringLiteral("not a JSON object");
            else
                FValues = document.object();
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

QJsonValue TRegistry::read(const QString& name)
{
    if (!FOpen)
        return QJsonValue(QJsonValue::Undefined);
    // Readers need no lock to see whole files, but one may have to move a broken file aside.
    FileLock lock(lockPath(FFilePath));
    load();
    return FValues.value(name);
}

void TRegistry::failWrite(const QString& name, const QString& reason) const
{
    throw ESetDataError(name, FFilePath, reason);
}

void TRegistry::change(const QString& name, const QJsonValue& value)
{
    if (!FOpen)
        failWrite(name, QStringLiteral("the settings are closed"));
    FileLock lock(lockPath(FFilePath));
    if (!lock.locked())
        failWrite(name, lock.problem());
    if (load() == Loaded::Blocked)
        failWrite(name, QStringLiteral("the file could not be read, and it is left untouched"));
    if (value.isUndefined()) {
        if (!FValues.contains(name))
            return;
        FValues.remove(name);
    } else {
        FValues.insert(name, value);
    }

    // The folder may have been removed while the key was open.
    QDir().mkpath(QFileInfo(FFilePath).absolutePath());
    QSaveFile file(FFilePath);
    if (!file.open(QIODevice::WriteOnly))
        failWrite(name, file.errorString());
    const QByteArray data = QJsonDocument(FValues).toJson(QJsonDocument::Indented);
    if (file.write(data) != data.size() || !file.commit())
        failWrite(name, file.errorString());
    syncFolder(QFileInfo(FFilePath).absolutePath());
}
