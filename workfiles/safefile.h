#ifndef SAFEFILE_H
#define SAFEFILE_H

#include "workfiles/fileresult.h"

#include <QByteArray>
#include <QString>

// The files that an operator names, written the way the program writes its own work files: profiles and the
// command-line sender's record. Nothing is written through a symbolic link or over anything but a regular file,
// nothing waits on a FIFO or a device, and every failure says why.
namespace SafeFile {

// Reads a regular file, at most `maxSize` + 1 bytes of it, so that the caller can tell a file that is too large.
// A FIFO, a device or a folder is refused before it is opened, since opening it could wait or act on a device.
FileResult readRegular(const QString &path, qint64 maxSize, QByteArray *content);

// The file holds `content` whole afterwards, or stays as it was (see PosixFile::replaceWhole).
FileResult replace(const QString &path, const QByteArray &content);

// Whether lines can be appended to `path`; creates an empty file when there is none. Refuses a link, a FIFO, a
// device, a folder, without waiting for any of them.
FileResult checkAppendable(const QString &path);

// Appends one line whole, on disk when this returns, or nothing of it (a short write is cut back).
FileResult appendLine(const QString &path, const QByteArray &line);

} // namespace SafeFile

#endif // SAFEFILE_H
