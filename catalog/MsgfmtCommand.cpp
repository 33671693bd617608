#include "catalog/MsgfmtCommand.h"

#include "runner/CommandLine.h"

#include <cerrno>
#include <cstring>

QString msgfmtCommandLine(const QString& path)
{
    return QStringLiteral("msgfmt %1 -v -c -o /dev/null").arg(quoteCommandArgument(path));
}

EnvironmentChanges msgfmtCatalogEnvironment()
{
    return {{QByteArrayLiteral("LC_ALL"), QByteArrayLiteral("C")}, {QByteArrayLiteral("LANGUAGE"), std::nullopt}};
}

QString msgfmtStartErrorStatus(int errorNumber)
{
    if (errorNumber == ENOENT || errorNumber == 0)
        return QStringLiteral("msgfmt could not be started; it comes with GNU gettext");
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

QString msgfmtStartErrorDetail(const QString& commandLine, int errorNumber, const QString& message)
{
    if (errorNumber == 0)
        return message;
    const QString reason = errorNumber == ENOENT ? QStringLiteral("no program msgfmt on PATH")
                                                 : QString::fromLocal8Bit(std::strerror(errorNumber));
    return QStringLiteral("Cannot run %1: %2").arg(commandLine, reason);
}
