#include "serial/portdiagnosis.h"

#include "workfiles/systemreason.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QVector>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using Cause = OpenFailureFacts::Cause;

// The port as the system names it in its own messages: a Windows port is "COM9", never a path.
QString devicePath(const QString &name) {
#ifdef Q_OS_WIN
    return name;
#else
    return name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
#endif
}

#ifdef Q_OS_UNIX
const char *const lockFolders[] = {"/var/lock", "/etc/locks", "/var/spool/locks",  "/var/spool/uucp",
                                   "/tmp",      "/var/tmp",   "/var/lock/lockdev", "/run/lock"};

QString processName(qint64 pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readLine()).trimmed() : QString();
}

// A lock file names its holder on its first line; QSerialPort has already removed it if that process is gone.
void findLockHolder(const QString &device, OpenFailureFacts *facts) {
    QString name = device.mid(device.lastIndexOf(QLatin1String("/dev/")) == 0 ? 5 : 0);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const QString &folder : serialLockFolders()) {
        QFile lock(folder + QStringLiteral("/LCK..") + name);
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        facts->lockFile = lock.fileName();
        facts->holderPid = QString::fromLatin1(lock.readLine()).trimmed().toLongLong();
        facts->holderName = facts->holderPid > 0 ? processName(facts->holderPid) : QString();
        return;
    }
}

// A program that holds the device open without a lock file (an exclusive open) is found among the processes'
// open files; only the user's own processes can be seen unless the program runs as root.
void findOpener(const QString &device, OpenFailureFacts *facts) {
    const QString target = QFileInfo(device).canonicalFilePath();
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    for (const QString &pid : pids) {
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() == target && pid.toLongLong() != QCoreApplication::applicationPid()) {
                facts->holderPid = pid.toLongLong();
                facts->holderName = processName(facts->holderPid);
                return;
            }
        }
    }
}

// Whether the user is listed in the group although this session does not carry it yet.
bool listedInGroup(const group *entry) {
    const passwd *user = getpwuid(getuid());
    if (!user || !entry)
        return false;
    QList<QByteArray> members;
    for (char **member = entry->gr_mem; member && *member; ++member)
        members << QByteArray(*member);
    return userListedInGroup(user->pw_name, user->pw_gid, entry->gr_gid, members);
}

// A session that carries the device's group is refused for the device's own mode: neither joining the group nor
// logging in again would help, so no group is named.
bool sessionHasGroup(gid_t group) {
    QVector<gid_t> groups(qMax(0, getgroups(0, nullptr)));
    return getegid() == group || (getgroups(groups.size(), groups.data()) >= 0 && groups.contains(group));
}

void diagnosePermission(OpenFailureFacts *facts) {
    const QByteArray path = QFile::encodeName(facts->device);
    if (::access(path.constData(), R_OK | W_OK) == 0) {
        // Allowed, yet refused: another program has it open exclusively.
        facts->cause = Cause::Busy;
        findOpener(facts->device, facts);
        return;
    }
    facts->cause = Cause::NoPermission;
    struct stat info {};
    if (::stat(path.constData(), &info) == 0 && !sessionHasGroup(info.st_gid)) {
        const group *entry = getgrgid(info.st_gid);
        facts->group = entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(info.st_gid);
        facts->groupListed = listedInGroup(entry);
    }
}
#endif

} // namespace

#ifdef Q_OS_UNIX
QStringList serialLockFolders() {
    QStringList folders;
    for (const char *folder : lockFolders)
        folders << QLatin1String(folder);
    // The library's last resort, $TMPDIR or /tmp.
    return folders << QStandardPaths::writableLocation(QStandardPaths::TempLocation);
}
#endif

bool userListedInGroup(const QByteArray &user, unsigned userGroup, unsigned group, const QList<QByteArray> &members) {
    return userGroup == group || members.contains(user);
}

OpenFailureFacts gatherOpenFailureFacts(const QString &name, QSerialPort::SerialPortError error,
                                        const QString &systemText) {
    OpenFailureFacts facts;
    facts.device = devicePath(name);
    facts.systemText = systemText;
#ifdef Q_OS_UNIX
    if (error == QSerialPort::DeviceNotFoundError || (!name.isEmpty() && !QFileInfo::exists(facts.device))) {
        facts.cause = Cause::Missing;
    } else if (error == QSerialPort::OpenError) {
        facts.cause = Cause::AlreadyOpen;
    } else if (error == QSerialPort::PermissionError && systemText.contains(QLatin1String("locking"))) {
        facts.cause = Cause::LockHeld;
        findLockHolder(facts.device, &facts);
    } else if (error == QSerialPort::PermissionError && systemText.contains(QLatin1String("lock file"))) {
        facts.cause = Cause::LockFolder;
    } else if (error == QSerialPort::PermissionError) {
        diagnosePermission(&facts);
    }
#else
    if (error == QSerialPort::DeviceNotFoundError)
        facts.cause = Cause::Missing;
    else if (error == QSerialPort::OpenError)
        facts.cause = Cause::AlreadyOpen;
    else if (error == QSerialPort::PermissionError)
        facts.cause = Cause::Busy; // Windows refuses a port that another program has open with "access denied"
#endif
    if (name.isEmpty())
        facts.cause = Cause::Missing;
    return facts;
}

QString describeOpenFailure(const OpenFailureFacts &facts) {
    const QString holder = facts.holderPid > 0
                               ? QStringLiteral(" (%1, PID %2)")
                                     .arg(facts.holderName.isEmpty() ? QStringLiteral("программа") : facts.holderName)
                                     .arg(facts.holderPid)
                               : QString();
    switch (facts.cause) {
    case Cause::Missing:
        return facts.device.isEmpty() || facts.device == QLatin1String("/dev/")
                   ? QStringLiteral("порт не задан")
                   : QStringLiteral("нет такого устройства %1").arg(facts.device);
    case Cause::LockHeld:
        if (facts.holderPid == QCoreApplication::applicationPid())
            return QStringLiteral("порт уже открыт этой программой, файл блокировки %1").arg(facts.lockFile);
        return QStringLiteral("порт занят другой программой%1, файл блокировки %2").arg(holder, facts.lockFile);
    case Cause::LockFolder:
        return QStringLiteral("нет права создать файл блокировки порта в /var/lock");
    case Cause::Busy:
        return QStringLiteral("порт занят другой программой%1").arg(holder);
    case Cause::AlreadyOpen:
        return QStringLiteral("порт уже открыт этой программой");
    case Cause::NoPermission:
        if (facts.groupListed)
            return QStringLiteral("нет прав на %1: пользователь уже в группе %2, но сеанс начат раньше; войдите в "
                                  "систему заново")
                .arg(facts.device, facts.group);
        if (!facts.group.isEmpty() && facts.group != QLatin1String("root"))
            return QStringLiteral("нет прав на %1: добавьте пользователя в группу %2 (sudo usermod -aG %2 $USER) "
                                  "и войдите в систему заново")
                .arg(facts.device, facts.group);
        return QStringLiteral("нет прав на %1").arg(facts.device);
    case Cause::Other:
        break;
    }
    return SystemReason::withOriginal(facts.systemText);
}

QString describeOpenFailure(const QString &name, QSerialPort::SerialPortError error, const QString &systemText) {
    return describeOpenFailure(gatherOpenFailureFacts(name, error, systemText));
}
