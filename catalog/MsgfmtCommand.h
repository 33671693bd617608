#ifndef QUILLMARK_CATALOG_MSGFMTCOMMAND_H
#define QUILLMARK_CATALOG_MSGFMTCOMMAND_H

#include "runner/CommandRunner.h"

#include <QString>

/// The runner's command line that checks one PO file: msgfmt (found on PATH) printing its statistics (-v) and
/// its errors (-c), the compiled catalog thrown away. The path reaches msgfmt as one argument, whatever it holds.
QString msgfmtCommandLine(const QString& path);

/// The environment changes for the catalog's checks, whose last line is read by its English words: the C
/// locale, and no LANGUAGE, which gettext would otherwise prefer to any locale but C.
EnvironmentChanges msgfmtCatalogEnvironment();

/// The status of a check whose msgfmt could not be started (errorNumber as TRunnerThread::StartErrorNumber gives
/// it): for a program not found, names it and where it comes from; otherwise the system's reason, as msgfmt words
/// its own ("Too many open files").
QString msgfmtStartErrorStatus(int errorNumber);

/// The whole start error of a check: the command line and why it could not start (errorNumber, as
/// TRunnerThread::StartErrorNumber gives it). message is the runner's start error, used when no error
/// number is known.
QString msgfmtStartErrorDetail(const QString& commandLine, int errorNumber, const QString& message);

#endif // QUILLMARK_CATALOG_MSGFMTCOMMAND_H
