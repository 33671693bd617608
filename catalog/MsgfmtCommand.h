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

#endif // QUILLMARK_CATALOG_MSGFMTCOMMAND_H
