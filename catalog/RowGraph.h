#ifndef QUILLMARK_CATALOG_ROWGRAPH_H
#define QUILLMARK_CATALOG_ROWGRAPH_H

#include "catalog/CatalogRow.h"

#include <QString>

/// The whole text as a signed decimal 32-bit integer; 0 for an empty text, anything else, or a number beyond
/// 32 bits.
int textToInt(const QString& text);

/// The Graph column of a row, in whole units (pixels in the list, characters in a report) of a given width.
struct RowGraph
{
    enum class Kind
    {
        /// Nothing drawn: a row not checked yet, an "Empty file", or a status that is no count.
        None,
        /// One error bar over the whole width: the status names an error.
        Error,
        /// Three segments that together fill the width.
        Counts,
    };
    Kind BarKind = Kind::None;
    int Translated = 0;
    int Fuzzy = 0;
    int Untranslated = 0;

    friend bool operator==(const RowGraph&, const RowGraph&) = default;
};

/// The bar of a row at the given width: a status containing "error" gives the error bar; otherwise the counts
/// are read from the row's Translated, Fuzzy and Untranslated texts (textToInt), the translated and fuzzy
/// segments are their shares of the width rounded to the nearest integer, halves to even, and the untranslated
/// segment is what remains, so the bar always ends at the column's right edge.
RowGraph rowGraph(const CatalogRow& row, int width);

#endif // QUILLMARK_CATALOG_ROWGRAPH_H
