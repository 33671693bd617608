#include "shell/InvalidPath.h"

EInvalidPath::EInvalidPath(const QString& message)
    : std::runtime_error(message.toStdString())
{ }

EInvalidPath EInvalidPath::settingPath(const QString& path)
{
    return EInvalidPath(QStringLiteral("Error setting path: \"%1\"").arg(path));
}
