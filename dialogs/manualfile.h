#ifndef MANUALFILE_H
#define MANUALFILE_H

#include <QString>
#include <QStringList>

// The user manual's file name.
QString manualFileName();

// The folders where the manual may lie for a program in appDir, in the order they are tried: the installed
// data folder (on Linux <prefix>/share/zevr-3g-config beside <prefix>/bin), then the program's own folder
// (Windows, and the build tree).
QStringList manualFolders(const QString &appDir);

// The manual's path in the first of those folders that holds it; empty when none does.
QString findManual(const QString &appDir);

#endif // MANUALFILE_H
