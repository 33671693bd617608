#include "runner/CommandLine.h"

QStringList splitCommandLine(const QString& commandLine)
{
    QStringList words;
    QString word;
    bool inWord = false;
    bool quoted = false;
    const qsizetype n = commandLine.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = commandLine[i];
        if (c == u'\\') {
            qsizetype backslashes = 0;
            while (i < n && commandLine[i] == u'\\') {
                ++backslashes;
                ++i;
            }
            inWord = true;
            if (i < n && commandLine[i] == u'"') {
                word.append(QString(backslashes / 2, u'\\'));
                if (backslashes % 2 == 1)
                    word.append(u'"');
                else
                    quoted = !quoted;
            } else {
                word.append(QString(backslashes, u'\\'));
                --i;
            }
        } else if (c == u'"') {
            inWord = true;
            quoted = !quoted;
        } else if ((c == u' ' || c == u'\t') && !quoted) {
            if (inWord) {
                words.append(word);
                word.clear();
                inWord = false;
            }
        } else {
            inWord = true;
            word.append(c);
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

QString quoteCommandArgument(const QString& argument)
{
    QString quoted(u'"');
    qsizetype backslashes = 0;
    for (const QChar c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        if (c == u'"') {
            quoted.append(QString(2 * backslashes + 1, u'\\'));
        } else {
            quoted.append(QString(backslashes, u'\\'));
        }
        backslashes = 0;
        quoted.append(c);
    }
    // Backslashes before the closing quote would otherwise escape it.
    quoted.append(QString(2 * backslashes, u'\\'));
    quoted.append(u'"');
    return quoted;
}
