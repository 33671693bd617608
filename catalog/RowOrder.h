#ifndef QUILLMARK_CATALOG_ROWORDER_H
#define QUILLMARK_CATALOG_ROWORDER_H

#include <QStringView>

/// The order of the catalog's rows, the same whatever locale the environment has: a "word sort". Hyphens and
/// apostrophes count only to break a final tie; other punctuation and symbols come before digits, digits before
/// letters; letters compare ignoring case first, and then a lower-case letter comes before the same letter in
/// upper case. Characters beyond ASCII come after the ASCII letters, by code point.
/// Returns a negative number, 0 or a positive number as a sorts before, with or after b.
int compareRowCaptions(QStringView a, QStringView b);

#endif // QUILLMARK_CATALOG_ROWORDER_H
