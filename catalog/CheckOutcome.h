#ifndef QUILLMARK_CATALOG_CHECKOUTCOME_H
#define QUILLMARK_CATALOG_CHECKOUTCOME_H

#include "runner/CommandRunner.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

struct CatalogRow;

/// Why the entry at path (bytes, links followed) cannot be given to msgfmt, in the system's words ("No such
/// file or directory") or naming what it is ("Is a named pipe, not a file"); empty for a regular file.
QString UncheckableReason(const QByteArray& path);

/// The same for an entry that would leave msgfmt waiting for good (a named pipe, a socket, a device); empty
/// for anything else, which msgfmt itself can speak about.
QString BlockingEntryReason(const QByteArray& path);

/// Makes the row say that its file was not checked: the error icon, the status, the detail (empty when the
/// status says it all) and no counts.
void SetErrorRow(CatalogRow& row, const QString& status, const QString& detail = QString());

/// Applies the end of a catalog check to its row. A msgfmt ended by a signal gives an error row whatever it
/// printed before. Otherwise msgfmt's summary line (ParseStatsLine: its error count, its give-up or its
/// statistics) is evaluated as EvaluateRow does. A check whose remembered line is no summary and
/// whose msgfmt failed did not check the file: an error row whose status is the cause in msgfmt's own words
/// (what follows the last ": " of its remembered line, "Permission denied"), the whole line as its detail.
/// A check with no summary that ended well is an empty catalog.
void EvaluateCheckEnd(CatalogRow& row, QByteArrayView lastLine, const TChildExit& exit, qint32 yellowNum,
                      qint32 yellowDen);

#endif // QUILLMARK_CATALOG_CHECKOUTCOME_H
