#ifndef QUILLMARK_CATALOG_CATALOGTOTALS_H
#define QUILLMARK_CATALOG_CATALOGTOTALS_H

#include "catalog/CatalogRow.h"

#include <QList>
#include <QString>
#include <QtGlobal>

/// The sums over a set of rows: every file, the files whose check gave an error, and the messages of the files
/// that compiled.
struct CatalogTotals
{
    int Files = 0;
    int Errors = 0;
    /// Files not checked yet (no result).
    int Unchecked = 0;
    qint64 Translated = 0;
    qint64 Fuzzy = 0;
    qint64 Untranslated = 0;

    qint64 Messages() const { return Translated + Fuzzy + Untranslated; }
    /// The translated share in percent, one decimal, rounded down so that 99.95% never reads 100.0%; empty
    /// when no message was counted.
    QString TranslatedShare() const;
    /// "12 files, 1 with errors: 1234 translated, 5 fuzzy, 60 untranslated (94.9% translated)".
    QString Text() const;
    void add(const CatalogRow& row);

    friend bool operator==(const CatalogTotals&, const CatalogTotals&) = default;
};

/// The totals of a group of files: those that belong to one domain folder or one message domain.
struct CatalogGroupTotals
{
    /// "po/", "help/", "./" for the read folder itself, or a domain's files as a pattern,
    /// "locale/*/LC_MESSAGES/django.po".
    QString Group;
    CatalogTotals Totals;
};

CatalogTotals catalogTotals(const QList<CatalogRow>& rows);

/// The group a file belongs to, by its path relative to the read folder. Files in an LC_MESSAGES folder are
/// grouped by domain (their name) across languages; a file named after its language in a folder of that name
/// (help/de/de.po) belongs to the folder above; any other file to the folder that holds it. A language name is
/// one of two or three small letters, with a territory, script or variant after "_", "-" or "@".
QString catalogGroup(const QString& relativePath);

/// The totals per group, groups in the order of their first rows; an error row for a folder that could not be
/// read (its path ends in "/") belongs to the group of that folder.
QList<CatalogGroupTotals> catalogGroupTotals(const QList<CatalogRow>& rows);

#endif // QUILLMARK_CATALOG_CATALOGTOTALS_H
