#ifndef QUILLMARK_RUNNER_LOCALPATH_H
#define QUILLMARK_RUNNER_LOCALPATH_H

#include <QByteArray>
#include <QString>

/// File names on this system are bytes, not text: an archive from another locale brings names that are not
/// UTF-8. A path read from the system goes through decodeLocalPath, and one handed back to it through
/// encodeLocalPath, so that any name comes back byte for byte. Valid UTF-8 is decoded as text, a byte-order
/// mark as U+FEFF wherever it stands (the start too); each byte outside it is kept as the lone low surrogate
/// U+DC80 to U+DCFF, which no valid UTF-8 gives.
QString decodeLocalPath(const QByteArray& bytes);
QByteArray encodeLocalPath(const QString& text);

/// A path from decodeLocalPath as it is shown: each kept byte becomes U+FFFD, the replacement character.
QString displayLocalPath(const QString& text);

#endif // QUILLMARK_RUNNER_LOCALPATH_H
