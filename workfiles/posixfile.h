#ifndef POSIXFILE_H
#define POSIXFILE_H

#include "workfiles/fileresult.h"

#include <QByteArray>
#include <QString>

#ifndef Q_OS_WIN
// Writing files where others may plant names, or that an operator names: the settings file, the log, profiles and
// the sender's record. POSIX only; MinGW has no O_NOFOLLOW.
namespace PosixFile {

// Writes all of `bytes`, taking up short writes; false with errno set when the rest cannot be written.
bool writeAll(int fd, const QByteArray &bytes);

// Why the program will not write to a file of this type (st_mode): it writes to regular files only, and never
// through a symbolic link.
QString typeRefusal(unsigned mode);

// Replaces the regular file at `path` (or creates it) with `content`, put in place by a rename once it is wholly on
// disk: a failed or interrupted write leaves the old file as it was. The name is replaced, never what a link there
// points to: a link, a folder, a FIFO or a device at `path` is refused and stays, and so does a file that may not be
// written. The rewritten file keeps its owner and mode.
FileResult replaceWhole(const QString &path, const QByteArray &content);

// Appends `line` to the regular file open as `fd` whole or not at all: what a full disk let through of it is cut off
// again, so that the next line does not start in the middle of this one. Another program appending to the same file
// is kept out by a brief lock; `sync` puts the line on disk before it counts as written.
FileResult appendWhole(const QString &path, int fd, const QByteArray &line, bool sync = false);

// Opens `path` for appending lines, creating it if needed, without following a link at its last name and without
// waiting: anything but a regular file is refused before it is opened. Returns the descriptor, or -1 and why.
int openForAppend(const QString &path, FileResult *refusal);

} // namespace PosixFile
#endif

#endif // POSIXFILE_H
