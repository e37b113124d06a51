#include "workfiles/applog.h"

#include "workfiles/posixfile.h"
#include "workfiles/winfile.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#ifndef Q_OS_WIN
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

AppLog app_log;

namespace {

const char logFolder[] = "LOGS_ZEVR_3G_Config";

// The C locale keeps the digits ASCII whatever the system's locale would render.
QString formatTime(const QDateTime &time, const char *pattern) {
    return QLocale::c().toString(time, QLatin1String(pattern));
}

#ifndef Q_OS_WIN
// Why `name` in the folder `dir` could not be opened as what it should be: the program's own reason when something
// else stands there, the system's otherwise.
FileResult openFailure(const QString &path, int dir, const char *name, int error, bool folder) {
    struct stat status {};
    if (::fstatat(dir, name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
        if (folder && S_ISLNK(status.st_mode) && ::fstatat(dir, name, &status, 0) != 0)
            return FileResult::failure(path, QStringLiteral("это символическая ссылка на папку, которой нет"));
        if (folder && !S_ISDIR(status.st_mode))
            return FileResult::failure(path, QStringLiteral("это не папка"));
        if (!folder && !S_ISREG(status.st_mode))
            return FileResult::failure(path, PosixFile::typeRefusal(status.st_mode));
    }
    return FileResult::systemError(path, error);
}
#endif

} // namespace

AppLog::AppLog(QObject *parent, Clock clock) : QObject(parent), m_clock(std::move(clock)) {
    const QString folder = QLatin1String(logFolder);
    QDir().mkdir(folder);
    log_file.setFileName(folder + QLatin1String("/log_") + formatTime(now(), "ddMMyyyy_mm") + QLatin1String(".log"));
}

QString AppLog::fileName() const { return log_file.fileName(); }

// The file is open only for the one line, so every line is on disk when the slot returns and other programs
// can read the log meanwhile. A line that cannot be written is dropped; the next one tries again.
void AppLog::slot_write_to_log_file(QString text) {
    const QString line =
        formatTime(now(), "dd.MM.yyyy hh:mm:ss") + QLatin1String(":    ") + text + QLatin1String("\r\n");
    const FileResult written = appendLine(line.toLocal8Bit());
    if (written.ok() != m_stopped)
        return;
    m_stopped = !written.ok();
    const QString notice = QStringLiteral("Журнал не записывается");
    if (m_stopped)
        emit signal_notice(notice, written.details());
    else
        emit signal_notice_withdrawn(notice);
}

#ifndef Q_OS_WIN
// Anyone who can write the working folder may plant links at the log's predictable names. The file is opened
// through the folder's descriptor without following a link, so a link in the file's place is refused, never
// written through. The folder itself may be a link: administrators point the logs at another disk so, and
// whoever could plant it could as well have made a folder of their own there. The owner is not checked: a log
// that colleagues share stays writable.
FileResult AppLog::appendLine(const QByteArray &line) const {
    const QString path = log_file.fileName();
    const QByteArray folder = QFile::encodeName(QFileInfo(path).path());
    const QByteArray name = QFile::encodeName(QFileInfo(path).fileName());
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return openFailure(QFileInfo(path).path(), AT_FDCWD, folder.constData(), errno, true);
    // Non-blocking, so that a FIFO planted there fails at once instead of waiting for a reader.
    const int fd = ::openat(dir, name.constData(),
                            O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    const FileResult result =
        fd < 0 ? openFailure(path, dir, name.constData(), errno, false) : PosixFile::appendWhole(path, fd, line);
    if (fd >= 0)
        ::close(fd);
    ::close(dir);
    return result;
}
#else
// The folder may be a junction an administrator made to put the logs on another disk; the file itself is never
// written through a link.
FileResult AppLog::appendLine(const QByteArray &line) const {
    const QString path = log_file.fileName();
    const QFileInfo folder(QFileInfo(path).path());
    if (folder.exists() && !folder.isDir())
        return FileResult::failure(folder.filePath(), QStringLiteral("это не папка"));
    return WinFile::appendWhole(path, line);
}
#endif

QDateTime AppLog::now() const { return m_clock ? m_clock() : QDateTime::currentDateTime(); }
