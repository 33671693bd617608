#ifndef QUILLMARK_SHELL_INVALIDPATH_H
#define QUILLMARK_SHELL_INVALIDPATH_H

#include <QString>

#include <stdexcept>

/// A path or special-folder name that names no item here. Raised by the shell components' setters, which
/// leave their state as it was; the application's general error handling shows the message.
class EInvalidPath : public std::runtime_error
{
public:
    explicit EInvalidPath(const QString& message);

    /// The error for a root that cannot be resolved: Error setting path: "<path>".
    static EInvalidPath settingPath(const QString& path);

    QString message() const { return QString::fromUtf8(what()); }
};

#endif // QUILLMARK_SHELL_INVALIDPATH_H
