#include "catalog/MsgfmtCommand.h"

#include "runner/CommandLine.h"

QString msgfmtCommandLine(const QString& path)
{
    return QStringLiteral("msgfmt %1 -v -c -o /dev/null").arg(quoteCommandArgument(path));
}

EnvironmentChanges msgfmtCatalogEnvironment()
{
    return {{QByteArrayLiteral("LC_ALL"), QByteArrayLiteral("C")}, {QByteArrayLiteral("LANGUAGE"), std::nullopt}};
}
