#ifndef QUILLMARK_RUNNER_COMMANDLINE_H
#define QUILLMARK_RUNNER_COMMANDLINE_H

#include <QString>
#include <QStringList>

/// Splits one command-line string into the program and its arguments: blanks (space, tab) separate
/// words; double quotes group and are removed; n backslashes before a double quote stand for n/2
/// backslashes, and an odd one left over makes the quote a literal one; other backslashes are literal.
/// The first word is the program.
QStringList splitCommandLine(const QString& commandLine);

/// The inverse of splitCommandLine for one word: double-quoted, with quotes and the backslashes that
/// precede them escaped, so that any text comes back out of splitCommandLine unchanged.
QString quoteCommandArgument(const QString& argument);

#endif // QUILLMARK_RUNNER_COMMANDLINE_H
