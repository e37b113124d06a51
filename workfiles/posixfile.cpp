#include "workfiles/posixfile.h"

#ifndef Q_OS_WIN
#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

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
    return QStringLiteral("это не обычный файл");
}
#endif
