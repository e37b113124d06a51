#ifndef WINFILE_H
#define WINFILE_H

#include "workfiles/fileresult.h"

#include <QByteArray>
#include <QString>

#ifdef Q_OS_WIN
// The Windows side of writing the work files: the same promises as on Linux (a regular file only, never through
// a link or junction, whole or not at all, a failure told in Russian).
namespace WinFile {

// Puts `content` in place of the file at `path` by writing a file of its own beside it and moving that over the
// old one once it is on disk. A read-only file is left as it is.
FileResult replace(const QString &path, const QByteArray &content);

// Appends `line` whole or not at all: what a full disk let through is cut off again.
FileResult appendWhole(const QString &path, const QByteArray &line);

// Why a file operation failed, for an error code of GetLastError().
QString errorText(unsigned long error);

} // namespace WinFile
#endif

#endif // WINFILE_H
