#include "workfiles/wholefile.h"

#include "workfiles/posixfile.h"
#include "workfiles/winfile.h"

#include <QFile>

#ifndef Q_OS_WIN
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifndef Q_OS_WIN
namespace {

// A file of the program's own beside the old one, so that the rename below replaces the name, never what a link
// there points to.
int createTemporary(const QByteArray &name, QByteArray *temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temporary = name + ".tmp" + QByteArray::number(qint64(::getpid())) + '-' + QByteArray::number(attempt);
        const int fd = ::open(temporary->constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

// The new content is put in place by a rename once it is wholly on disk: an interrupted or failed write leaves
// the old file as it was.
FileResult replaceWholeFile(const QString &path, const QByteArray &content) {
    const QByteArray name = QFile::encodeName(path);
    struct stat old {};
    const bool exists = ::lstat(name.constData(), &old) == 0;
    if (!exists && errno != ENOENT)
        return FileResult::systemError(path, errno);
    if (exists && !S_ISREG(old.st_mode))
        return FileResult::failure(path, PosixFile::typeRefusal(old.st_mode));
    if (exists) {
        // A file the operator has made read-only stays as it is, although the rename could replace it.
        const int fd = ::open(name.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return FileResult::systemError(path, errno);
        ::close(fd);
    }
    QByteArray temporary;
    const int fd = createTemporary(name, &temporary);
    if (fd < 0)
        return FileResult::systemError(path, errno);
    if (exists) {
        // The rewritten file keeps its owner and mode; a failure here changes nothing that matters.
        (void)::fchown(fd, old.st_uid, old.st_gid);
        (void)::fchmod(fd, old.st_mode & 07777);
    }
    const bool written = PosixFile::writeAll(fd, content) && ::fsync(fd) == 0;
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    const int closeError = errno;
    if (written && closed && ::rename(temporary.constData(), name.constData()) == 0)
        return FileResult::success(path);
    const int error = !written ? writeError : !closed ? closeError : errno;
    ::unlink(temporary.constData());
    return FileResult::systemError(path, error);
}
#else
FileResult replaceWholeFile(const QString &path, const QByteArray &content) { return WinFile::replace(path, content); }
#endif
