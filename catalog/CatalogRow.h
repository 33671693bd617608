#ifndef QUILLMARK_CATALOG_CATALOGROW_H
#define QUILLMARK_CATALOG_CATALOGROW_H

#include <QByteArray>
#include <QMetaType>
#include <QString>

#include <array>

/// One row of the catalog list: a PO file and what its last check found.
struct CatalogRow
{
    /// Indexes into Texts, in column order.
    static constexpr int TextStatus = 0;
    /// Stays empty: the bar is painted from the counts.
    static constexpr int TextGraph = 1;
    static constexpr int TextTotal = 2;
    static constexpr int TextTranslated = 3;
    static constexpr int TextFuzzy = 4;
    static constexpr int TextUntranslated = 5;

    /// Values of StateIcon.
    static constexpr int IconNone = -1;
    static constexpr int IconComplete = 0;
    /// Translated share strictly above the yellow threshold.
    static constexpr int IconAboveThreshold = 1;
    static constexpr int IconAtOrBelowThreshold = 2;
    static constexpr int IconErrors = 3;

    /// The file name as it is shown and sorted: Name decoded, U+FFFD for each byte that is not UTF-8.
    QString Caption;
    std::array<QString, 6> Texts;
    int StateIcon = IconNone;
    /// The file name, without its folder, as the folder listing gives it: bytes, which need not be UTF-8.
    QByteArray Name;
    /// The whole story behind the status when the status is a short form of it (a command line and the
    /// reason it could not start, msgfmt's full line); empty when the status says it all.
    QString Detail = QString();

    friend bool operator==(const CatalogRow&, const CatalogRow&) = default;
};

Q_DECLARE_METATYPE(CatalogRow)

#endif // QUILLMARK_CATALOG_CATALOGROW_H
