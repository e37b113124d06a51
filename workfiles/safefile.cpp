#include "workfiles/safefile.h"

#include "workfiles/posixfile.h"
#include "workfiles/winfile.h"

#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifndef Q_OS_WIN
FileResult SafeFile::readRegular(const QString &path, qint64 maxSize, QByteArray *content) {
    content->clear();
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    // A link is read through: only writing refuses it.
    if (::stat(name.constData(), &status) != 0)
        return errno == ENOENT ? FileResult::failure(path, QStringLiteral("файла нет"))
                               : FileResult::systemError(path, errno);
    if (!S_ISREG(status.st_mode))
        return FileResult::failure(path, PosixFile::typeRefusal(status.st_mode));
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return FileResult::systemError(path, errno);
    FileResult result = FileResult::success(path);
    if (::fstat(fd, &status) != 0) {
        result = FileResult::systemError(path, errno);
    } else if (!S_ISREG(status.st_mode)) {
        result = FileResult::failure(path, PosixFile::typeRefusal(status.st_mode));
    } else {
        // As much as the file holds, and one byte more to tell a file that has grown past the limit.
        QByteArray buffer(int(qMin<qint64>(maxSize, qint64(status.st_size)) + 1), Qt::Uninitialized);
        qint64 done = 0;
        const qint64 most = maxSize + 1;
        while (done < buffer.size()) {
            const ssize_t n = ::read(fd, buffer.data() + done, size_t(buffer.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                result = FileResult::systemError(path, errno);
                break;
            }
            if (n == 0)
                break;
            done += n;
            // A file that grew since, or one that tells no size (as under /proc), is read on up to the limit.
            if (done == buffer.size() && done < most)
                buffer.resize(int(qMin(most, 2 * done)));
        }
        buffer.truncate(int(done));
        if (result.ok())
            *content = buffer;
    }
    ::close(fd);
    return result;
}

FileResult SafeFile::replace(const QString &path, const QByteArray &content) {
    return PosixFile::replaceWhole(path, content);
}

FileResult SafeFile::checkAppendable(const QString &path) {
    FileResult refusal;
    const int fd = PosixFile::openForAppend(path, &refusal);
    if (fd < 0)
        return refusal;
    ::close(fd);
    return FileResult::success(path);
}

FileResult SafeFile::appendLine(const QString &path, const QByteArray &line) {
    FileResult refusal;
    const int fd = PosixFile::openForAppend(path, &refusal);
    if (fd < 0)
        return refusal;
    const FileResult result = PosixFile::appendWhole(path, fd, line, true);
    ::close(fd);
    return result;
}
#else
namespace {

FileResult notRegular(const QString &path) {
    const QFileInfo info(path);
    if (info.isDir())
        return FileResult::failure(path, QStringLiteral("это папка, а не файл"));
    if (info.exists() && !info.isFile())
        return FileResult::failure(path, QStringLiteral("это не обычный файл"));
    return FileResult::success(path);
}

} // namespace

FileResult SafeFile::readRegular(const QString &path, qint64 maxSize, QByteArray *content) {
    content->clear();
    if (!QFileInfo::exists(path))
        return FileResult::failure(path, QStringLiteral("файла нет"));
    const FileResult type = notRegular(path);
    if (!type.ok())
        return type;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FileResult::failure(path, file.errorString());
    *content = file.read(maxSize + 1);
    return FileResult::success(path);
}

FileResult SafeFile::replace(const QString &path, const QByteArray &content) { return WinFile::replace(path, content); }

FileResult SafeFile::checkAppendable(const QString &path) { return WinFile::appendWhole(path, QByteArray()); }

FileResult SafeFile::appendLine(const QString &path, const QByteArray &line) {
    return WinFile::appendWhole(path, line);
}
#endif
