#ifndef CONSOLETEXT_H
#define CONSOLETEXT_H

#include <QString>

#include <cstdio>

// Text for the sender's standard output and error streams. On Linux in the locale's encoding; on Windows, a console
// is written in UTF-16 (WriteConsoleW), so that Russian reads right whatever code page the console has (866 on a
// Russian Windows, which no Cyrillic ANSI text matches), and a file or pipe gets UTF-8, the encoding of JSON and of
// the record.
namespace ConsoleText {
void write(std::FILE *stream, const QString &text);
} // namespace ConsoleText

#endif // CONSOLETEXT_H
