#ifndef QUILLMARK_CATALOG_TEXTSINK_H
#define QUILLMARK_CATALOG_TEXTSINK_H

#include <QString>

/// Where the single-file check writes: the window's memo, or a test's list of lines. UI thread only.
class TextSink
{
public:
    virtual ~TextSink() = default;
    virtual void Clear() = 0;
    virtual void AddLine(const QString& line) = 0;
    /// The last line becomes line: a beginning of a line shown earlier gives way to its whole line.
    virtual void ReplaceLastLine(const QString& line) = 0;
};

#endif // QUILLMARK_CATALOG_TEXTSINK_H
