#ifndef POSIXFILE_H
#define POSIXFILE_H

#include <QByteArray>
#include <QString>

#ifndef Q_OS_WIN
// Writing files where others may plant names: the settings file and the log. POSIX only; MinGW has no O_NOFOLLOW.
namespace PosixFile {

// Writes all of `bytes`, taking up short writes; false with errno set when the rest cannot be written.
bool writeAll(int fd, const QByteArray &bytes);

// Why the program will not write to a file of this type (st_mode): it writes to regular files only, and never
// through a symbolic link.
QString typeRefusal(unsigned mode);

} // namespace PosixFile
#endif

#endif // POSIXFILE_H
