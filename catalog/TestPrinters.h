#ifndef QUILLMARK_CATALOG_TESTPRINTERS_H
#define QUILLMARK_CATALOG_TESTPRINTERS_H

#include "catalog/CatalogRow.h"
#include "catalog/MsgfmtStats.h"

#include <QByteArray>
#include <QString>

#include <ostream>

// GoogleTest printers, so that a failed comparison shows texts instead of bytes.

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '"' << bytes.toStdString() << '"';
}

inline void PrintTo(const CatalogRow& row, std::ostream* os)
{
    *os << row.Caption.toStdString();
    for (const QString& text : row.Texts)
        *os << " | " << text.toStdString();
    *os << " | icon " << row.StateIcon;
}

inline void PrintTo(const TMsgfmtStats& stats, std::ostream* os)
{
    *os << "{Translated " << stats.Translated << ", Fuzzy " << stats.Fuzzy << ", Untranslated " << stats.Untranslated
        << ", Failed " << stats.Failed << ", ErrorCount " << stats.ErrorCount << '}';
}

inline void PrintTo(const YellowThreshold& ratio, std::ostream* os)
{
    *os << ratio.Num << '/' << ratio.Den;
}

#endif // QUILLMARK_CATALOG_TESTPRINTERS_H
