#include "catalog/CheckOutcome.h"

#include "catalog/CatalogRow.h"
#include "catalog/MsgfmtStats.h"

#include <cerrno>
#include <cstring>
#include <optional>

#include <sys/stat.h>

namespace {

QString signalName(int signal)
{
    const char* abbreviation = ::sigabbrev_np(signal);
    return abbreviation ? QStringLiteral("SIG") + QString::fromLatin1(abbreviation) : QString::number(signal);
}

/// What an entry that is not a regular file is, for the row or page that says why msgfmt was not given it.
QString reasonOfMode(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("Is a directory");
    if (S_ISFIFO(mode))
        return QStringLiteral("Is a named pipe, not a file");
    if (S_ISSOCK(mode))
        return QStringLiteral("Is a socket, not a file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("Is a device, not a file");
    return QStringLiteral("Is not a regular file");
}

} // namespace

QString UncheckableReason(const QByteArray& path)
{
    struct stat info
    {
    };
    if (::stat(path.constData(), &info) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return S_ISREG(info.st_mode) ? QString() : reasonOfMode(info.st_mode);
}

QString BlockingEntryReason(const QByteArray& path)
{
    struct stat info
    {
    };
    if (::stat(path.constData(), &info) != 0 || S_ISREG(info.st_mode) || S_ISDIR(info.st_mode))
        return {};
    return reasonOfMode(info.st_mode);
}

void SetErrorRow(CatalogRow& row, const QString& status, const QString& detail)
{
    row.Texts = {};
    row.Texts[CatalogRow::TextStatus] = status;
    row.StateIcon = CatalogRow::IconErrors;
    row.Detail = detail;
}

void EvaluateCheckEnd(CatalogRow& row, QByteArrayView lastLine, const TChildExit& exit, qint32 yellowNum,
                      qint32 yellowDen)
{
    const QString line = QString::fromUtf8(lastLine);
    // A run that a signal ended did not finish, so not even a whole statistics line it printed is a verdict
    // on the file.
    if (exit.How == TChildExit::Kind::Signalled) {
        const QString detail = QStringLiteral("msgfmt was ended by signal %1 (%2) before it had checked the file")
                                   .arg(exit.Signal)
                                   .arg(QString::fromLocal8Bit(::strsignal(exit.Signal)));
        SetErrorRow(row, QStringLiteral("msgfmt ended by %1").arg(signalName(exit.Signal)),
                    line.isEmpty() ? detail : detail + QStringLiteral("; its last line: ") + line);
        return;
    }
    if (const std::optional<TMsgfmtStats> stats = ParseStatsLine(lastLine)) {
        row.Detail.clear();
        EvaluateRow(row, *stats, yellowNum, yellowDen);
        return;
    }
    if (exit.How == TChildExit::Kind::Exited && exit.Code != 0) {
        if (line.isEmpty()) {
            SetErrorRow(row, QStringLiteral("msgfmt failed with exit status %1").arg(exit.Code));
            return;
        }
        const qsizetype colon = line.lastIndexOf(QLatin1String(": "));
        const QString cause = colon >= 0 ? line.mid(colon + 2) : line;
        SetErrorRow(row, cause.isEmpty() ? line : cause, cause == line ? QString() : line);
        return;
    }
    row.Detail.clear();
    EvaluateRow(row, TMsgfmtStats{}, yellowNum, yellowDen);
}
