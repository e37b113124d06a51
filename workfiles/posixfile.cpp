#include "workfiles/posixfile.h"

#ifndef Q_OS_WIN
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Another program may append to the same file (runs started in the same minute of different hours share a log, two
// senders one record), and the cut-back after a short write needs the file to itself. A writer holds the lock for one
// write; whoever holds it longer costs a line, never the caller's time.
bool lockBriefly(int fd) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        ::usleep(1000);
    }
    return false;
}

} // namespace

bool PosixFile::writeAll(int fd, const QByteArray &bytes) {
    for (qint64 done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

QString PosixFile::typeRefusal(unsigned mode) {
    if (S_ISLNK(mode))
        return QStringLiteral("это символическая ссылка, программа не пишет через ссылки");
    if (S_ISDIR(mode))
        return QStringLiteral("это папка, а не файл");
    if (S_ISFIFO(mode))
        return QStringLiteral("это не обычный файл, а канал (FIFO)");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("это не обычный файл, а устройство");
    if (S_ISSOCK(mode))
        return QStringLiteral("это не обычный файл, а сокет");
    return QStringLiteral("это не обычный файл");
}

FileResult PosixFile::replaceWhole(const QString &path, const QByteArray &content) {
    const QByteArray name = QFile::encodeName(path);
    struct stat old {};
    const bool exists = ::lstat(name.constData(), &old) == 0;
    if (!exists && errno != ENOENT)
        return FileResult::systemError(path, errno);
    if (exists && !S_ISREG(old.st_mode))
        return FileResult::failure(path, typeRefusal(old.st_mode));
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
    const bool written = writeAll(fd, content) && ::fsync(fd) == 0;
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    const int closeError = errno;
    if (written && closed && ::rename(temporary.constData(), name.constData()) == 0)
        return FileResult::success(path);
    const int error = !written ? writeError : !closed ? closeError : errno;
    ::unlink(temporary.constData());
    return FileResult::systemError(path, error);
}

FileResult PosixFile::appendWhole(const QString &path, int fd, const QByteArray &line, bool sync) {
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return FileResult::systemError(path, errno);
    if (!S_ISREG(status.st_mode))
        return FileResult::failure(path, typeRefusal(status.st_mode));
    if (!lockBriefly(fd))
        return FileResult::failure(path, QStringLiteral("файл занят другой программой"));
    if (::fstat(fd, &status) != 0)
        return FileResult::systemError(path, errno);
    if (writeAll(fd, line) && (!sync || ::fdatasync(fd) == 0))
        return FileResult::success(path);
    const int error = errno;
    (void)::ftruncate(fd, status.st_size);
    return FileResult::systemError(path, error);
}

// The type is looked at before the open, since opening a device may already act on it (a serial port's open raises
// its control lines); the open itself follows no link and does not wait, in case the name changed in between.
int PosixFile::openForAppend(const QString &path, FileResult *refusal) {
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    status.st_mode = S_IFREG;
    if (::lstat(name.constData(), &status) == 0 && !S_ISREG(status.st_mode)) {
        *refusal = FileResult::failure(path, typeRefusal(status.st_mode));
        return -1;
    }
    const int fd =
        ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        *refusal = ::lstat(name.constData(), &status) == 0 && !S_ISREG(status.st_mode)
                       ? FileResult::failure(path, typeRefusal(status.st_mode))
                       : FileResult::systemError(path, error);
        return -1;
    }
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        *refusal = S_ISREG(status.st_mode) ? FileResult::systemError(path, errno)
                                           : FileResult::failure(path, typeRefusal(status.st_mode));
        ::close(fd);
        return -1;
    }
    return fd;
}
#endif
